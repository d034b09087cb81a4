// Check Light Signal.
#include "dialog/LightCheckDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "dialog/LightChart.h"
#include "dialog/MessageBox.h"
#include "main/text.h"

namespace {
// The preset's curves are sampled this often.
constexpr double kCurveStep = 0.25;
}  // namespace

LightCheckDialog::LightCheckDialog(QWidget* owner, const QString& path, const LightLevels& levels, const Preset* preset)
    : DynDialog(owner, QSize(420, 290), QStringLiteral("light_check")), Path(path), Levels(levels) {
  setObjectName(QStringLiteral("lightCheckDialog"));
  setWindowTitle(tr("Check Light Signal"));
  DynLayout* l = dynLayout();

  File = new QLabel(tr("File: %1").arg(QFileInfo(path).fileName()), this);
  File->setObjectName(QStringLiteral("fileLabel"));
  l->addControl(File, 7, 7, 1010, 8);

  Caption = new QLabel(tr("Checking the light signal..."), this);
  Caption->setObjectName(QStringLiteral("checkCaption"));
  l->addControl(Caption, 7, 21, 100, 8);
  Bar = new QProgressBar(this);
  Bar->setObjectName(QStringLiteral("checkProgress"));
  Bar->setRange(0, 10000);
  Bar->setTextVisible(false);
  Bar->setAccessibleName(Caption->text());
  l->addControl(Bar, 110, 20, 1024 - 174, 10);
  Cancel = addButton(tr("Cancel"), 967, 18);
  Cancel->setObjectName(QStringLiteral("cancelCheck"));
  connect(Cancel, &QPushButton::clicked, this, [this] { Cancelled = true; });

  Summary = new QLabel(this);
  Summary->setObjectName(QStringLiteral("summary"));
  Summary->setWordWrap(true);
  Summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Summary->hide();
  l->addControl(Summary, 7, 18, 1010, 18);

  ShowPreset = new QCheckBox(this);
  ShowPreset->setObjectName(QStringLiteral("showPreset"));
  l->addControl(ShowPreset, 7, 40, 1010, 10);

  Chart = new LightChart(this);
  l->addControl(Chart, 7, 54, 1010, 1024 - 92);
  Readout = new QLabel(this);
  Readout->setObjectName(QStringLiteral("cursorReadout"));
  Readout->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  l->addControl(Readout, 7, 1024 - 34, 1010, 8);

  Close = addButton(tr("Close"), 911, 1003);
  Close->setObjectName(QStringLiteral("closeButton"));
  connect(Close, &QPushButton::clicked, this, &LightCheckDialog::reject);
  QPushButton* help = addButton(tr("&Help"), 967, 1003);
  help->setObjectName(QStringLiteral("helpButton"));
  connect(help, &QPushButton::clicked, this, [this] { showHelp(this, helpTopic()); });

  if (preset) {
    PresetName = QString::fromStdString(TextToUtf8(preset->Name));
    Curve = PresetLightCurve(*preset, kCurveStep, static_cast<double>(LIGHT_MAX_SECONDS));
    ShowPreset->setText(tr("&Lay the curves of \"%1\" over the charts").arg(PresetName));
  } else {
    ShowPreset->setText(tr("&Lay the selected preset's curves over the charts"));
  }
  ShowPreset->setEnabled(false);
  connect(ShowPreset, &QCheckBox::toggled, this,
          [this](bool on) { Chart->setCurve(on && !Curve.empty() ? &Curve : nullptr); });
  // A screen reader on the chart hears the values at the cursor.
  connect(Chart, &LightChart::cursorMoved, this, [this] {
    Readout->setText(Chart->readout());
    Chart->setAccessibleDescription(Chart->readout());
  });
  Chart->setEnabled(false);
  resize(sizeHint());
}

void LightCheckDialog::checkFile(QWidget* owner, const QString& path, const LightLevels& levels, const Preset* preset) {
  LightCheckDialog d(owner, path, levels, preset);
  QTimer::singleShot(0, &d, &LightCheckDialog::runCheck);
  d.run();
}

bool LightCheckDialog::progress(void* ctx, int position) {
  auto* d = static_cast<LightCheckDialog*>(ctx);
  // Events are taken at most every 30 ms: the decoding outruns the screen.
  if (!d->Pumped.isValid() || d->Pumped.elapsed() >= 30) {
    d->Bar->setValue(position);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    d->Pumped.restart();
  }
  return d->Cancelled;
}

void LightCheckDialog::runCheck() {
  if (Checking) return;
  Checking = true;
  Cancel->setFocus();
  std::string reason;
  ProgressSink sink{&LightCheckDialog::progress, this};
  int rc = CheckLightFile(Path.toUtf8().constData(), Levels, &sink, &Report, &reason);
  Checking = false;
  showOutcome(rc, reason);
}

void LightCheckDialog::showOutcome(int rc, const std::string& reason) {
  if (rc == LIGHT_UNREADABLE) {
    MessageBox::showText(this, tr("The file '%1' cannot be read: %2").arg(Path, QString::fromStdString(reason)));
    QDialog::reject();
    return;
  }
  Caption->hide();
  Bar->hide();
  Cancel->hide();
  double seconds = Report.Rate > 0 ? static_cast<double>(Report.Frames) / Report.Rate : 0.0;
  File->setText(tr("File: %1 (%2 Hz, %3 channels, %4)")
                    .arg(QFileInfo(Path).fileName())
                    .arg(Report.Rate)
                    .arg(Report.Channels)
                    .arg(QString::fromStdString(LightTimeText(seconds))));
  QString text = QString::fromStdString(LightSummaryText(Report));
  if (rc == LIGHT_ABORTED)
    text = tr("The check was stopped at %1. ").arg(QString::fromStdString(LightTimeText(seconds))) + text;
  if (!Report.Error.empty())
    text += tr(" The file cannot be read past %1: %2")
                .arg(QString::fromStdString(LightTimeText(seconds)), QString::fromStdString(Report.Error));
  if (std::string early = LightEndsEarlyText(Report, rc == LIGHT_ABORTED); !early.empty())
    text += " " + QString::fromStdString(early);
  Summary->setText(text);
  Summary->show();
  Chart->setLight(&Report.Blocks, static_cast<double>(Report.Blocks.size()) / LIGHT_BLOCKS_PER_SECOND);
  Chart->setEnabled(true);
  Readout->setText(Chart->readout());
  Chart->setAccessibleDescription(Chart->readout());
  if (!Curve.empty()) {
    ShowPreset->setEnabled(true);
    // A file rendered from the preset: it carries the preset's name (as
    // Play Into .WAV File offers it) or its flash follows the preset's.
    bool named = QFileInfo(Path).completeBaseName() == PresetName;
    ShowPreset->setChecked(named || LightFollowsCurve(Report, Curve));
  }
  Chart->setFocus();
  if (CloseAfter) QDialog::reject();
}

void LightCheckDialog::reject() {
  // Closing while the file is read stops the reading first.
  if (Checking) {
    Cancelled = true;
    CloseAfter = true;
    return;
  }
  QDialog::reject();
}
