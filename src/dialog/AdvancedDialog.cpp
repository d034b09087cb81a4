// Advanced Options.
#include "dialog/AdvancedDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <limits>
#include <string>

#include "dialog/FieldValidator.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "main/arith.h"
#include "platform/numfmt.h"
#include "platform/pcmnames.h"
#include "reg/settings.h"

namespace {

struct WaveChoice {
  const char* Text;
  int32_t Value;
  bool DutyCycle;  // the rectangular waves have one
};
constexpr WaveChoice kWaveChoices[] = {
    {"Rectangular wave", ASWAVE_RECTANGULAR, true},
    {"Steep rectangular wave", ASWAVE_STEEP, true},
    {"Sine wave", ASWAVE_SINE, false},
    {"Triangular wave", ASWAVE_TRIANGULAR, false},
};

// What a field holds as typed, 0 when it is not a number yet.
int32_t Typed(const QLineEdit* e) {
  bool error = false;
  int32_t v = ParseNumber(e->text().toUtf8().constData(), 0, false, &error);
  return error ? 0 : v;
}

// A byte count with the user's thousands separator.
QString Bytes(int64_t n) {
  std::string plain = std::to_string(n);
  plat::NumberSettings s{};
  char out[64];
  if (plat::GetNumberSettings(&s)) {
    plat::NumberFormatOptions o{0, s.LeadingZero, s.Grouping, s.DecimalSep, s.ThousandSep, s.NegativeOrder};
    if (plat::FormatNumberText(plain.c_str(), o, out, sizeof out)) plain = out;
  }
  return QString::fromUtf8(plain.c_str()) + QStringLiteral(" bytes");
}

QLineEdit* NumberEdit(QWidget* parent, const char* name, int32_t value) {
  auto* e = new QLineEdit(QString::number(value), parent);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

}  // namespace

int64_t MemoryConsumed(int32_t samplesPerSec, int32_t lenOfBlocks, int32_t memoryBlocks, bool bits16) {
  // Three 32-bit factors and two small ones stay far inside 128 bits.
  __int128 b = __int128(samplesPerSec) * lenOfBlocks * memoryBlocks * (bits16 ? 2 : 1) * 2 / 1000;
  if (b > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (b < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(b);
}

AdvancedOptionsDialog::AdvancedOptionsDialog(QWidget* owner, bool smoothFlashing)
    : DynDialog(owner, QSize(280, 326), QStringLiteral("advanced")) {
  setObjectName(QStringLiteral("advancedOptionsDialog"));
  setWindowTitle(tr("Advanced Options"));
  const AdvancedOptions& o = Cfg.Advanced;
  DynLayout* l = dynLayout();
  auto label = [&](const QString& text, int y, QWidget* buddy) {
    auto* lab = new QLabel(text, this);
    if (buddy) lab->setBuddy(buddy);
    l->addControl(lab, 15, y, 140, 8);
    return lab;
  };
  auto unit = [&](const QString& text, int x, int y) { l->addControl(new QLabel(text, this), x, y, 20, 8); };
  auto group = [&](const QString& title, int y, int cy) { l->addControl(new QGroupBox(title, this), 7, y, 266, cy); };

  group(tr("Sound output"), 4, 92);
  Rate = NumberEdit(this, "samplesPerSec", o.SamplesPerSec);
  label(tr("&Samples per second:"), 18, Rate);
  l->addControl(Rate, 160, 16, 50, 12);
  label(tr("Bits per sample:"), 34, nullptr);
  const BitsChoice bits = addBitsChoice(o.Bits16 != 0, 160, 33);
  Bits8 = bits.Bits8;
  Bits16 = bits.Bits16;
  Blocks = NumberEdit(this, "memoryBlocks", o.MemoryBlocks);
  label(tr("&Number of memory blocks:"), 50, Blocks);
  l->addControl(Blocks, 160, 48, 50, 12);
  Length = NumberEdit(this, "lenOfBlocks", o.LenOfBlocks);
  label(tr("&Length of memory blocks:"), 66, Length);
  l->addControl(Length, 160, 64, 50, 12);
  unit(tr("ms"), 214, 66);
  label(tr("Memory consumed:"), 82, nullptr);
  Memory = new QLabel(this);
  Memory->setObjectName(QStringLiteral("memoryConsumed"));
  l->addControl(Memory, 160, 82, 105, 8);

  Invert = new QCheckBox(tr("In&vert left and right sound channels"), this);
  Invert->setObjectName(QStringLiteral("invertSound"));
  Invert->setChecked(o.InvertSound != 0);
  l->addControl(Invert, 9, 102, 262, 10);
  Smooth = new QCheckBox(tr("Use smooth (&OpenGL) full-screen flashing"), this);
  Smooth->setObjectName(QStringLiteral("smoothFlashing"));
  Smooth->setChecked(o.UseDirectDraw != 0);
  Smooth->setEnabled(smoothFlashing);
  l->addControl(Smooth, 9, 116, 262, 10);

  group(tr("AudioStrobe"), 132, 76);
  Zero = NumberEdit(this, "zeroLevel", o.AudioStrobeZeroLevel);
  label(tr("AudioStrobe brightness zero level:"), 146, Zero);
  l->addControl(Zero, 160, 144, 30, 12);
  unit(tr("%"), 194, 146);
  Max = NumberEdit(this, "maxLevel", o.AudioStrobeMaxLevel);
  label(tr("AudioStrobe maximum brightness level:"), 162, Max);
  l->addControl(Max, 160, 160, 30, 12);
  unit(tr("%"), 194, 162);
  Waveform = new QComboBox(this);
  Waveform->setObjectName(QStringLiteral("audioStrobeWaveform"));
  int selected = -1;
  for (const WaveChoice& c : kWaveChoices) {
    if (c.Value == o.AudioStrobeWaveform) selected = Waveform->count();
    Waveform->addItem(tr(c.Text), c.Value);
  }
  Waveform->setCurrentIndex(selected);
  label(tr("AudioStrobe signal waveform:"), 178, Waveform);
  l->addControl(Waveform, 160, 176, 105, 13);
  Duty = NumberEdit(this, "dutyCycle", o.AudioStrobeDutyCycle);
  DutyLabel = label(tr("AudioStrobe signal duty cycle:"), 194, Duty);
  l->addControl(Duty, 160, 192, 30, 12);
  DutyUnit = new QLabel(tr("%"), this);
  l->addControl(DutyUnit, 194, 194, 20, 8);

  group(tr("Preset Options"), 214, 44);
  Link = new QCheckBox(tr("Link adjacent s&egments automatically together in Preset Options"), this);
  Link->setObjectName(QStringLiteral("linkSegments"));
  Link->setChecked(o.LinkAdjacentSegmentsInPresetOptions != 0);
  l->addControl(Link, 15, 226, 254, 10);
  Nodes = NumberEdit(this, "nodesInNewParam", o.NodesInNewParam);
  label(tr("Number of nodes in a new parameter:"), 242, Nodes);
  l->addControl(Nodes, 160, 240, 30, 12);

  group(tr("Output device"), 264, 32);
  Device = new QComboBox(this);
  Device->setObjectName(QStringLiteral("outputDevice"));
  Device->setEditable(true);
  Device->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& name : plat::PlaybackPcmNames()) Device->addItem(QString::fromStdString(name));
  Device->setCurrentText(QString::fromStdString(Cfg.Device));
  auto* deviceLabel = new QLabel(tr("&Device:"), this);
  deviceLabel->setBuddy(Device);
  l->addControl(deviceLabel, 15, 279, 35, 8);
  l->addControl(Device, 52, 277, 158, 13);
  Test = new QPushButton(tr("&Test"), this);
  Test->setObjectName(QStringLiteral("testDevice"));
  Test->setAutoDefault(false);
  Test->setToolTip(tr("Plays one second of 440 Hz through this device in the format above"));
  l->addControl(Test, 215, 276, 50, 14);

  addOkCancelHelp();
  for (QLineEdit* e : {Rate, Blocks, Length})
    connect(e, &QLineEdit::textChanged, this, &AdvancedOptionsDialog::updateMemory);
  connect(Bits16, &QRadioButton::toggled, this, &AdvancedOptionsDialog::updateMemory);
  connect(Waveform, &QComboBox::currentIndexChanged, this, &AdvancedOptionsDialog::updateDutyCycle);
  TonePoll = new QTimer(this);
  TonePoll->setInterval(50);
  connect(TonePoll, &QTimer::timeout, this, &AdvancedOptionsDialog::pollTone);
  connect(Test, &QPushButton::clicked, this, &AdvancedOptionsDialog::testTone);
  updateMemory();
  updateDutyCycle();
}

AdvancedOptionsDialog::~AdvancedOptionsDialog() { StopTestTone(Tone); }

void AdvancedOptionsDialog::updateMemory() {
  Memory->setText(Bytes(MemoryConsumed(Typed(Rate), Typed(Length), Typed(Blocks), Bits16->isChecked())));
}

void AdvancedOptionsDialog::updateDutyCycle() {
  int i = Waveform->currentIndex();
  bool shown = i >= 0 && kWaveChoices[i].DutyCycle;
  DutyLabel->setVisible(shown);
  Duty->setVisible(shown);
  DutyUnit->setVisible(shown);
}

bool AdvancedOptionsDialog::testing() const { return Tone.Device != nullptr; }

void AdvancedOptionsDialog::testTone() {
  int32_t rate = 0;
  if (!ValidateFields(this, {{Rate, &rate, 152, 10000, 100000, 0}})) return;
  plat::WaveTarget target;
  target.Pcm = Device->currentText().trimmed().toStdString();
  if (target.Pcm.empty()) target.Pcm = "default";
  int code = 0;
  TonePoll->stop();
  if (int rc = StartTestTone(Tone, target, rate, Bits16->isChecked(), &code)) {
    MessageBox::show(this, rc, {code});
    return;
  }
  TonePoll->start();
}

void AdvancedOptionsDialog::pollTone() {
  if (TestToneFinished(Tone)) stopTone();
}

void AdvancedOptionsDialog::stopTone() {
  TonePoll->stop();
  StopTestTone(Tone);
}

void AdvancedOptionsDialog::accept() {
  // The estimate comes first, from what is typed, valid or not.
  if (MemoryConsumed(Typed(Rate), Typed(Length), Typed(Blocks), Bits16->isChecked()) > MAX_MEMORY_CONSUMED) {
    MessageBox::show(this, strid::MemoryOver);
    return;
  }
  AdvancedOptions o = Cfg.Advanced;
  // The duty cycle is checked even while hidden: a later switch to a
  // rectangular wave must not play a value nobody could see.
  if (!ValidateFields(this, {{Blocks, &o.MemoryBlocks, 150, 2, 100, 0},
                             {Length, &o.LenOfBlocks, 151, 10, 1000, 0},
                             {Rate, &o.SamplesPerSec, 152, 10000, 100000, 0},
                             {Zero, &o.AudioStrobeZeroLevel, 366, 0, 100, 0},
                             {Max, &o.AudioStrobeMaxLevel, 384, 0, 100, 0},
                             {Duty, &o.AudioStrobeDutyCycle, 396, 5, 95, 0},
                             {Nodes, &o.NodesInNewParam, 388, 2, 3, 0}}))
    return;
  o.Bits16 = Bits16->isChecked() ? 1 : 0;
  o.InvertSound = Invert->isChecked() ? 1 : 0;
  o.UseDirectDraw = Smooth->isChecked() ? 1 : 0;
  o.LinkAdjacentSegmentsInPresetOptions = Link->isChecked() ? 1 : 0;
  int w = Waveform->currentIndex();
  o.AudioStrobeWaveform = w >= 0 ? kWaveChoices[w].Value : ASWAVE_SINE;
  stopTone();
  Cfg.Advanced = o;
  std::string device = Device->currentText().trimmed().toStdString();
  Cfg.Device = device.empty() ? "default" : device;
  QDialog::accept();
}

void AdvancedOptionsDialog::reject() {
  stopTone();
  QDialog::reject();
}

bool AdvancedOptionsDialog::editOptions(QWidget* owner, bool smoothFlashing) {
  AdvancedOptionsDialog d(owner, smoothFlashing);
  return d.run() == QDialog::Accepted;
}
