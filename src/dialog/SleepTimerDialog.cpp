// Sleep Timer.
#include "dialog/SleepTimerDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "data/playback/fade.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "main/duration.h"

namespace {

constexpr int kPresetMinutes[] = {15, 30, 45, 60, 90};
constexpr int64_t kMaxSleepMs = 24 * 3600 * 1000;
constexpr int64_t kMaxFadeMs = 3600 * 1000;

// Minutes as typed: "45" up to the longest choice, "2:30" beyond.
QString MinutesText(int minutes) {
  if (minutes <= 90) return QString::number(minutes);
  return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

SleepTimerDialog::SleepTimerDialog(QWidget* owner, ListeningSettings* settings)
    : DynDialog(owner, QSize(260, 142), QStringLiteral("sleep_timer")), Settings(settings) {
  setObjectName(QStringLiteral("sleepTimerDialog"));
  setWindowTitle(tr("Sleep Timer"));
  DynLayout* l = dynLayout();

  Off = new QRadioButton(tr("&Off"), this);
  Off->setObjectName(QStringLiteral("sleepOff"));
  l->addControl(Off, 7, 7, 1010, 10);

  After = new QRadioButton(tr("&Stop after:"), this);
  After->setObjectName(QStringLiteral("sleepAfter"));
  l->addControl(After, 7, 22, 70, 10);
  Minutes = new QComboBox(this);
  Minutes->setObjectName(QStringLiteral("sleepMinutes"));
  Minutes->setEditable(true);
  Minutes->setInsertPolicy(QComboBox::NoInsert);
  for (int m : kPresetMinutes) Minutes->addItem(QString::number(m));
  Minutes->setEditText(MinutesText(settings->SleepMinutes));
  Minutes->setAccessibleName(tr("Minutes until the sound stops"));
  l->addControl(Minutes, 80, 20, 50, 14);
  auto* unit = new QLabel(tr("minutes (or hours:minutes)"), this);
  l->addControl(unit, 134, 23, 883, 8);

  AtEnd = new QRadioButton(tr("Fade out at the &end of the preset"), this);
  AtEnd->setObjectName(QStringLiteral("sleepAtEnd"));
  l->addControl(AtEnd, 7, 39, 1010, 10);

  auto* group = new QButtonGroup(this);
  group->addButton(Off);
  group->addButton(After);
  group->addButton(AtEnd);
  (settings->SleepTimer == SLEEP_AFTER ? After : settings->SleepTimer == SLEEP_AT_END ? AtEnd : Off)->setChecked(true);

  auto* fl = new QLabel(tr("&Fade out over:"), this);
  l->addControl(fl, 7, 58, 70, 8);
  Fade = new QLineEdit(QString::number(settings->SleepFadeSeconds), this);
  Fade->setObjectName(QStringLiteral("sleepFade"));
  Fade->setAccessibleName(tr("Seconds of the fade-out"));
  fl->setBuddy(Fade);
  l->addControl(Fade, 80, 56, 50, 12);
  auto* seconds = new QLabel(tr("seconds"), this);
  l->addControl(seconds, 134, 58, 60, 8);

  SoftStop = new QCheckBox(tr("Fade in at the start and out when s&topped"), this);
  SoftStop->setObjectName(QStringLiteral("softStop"));
  SoftStop->setChecked(settings->SoftStartStop != 0);
  l->addControl(SoftStop, 7, 80, 1010, 10);

  KeepAwake = new QCheckBox(tr("&Keep the screen on and the computer awake while playing"), this);
  KeepAwake->setObjectName(QStringLiteral("keepAwake"));
  KeepAwake->setChecked(settings->KeepAwake != 0);
  l->addControl(KeepAwake, 7, 95, 1010, 10);

  addOkCancelHelp();
  connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
    if (on) modeChanged();
  });
  modeChanged();
}

void SleepTimerDialog::modeChanged() {
  Minutes->setEnabled(After->isChecked());
  Fade->setEnabled(!Off->isChecked());
}

void SleepTimerDialog::accept() {
  int64_t sleepMs = ParseDuration(Minutes->currentText().toStdString(), 60000);
  if (After->isChecked() && (sleepMs < 60000 || sleepMs > kMaxSleepMs)) {
    MessageBox::show(this, strid::SleepTimeInvalid);
    Minutes->setFocus();
    return;
  }
  int64_t fadeMs = ParseDuration(Fade->text().toStdString(), 1000);
  if (!Off->isChecked() && (fadeMs < 0 || fadeMs > kMaxFadeMs)) {
    MessageBox::show(this, strid::FadeOutInvalid);
    Fade->setFocus();
    Fade->selectAll();
    return;
  }
  Settings->SleepTimer = After->isChecked() ? SLEEP_AFTER : AtEnd->isChecked() ? SLEEP_AT_END : SLEEP_OFF;
  if (After->isChecked()) Settings->SleepMinutes = static_cast<int32_t>((sleepMs + 59999) / 60000);
  if (!Off->isChecked()) Settings->SleepFadeSeconds = static_cast<int32_t>((fadeMs + 999) / 1000);
  Settings->SoftStartStop = SoftStop->isChecked() ? 1 : 0;
  Settings->KeepAwake = KeepAwake->isChecked() ? 1 : 0;
  QDialog::accept();
}

bool SleepTimerDialog::askSleepTimer(QWidget* owner, ListeningSettings* settings) {
  SleepTimerDialog d(owner, settings);
  return d.run() == QDialog::Accepted;
}
