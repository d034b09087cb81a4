// Sweep Parameters.
#include "dialog/NodeDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "dialog/FieldValidator.h"
#include "dialog/placement.h"
#include "dialog/strids.h"
#include "dlggen/Accessible.h"
#include "main/arith.h"
#include "main/strtab.h"

namespace {

QString Number(int32_t v, int digits, int minShown) {
  return QString::fromUtf8(FormatNumber(v, digits, digits, minShown, false));
}

int64_t Pow10(int n) {
  int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

}  // namespace

NodeDialog::NodeDialog(QWidget* owner, const Param& p, const ChartValueDef& d, int unitId, int node, int32_t length)
    : DynDialog(owner, QSize(206, 118), QStringLiteral("node_dialog")),
      Def(d),
      Scope(SweepScope(p, node, length)),
      Edit(ReadSweepEdit(p, d, node, length)) {
  setObjectName(QStringLiteral("nodeDialog"));
  setWindowTitle(tr("Sweep Parameters"));
  DynLayout* l = dynLayout();
  const QString unit = QString::fromUtf8(GetStr(unitId));
  int y = 7;
  auto row = [&](const QString& label, QLineEdit** from, QLineEdit** to, const char* name, const QString& after) {
    auto* lb = new QLabel(label, this);
    l->addControl(lb, 7, y + 2, 56, 8);
    *from = new QLineEdit(this);
    (*from)->setObjectName(QStringLiteral("%1From").arg(name));
    lb->setBuddy(*from);
    l->addControl(*from, 66, y, 46, 12);
    auto* tl = new QLabel(tr("to"), this);
    l->addControl(tl, 116, y + 2, 12, 8);
    *to = new QLineEdit(this);
    (*to)->setObjectName(QStringLiteral("%1To").arg(name));
    // "Tim&e:" names the field "Time: to", without the mnemonic's "&".
    (*to)->setAccessibleName(PlainLabelText(label) + QStringLiteral(" ") + tr("to"));
    l->addControl(*to, 130, y, 46, 12);
    auto* ul = new QLabel(after, this);
    l->addControl(ul, 180, y + 2, 22, 8);
    y += 17;
  };
  row(tr("Value"), &From, &To, "value", unit);
  From->setText(Number(Edit.From, d.Digits, 0));
  To->setText(Number(Edit.To, d.Digits, 0));
  if (d.Z) {
    row(tr("Z value"), &FromZ, &ToZ, "z", unit);
    FromZ->setText(Number(Edit.FromZ, d.Digits, 0));
    ToZ->setText(Number(Edit.ToZ, d.Digits, 0));
  } else {
    Constant = new QCheckBox(tr("&Constant"), this);
    Constant->setObjectName(QStringLiteral("constant"));
    Constant->setChecked(Scope.Sweep && Edit.From == Edit.To);
    l->addControl(Constant, 66, y, 110, 10);
    y += 15;
  }
  row(tr("Tim&e:"), &TimeFrom, &TimeTo, "time", QString::fromUtf8(GetStr(strid::MinutesUnit)));
  TimeFrom->setText(Number(Edit.TimeFrom, 2, 2));
  TimeTo->setText(Number(Edit.TimeTo, 2, 2));
  auto* wl = new QLabel(tr("S&weep weight:"), this);
  l->addControl(wl, 7, y + 2, 56, 8);
  Weight = new QLineEdit(QString::number(Edit.WeightPercent), this);
  Weight->setObjectName(QStringLiteral("weight"));
  wl->setBuddy(Weight);
  l->addControl(Weight, 66, y, 46, 12);
  auto* pl = new QLabel(QString::fromUtf8(GetStr(strid::PercentUnit)), this);
  l->addControl(pl, 116, y + 2, 10, 8);
  Linear = new QCheckBox(tr("&Linear sweep"), this);
  Linear->setObjectName(QStringLiteral("linear"));
  Linear->setChecked(Edit.WeightPercent == 50);
  l->addControl(Linear, 130, y + 1, 74, 10);
  y += 17;
  Symmetric = new QCheckBox(tr("Symmet&ric node"), this);
  Symmetric->setObjectName(QStringLiteral("symmetric"));
  Symmetric->setChecked(Edit.Symmetric);
  l->addControl(Symmetric, 66, y, 110, 10);

  // What this node's place in the curve leaves to edit.
  for (QWidget* w : std::vector<QWidget*>{To, ToZ, Constant, Weight, Linear, Symmetric})
    if (w) w->setEnabled(Scope.Sweep);
  TimeFrom->setEnabled(Scope.StartTime);
  TimeTo->setEnabled(Scope.EndTime);

  addOkCancelHelp();
  if (Constant) {
    connect(Constant, &QCheckBox::toggled, this, [this](bool on) {
      if (on) To->setText(From->text());
    });
    connect(To, &QLineEdit::textEdited, this, [this] { Constant->setChecked(false); });
    connect(From, &QLineEdit::textEdited, this, [this](const QString& t) {
      if (Constant->isChecked()) To->setText(t);
    });
  }
  connect(Linear, &QCheckBox::toggled, this, [this](bool on) {
    if (on) Weight->setText(QStringLiteral("50"));
  });
  connect(Weight, &QLineEdit::textEdited, this, [this] { Linear->setChecked(false); });
}

void NodeDialog::accept() {
  const int64_t s = Pow10(Def.Digits);
  const int32_t lo = static_cast<int32_t>(Def.Min * s), hi = static_cast<int32_t>(Def.Max * s);
  SweepEdit e = Edit;
  std::vector<EditField> fields;
  fields.push_back({From, &e.From, 231, lo, hi, Def.Digits});
  if (Scope.Sweep) fields.push_back({To, &e.To, 231, lo, hi, Def.Digits});
  if (Def.Z) {
    fields.push_back({FromZ, &e.FromZ, 231, lo, hi, Def.Digits});
    if (Scope.Sweep) fields.push_back({ToZ, &e.ToZ, 231, lo, hi, Def.Digits});
  }
  if (Scope.Sweep) fields.push_back({Weight, &e.WeightPercent, 232, 0, 100, 0});
  if (Scope.StartTime) fields.push_back({TimeFrom, &e.TimeFrom, 233, Scope.TimeMin, Scope.TimeMax, 2});
  if (Scope.EndTime) fields.push_back({TimeTo, &e.TimeTo, 234, Scope.TimeMin, Scope.TimeMax, 2});
  if (!ValidateFields(this, fields)) return;
  e.Symmetric = Symmetric->isChecked();
  Edit = e;
  QDialog::accept();
}

bool NodeDialog::editSweep(QWidget* owner, QPoint near, Param& p, const ChartValueDef& d, int unitId, int node,
                           int32_t length, NodeRange* changed) {
  NodeDialog dlg(owner, p, d, unitId, node, length);
  dlg.adjustSize();
  MoveInsideScreen(&dlg, near);
  if (dlg.run() != QDialog::Accepted) return false;
  *changed = ApplySweepEdit(p, d, node, dlg.edit(), length);
  return true;
}
