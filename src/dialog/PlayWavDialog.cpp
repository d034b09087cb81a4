// Play into .wav file.
#include "dialog/PlayWavDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "dialog/FieldValidator.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "main/arith.h"
#include "main/strtab.h"

namespace {
QString Number(int32_t v, int digits) { return QString::fromUtf8(FormatNumber(v, digits, digits, digits, false)); }
}  // namespace

PlayWavDialog::PlayWavDialog(QWidget* owner, PlayWavRequest* request)
    : DynDialog(owner, QSize(230, 132), QStringLiteral("play_wav")), Request(request) {
  setObjectName(QStringLiteral("playWavDialog"));
  setWindowTitle(tr("Play Into .WAV File"));
  DynLayout* l = dynLayout();

  auto* ml = new QLabel(tr("&Minutes to play:"), this);
  l->addControl(ml, 7, 9, 100, 8);
  Minutes = new QLineEdit(Number(request->Minutes, 2), this);
  Minutes->setObjectName(QStringLiteral("minutes"));
  ml->setBuddy(Minutes);
  l->addControl(Minutes, 110, 7, 50, 12);

  InFull = new QCheckBox(tr("&Play the single long file in full"), this);
  InFull->setObjectName(QStringLiteral("inFull"));
  InFull->setVisible(request->LongFileMinutes > 0);
  l->addControl(InFull, 7, 24, 981, 10);

  Cd = new QCheckBox(tr("Default &CD settings"), this);
  Cd->setObjectName(QStringLiteral("cdSettings"));
  l->addControl(Cd, 7, 41, 981, 10);

  auto* rl = new QLabel(tr("&Samples per second:"), this);
  l->addControl(rl, 7, 58, 100, 8);
  Rate = new QLineEdit(QString::number(request->SamplesPerSec), this);
  Rate->setObjectName(QStringLiteral("samplesPerSec"));
  rl->setBuddy(Rate);
  l->addControl(Rate, 110, 56, 50, 12);

  auto* bl = new QLabel(tr("Bits per sample:"), this);
  l->addControl(bl, 7, 74, 100, 8);
  const BitsChoice bits = addBitsChoice(request->Bits16 != 0, 110, 73);
  Bits8 = bits.Bits8;
  Bits16 = bits.Bits16;

  AudioStrobe = new QCheckBox(tr("&Include AudioStrobe signals into output"), this);
  AudioStrobe->setObjectName(QStringLiteral("audioStrobe"));
  AudioStrobe->setChecked(request->AudioStrobe);
  l->addControl(AudioStrobe, 7, 91, 981, 10);

  addOkCancelHelp();
  connect(InFull, &QCheckBox::toggled, this, &PlayWavDialog::inFullChanged);
  connect(Cd, &QCheckBox::toggled, this, &PlayWavDialog::cdChanged);

  Cd->setChecked(request->SamplesPerSec == 44100 && request->Bits16);
}

void PlayWavDialog::inFullChanged() {
  if (InFull->isChecked()) Minutes->setText(Number(Request->LongFileMinutes, 2));
  Minutes->setEnabled(!InFull->isChecked());
}

void PlayWavDialog::cdChanged() {
  bool cd = Cd->isChecked();
  if (cd) {
    Rate->setText(QStringLiteral("44100"));
    Bits16->setChecked(true);
  }
  Rate->setEnabled(!cd);
  Bits8->setEnabled(!cd);
  Bits16->setEnabled(!cd);
}

void PlayWavDialog::accept() {
  if (AudioStrobe->isChecked() &&
      MessageBox::showText(this, QString::fromUtf8(GetStr(strid::AudioStrobePatent)), MessageBox::YesNo, 0,
                           MessageBox::Question) != MessageBox::AnsYes) {
    AudioStrobe->setChecked(false);
    return;
  }
  int32_t minutes = 0, rate = 0;
  if (!ValidateFields(this, {{Minutes, &minutes, 349, 0, 60000, 2}, {Rate, &rate, 152, 10000, 100000, 0}})) return;
  Request->Minutes = InFull->isChecked() ? -1 : minutes;
  Request->SamplesPerSec = rate;
  Request->Bits16 = Bits16->isChecked();
  Request->AudioStrobe = AudioStrobe->isChecked();
  QDialog::accept();
}

bool PlayWavDialog::askPlayIntoWav(QWidget* owner, PlayWavRequest* request) {
  PlayWavDialog d(owner, request);
  return d.run() == QDialog::Accepted;
}
