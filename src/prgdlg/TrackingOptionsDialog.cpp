// Tracking Options.
#include "prgdlg/TrackingOptionsDialog.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "dialog/FieldValidator.h"
#include "main/arith.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

constexpr int32_t kCoefficientLimit = 1000000000;  // thousandths

QString Number(int32_t v, int digits) { return QString::fromUtf8(FormatNumber(v, digits, digits, digits, false)); }

// The number in an edit, in stored units; false when it does not parse.
bool Read(const QLineEdit* e, int digits, int32_t* v) {
  bool error = false;
  *v = ParseNumber(e->text().toUtf8().constData(), digits, false, &error);
  return !error;
}

QString Name(const ParamDefType& row) { return QString::fromUtf8(GetStr(row.Name)); }

}  // namespace

TrackingOptionsDialog::TrackingOptionsDialog(QWidget* owner, Param* params, int pid, const BackgroundParamRow& bg)
    : DynDialog(owner, QSize(250, 150), QStringLiteral("tracking_options")),
      Params(params),
      Bg(bg),
      Pid(pid),
      ParamNum(ParamNumOfPid(pid)),
      DestNum(ParamNumOfPid(params[pid].TrackSource)) {
  setObjectName(QStringLiteral("trackingOptionsDialog"));
  setWindowTitle(tr("Tracking Options"));
  DynLayout* l = dynLayout();
  const Param& q = params[pid];
  const int digits = row(ParamNum).Digits, destDigits = row(DestNum).Digits;
  auto edit = [&](const char* name, int x, int y) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    l->addControl(e, x, y, 50, 12);
    return e;
  };
  auto label = [&](const QString& text, int x, int y, int w, QWidget* buddy) {
    auto* t = new QLabel(text, this);
    l->addControl(t, x, y + 2, w, 8);
    if (buddy) t->setBuddy(buddy);
    return t;
  };
  Ranges = new QRadioButton(tr("Specify &change ranges"), this);
  Ranges->setObjectName(QStringLiteral("rangesMode"));
  l->addControl(Ranges, 7, 7, 200, 10);
  label(tr("When %1 changes:").arg(Name(row(DestNum))), 17, 18, 226, nullptr);
  DestFrom = edit("destFrom", 60, 30);
  DestTo = edit("destTo", 150, 30);
  label(tr("from"), 17, 30, 40, DestFrom);
  label(tr("to"), 125, 30, 22, DestTo);
  label(tr("Change %1:").arg(Name(row(ParamNum))), 17, 45, 226, nullptr);
  From = edit("from", 60, 57);
  To = edit("to", 150, 57);
  label(tr("from"), 17, 57, 40, From);
  label(tr("to"), 125, 57, 22, To);
  Direct = new QRadioButton(tr("Specify &parameters directly"), this);
  Direct->setObjectName(QStringLiteral("directMode"));
  l->addControl(Direct, 7, 74, 200, 10);
  Intercept = edit("intercept", 60, 86);
  Slope = edit("slope", 170, 86);
  label(tr("&Y intercept:"), 17, 86, 42, Intercept);
  label(tr("Y/X &slope:"), 125, 86, 44, Slope);
  MinLimit = edit("minLimit", 60, 106);
  MaxLimit = edit("maxLimit", 170, 106);
  label(tr("Mi&n limit:"), 7, 106, 50, MinLimit);
  label(tr("Ma&x limit:"), 125, 106, 44, MaxLimit);
  auto* group = new QButtonGroup(this);
  group->addButton(Ranges);
  group->addButton(Direct);

  // The destination's range as its curve spans it now, this one's as the
  // coefficients map it.
  int32_t b1, b2;
  NodeRangeOf(params[q.TrackSource], DestNum, &b1, &b2);
  DestFrom->setText(Number(b1, destDigits));
  DestTo->setText(Number(b2, destDigits));
  const TrackCoefficients c{q.Intercept, q.Slope};
  From->setText(Number(MapThroughCoefficients(Bg, c, ParamNum, DestNum, b1), digits));
  To->setText(Number(MapThroughCoefficients(Bg, c, ParamNum, DestNum, b2), digits));
  Intercept->setText(Number(q.Intercept, 3));
  Slope->setText(Number(q.Slope, 3));
  MinLimit->setText(QString::number(q.MinLimit));
  MaxLimit->setText(QString::number(q.MaxLimit));
  (q.TrackingMode == 1 ? Direct : Ranges)->setChecked(true);
  modeChanged();

  for (QLineEdit* e : {DestFrom, DestTo, From, To})
    connect(e, &QLineEdit::textEdited, this, &TrackingOptionsDialog::rangesEdited);
  for (QLineEdit* e : {Intercept, Slope})
    connect(e, &QLineEdit::textEdited, this, &TrackingOptionsDialog::coefficientsEdited);
  connect(Ranges, &QRadioButton::toggled, this, &TrackingOptionsDialog::modeChanged);

  QPushButton* ok = addButton(tr("OK"), 855, 1003);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  QPushButton* cancel = addButton(tr("Cancel"), 911, 1003);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  QPushButton* help = addButton(tr("&Help"), 967, 1003);
  help->setObjectName(QStringLiteral("helpButton"));
  connect(ok, &QPushButton::clicked, this, &TrackingOptionsDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { showHelp(this, helpTopic()); });
}

QLineEdit* TrackingOptionsDialog::field(const char* name) const {
  return findChild<QLineEdit*>(QString::fromLatin1(name));
}

void TrackingOptionsDialog::modeChanged() {
  // Each mode edits its own fields; the others follow.
  const bool ranges = Ranges->isChecked();
  for (QLineEdit* e : {DestFrom, DestTo, From, To}) e->setReadOnly(!ranges);
  for (QLineEdit* e : {Intercept, Slope}) e->setReadOnly(ranges);
}

void TrackingOptionsDialog::rangesEdited() {
  int32_t b1, b2, a1, a2;
  if (!Read(DestFrom, row(DestNum).Digits, &b1) || !Read(DestTo, row(DestNum).Digits, &b2) ||
      !Read(From, row(ParamNum).Digits, &a1) || !Read(To, row(ParamNum).Digits, &a2))
    return;
  const TrackCoefficients c = RangeCoefficients(Bg, ParamNum, a1, a2, DestNum, b1, b2);
  Intercept->setText(Number(c.Intercept, 3));
  Slope->setText(Number(c.Slope, 3));
}

void TrackingOptionsDialog::coefficientsEdited() {
  int32_t b1, b2;
  TrackCoefficients c;
  if (!Read(DestFrom, row(DestNum).Digits, &b1) || !Read(DestTo, row(DestNum).Digits, &b2) ||
      !Read(Intercept, 3, &c.Intercept) || !Read(Slope, 3, &c.Slope))
    return;
  From->setText(Number(MapThroughCoefficients(Bg, c, ParamNum, DestNum, b1), row(ParamNum).Digits));
  To->setText(Number(MapThroughCoefficients(Bg, c, ParamNum, DestNum, b2), row(ParamNum).Digits));
}

void TrackingOptionsDialog::accept() {
  const ParamDefType& d = row(ParamNum);
  int32_t intercept = 0, slope = 0, lo = 0, hi = 0;
  if (!ValidateFields(this, {{Intercept, &intercept, 235, -kCoefficientLimit, kCoefficientLimit, 3},
                             {Slope, &slope, 236, -kCoefficientLimit, kCoefficientLimit, 3},
                             {MinLimit, &lo, 237, d.Min, d.Max, 0},
                             {MaxLimit, &hi, 238, d.Min, d.Max, 0}}))
    return;
  Param& q = Params[Pid];
  q.Intercept = intercept;
  q.Slope = slope;
  q.MinLimit = lo;
  q.MaxLimit = hi;
  q.TrackingMode = Direct->isChecked() ? 1 : 0;
  QDialog::accept();
}
