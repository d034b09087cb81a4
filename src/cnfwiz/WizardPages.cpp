// The configuration wizard's pages.
#include "cnfwiz/WizardPages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>

#include "cnfwiz/wizpreset.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "dlggen/DynLayout.h"

namespace {

// The wizard's own translation context for every page text.
QString Tr(const char* text) { return ConfigWizard::tr(text); }

struct WaveChoice {
  const char* Text;
  int32_t Value;
};
constexpr WaveChoice kWaveChoices[] = {
    {"Rectangular wave", ASWAVE_RECTANGULAR},
    {"Steep rectangular wave", ASWAVE_STEEP},
    {"Sine wave", ASWAVE_SINE},
    {"Triangular wave", ASWAVE_TRIANGULAR},
};

// The page's area in the wizard, and the height of the text above controls.
constexpr int kPageWidth = 231, kPageHeight = 148, kTextHeight = 62;

}  // namespace

bool WizardLevelValue(const QLineEdit* e, int* v) {
  if (!e) return false;
  bool ok = false;
  *v = e->text().trimmed().toInt(&ok);
  return ok && *v >= 0 && *v <= 100;
}

// The page ----------------------------------------------------------------

WizardPage::WizardPage(ConfigWizard* wizard, int n, const char* title, const char* text, int textHeight)
    : QWidget(wizard), Wizard(wizard), Title(Tr(title)), Number(n) {
  setObjectName(QStringLiteral("wizardPage%1").arg(n));
  wizard->dynLayout()->addControl(this, 92, 20, kPageWidth, kPageHeight);
  Layout = new DynLayout(this, QSize(kPageWidth, kPageHeight));
  auto* label = new QLabel(Tr(text), this);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Layout->addControl(label, 0, 0, kPageWidth, textHeight);
}

int WizardPage::nextPage() const { return Number + 1; }

QPushButton* WizardPage::addButton(const QString& text, const char* name, int x, int y, int cx) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  Layout->addControl(b, x, y, cx, 14);
  return b;
}

QLineEdit* WizardPage::addUpDownEdit(const char* name, int x, int y, QToolButton** up, QToolButton** down) {
  auto* e = new QLineEdit(this);
  e->setObjectName(QString::fromLatin1(name));
  Layout->addControl(e, x, y, 40, 12);
  *up = new QToolButton(this);
  (*up)->setArrowType(Qt::UpArrow);
  (*up)->setObjectName(QString::fromLatin1(name) + QStringLiteral("Up"));
  *down = new QToolButton(this);
  (*down)->setArrowType(Qt::DownArrow);
  (*down)->setObjectName(QString::fromLatin1(name) + QStringLiteral("Down"));
  Layout->addControl(*up, x + 41, y, 10, 6);
  Layout->addControl(*down, x + 41, y + 6, 10, 6);
  return e;
}

QLineEdit* WizardPage::addLevelRow(const QString& label, const char* name, int y, int value) {
  auto* lab = new QLabel(label, this);
  Layout->addControl(lab, 0, y + 2, 110, 8);
  QToolButton *up, *down;
  QLineEdit* e = addUpDownEdit(name, 112, y, &up, &down);
  e->setText(QString::number(value));
  lab->setBuddy(e);
  auto step = [e](int dir) {
    int v = 0;
    if (!WizardLevelValue(e, &v))
      v = dir > 0 ? 0 : 100;
    else
      v = std::clamp(v + 5 * dir, 0, 100);
    e->setText(QString::number(v));
  };
  connect(up, &QToolButton::clicked, this, [step] { step(1); });
  connect(down, &QToolButton::clicked, this, [step] { step(-1); });
  return e;
}

// Pages 0 and 7 -----------------------------------------------------------

WizardTextPage::WizardTextPage(ConfigWizard* wizard, int n, const char* title, const char* text)
    : WizardPage(wizard, n, title, text, kPageHeight) {}

// Page 1 ------------------------------------------------------------------

OrientationPage::OrientationPage(ConfigWizard* wizard)
    : WizardPage(wizard, 1, "Check stereo output 1/2",
                 "Put on your headphones and press the button below. You should hear the word \"left\" in your "
                 "left ear and the word \"right\" in your right ear.\n\nIf they come from the wrong sides, tick "
                 "the box below.",
                 kTextHeight) {
  Orient = addButton(Tr("&Check left and right orientation"), "orientTest", 0, 66, 150);
  Invert = new QCheckBox(Tr("In&vert left and right sound channels"), this);
  Invert->setObjectName(QStringLiteral("invert"));
  Invert->setChecked(work().InvertSound != 0);
  layout()->addControl(Invert, 0, 88, 231, 10);
  connect(Orient, &QPushButton::clicked, this, [this] { toggleTest(ConfigWizard::T_ORIENT); });
  connect(Invert, &QCheckBox::toggled, this, [this](bool on) {
    work().InvertSound = on ? 1 : 0;
    restartIfTesting();
  });
}

void OrientationPage::showTest(ConfigWizard::Test t) {
  Orient->setText(t == ConfigWizard::T_ORIENT ? Tr("&Stop Testing") : Tr("&Check left and right orientation"));
}

bool OrientationPage::prepareTest(ConfigWizard::Test t, WizardTestSetup& test) {
  if (t != ConfigWizard::T_ORIENT) return false;
  test.Segment = WIZSEG_ORIENT, test.Strobe = false, test.Adjust = true;
  return true;
}

void OrientationPage::store(AdvancedOptions& o) const { o.InvertSound = Invert->isChecked() ? 1 : 0; }

// Page 2 ------------------------------------------------------------------

ChannelsPage::ChannelsPage(ConfigWizard* wizard)
    : WizardPage(wizard, 2, "Check stereo output 2/2",
                 "Each channel must sound alone: the left test only in your left ear, the right test only in your "
                 "right ear.",
                 kTextHeight) {
  Left = addButton(Tr("Test &left channel"), "leftTest", 0, 66, 100);
  Right = addButton(Tr("Test &right channel"), "rightTest", 0, 84, 100);
  StopLR = addButton(Tr("&Stop testing"), "stopTest", 0, 108, 100);
  connect(Left, &QPushButton::clicked, this, [this] { startTest(ConfigWizard::T_LEFT); });
  connect(Right, &QPushButton::clicked, this, [this] { startTest(ConfigWizard::T_RIGHT); });
  connect(StopLR, &QPushButton::clicked, this, [this] { stopTest(); });
}

void ChannelsPage::showTest(ConfigWizard::Test t) {
  StopLR->setEnabled(t == ConfigWizard::T_LEFT || t == ConfigWizard::T_RIGHT);
}

bool ChannelsPage::prepareTest(ConfigWizard::Test t, WizardTestSetup& test) {
  if (t != ConfigWizard::T_LEFT && t != ConfigWizard::T_RIGHT) return false;
  test.Segment = t == ConfigWizard::T_LEFT ? WIZSEG_LEFT : WIZSEG_RIGHT;
  test.Strobe = false, test.Adjust = true;
  return true;
}

// Page 3 ------------------------------------------------------------------

RatePage::RatePage(ConfigWizard* wizard)
    : WizardPage(wizard, 3, "Check sample rate",
                 "Choose the sample format your sound card plays best. The test plays a steady tone, which must "
                 "sound clean, without clicks or drop-outs. 16 bits at 44100 samples per second suits most sound "
                 "cards.",
                 kTextHeight) {
  DynLayout* l = layout();
  auto* bl = new QLabel(Tr("Bits per sample:"), this);
  l->addControl(bl, 0, 66, 70, 8);
  Bits8 = new QRadioButton(Tr("&8 bits"), this);
  Bits8->setObjectName(QStringLiteral("bits8"));
  Bits16 = new QRadioButton(Tr("&16 bits"), this);
  Bits16->setObjectName(QStringLiteral("bits16"));
  auto* g = new QButtonGroup(this);
  g->addButton(Bits8);
  g->addButton(Bits16);
  (work().Bits16 ? Bits16 : Bits8)->setChecked(true);
  l->addControl(Bits8, 72, 65, 45, 10);
  l->addControl(Bits16, 120, 65, 45, 10);
  auto* rl = new QLabel(Tr("Sample &rate:"), this);
  l->addControl(rl, 0, 84, 70, 8);
  QToolButton *up, *down;
  Rate = addUpDownEdit("sampleRate", 72, 82, &up, &down);
  rl->setBuddy(Rate);
  Rate->setText(QString::number(work().SamplesPerSec));
  l->addControl(new QLabel(Tr("Hz"), this), 126, 84, 20, 8);
  RateTest = addButton(Tr("&Start Testing"), "rateTest", 0, 104, 80);
  auto step = [this](int dir) {
    int hz = 0;
    if (!rateValue(&hz)) hz = work().SamplesPerSec;
    Rate->setText(QString::number(WizardRateStep(hz, dir)));
  };
  connect(up, &QToolButton::clicked, this, [step] { step(1); });
  connect(down, &QToolButton::clicked, this, [step] { step(-1); });
  connect(Bits16, &QRadioButton::toggled, this, [this](bool on) {
    work().Bits16 = on ? 1 : 0;
    if (running() == ConfigWizard::T_RATE) stopTest();
  });
  connect(Rate, &QLineEdit::textChanged, this, [this] {
    int hz = 0;
    if (running() == ConfigWizard::T_RATE && rateValue(&hz) && hz != work().SamplesPerSec) {
      work().SamplesPerSec = hz;
      startTest(ConfigWizard::T_RATE);
    }
  });
  connect(RateTest, &QPushButton::clicked, this, [this] { toggleTest(ConfigWizard::T_RATE); });
}

bool RatePage::rateValue(int* hz) const {
  // The whole text, so that what is typed is what is stored or refused.
  bool ok = false;
  *hz = Rate->text().trimmed().toInt(&ok);
  return ok && WizardRateValid(*hz);
}

bool RatePage::mayLeave() {
  int hz = 0;
  if (!rateValue(&hz)) {
    MessageBox::show(wizard(), strid::SampleRateInvalid);
    Rate->setFocus();
    return false;
  }
  work().SamplesPerSec = hz;
  return true;
}

void RatePage::showTest(ConfigWizard::Test t) {
  RateTest->setText(t == ConfigWizard::T_RATE ? Tr("&Stop Testing") : Tr("&Start Testing"));
}

bool RatePage::prepareTest(ConfigWizard::Test t, WizardTestSetup& test) {
  if (t != ConfigWizard::T_RATE) return false;
  int hz = 0;
  if (!rateValue(&hz)) {
    MessageBox::show(wizard(), strid::SampleRateInvalid);
    return false;
  }
  test.Options.SamplesPerSec = work().SamplesPerSec = hz;
  test.Segment = WIZSEG_RATE, test.Strobe = false;
  return true;
}

bool RatePage::readable() const {
  int hz = 0;
  return rateValue(&hz);
}

void RatePage::store(AdvancedOptions& o) const {
  int hz = 0;
  rateValue(&hz);
  o.Bits16 = Bits16->isChecked() ? 1 : 0;
  o.SamplesPerSec = hz;
}

// Page 4 ------------------------------------------------------------------

StrobePage::StrobePage(ConfigWizard* wizard)
    : WizardPage(wizard, 4, "Check AudioStrobe output",
                 "If an AudioStrobe light device is connected to your sound output, tick the box. The test makes "
                 "its lights flash five times a second.",
                 kTextHeight) {
  HasStrobe = new QCheckBox(Tr("I have an &AudioStrobe device attached to my sound system"), this);
  HasStrobe->setObjectName(QStringLiteral("hasAudioStrobe"));
  HasStrobe->setChecked(work().HasAudioStrobe != 0);
  layout()->addControl(HasStrobe, 0, 66, 231, 10);
  StrobeTest = addButton(Tr("Te&st AudioStrobe"), "strobeTest", 0, 84, 80);
  connect(StrobeTest, &QPushButton::clicked, this, [this] { toggleTest(ConfigWizard::T_STROBE); });
}

bool StrobePage::hasDevice() const { return HasStrobe->isChecked(); }

// Without a device the level pages are passed over.
int StrobePage::nextPage() const { return hasDevice() ? WizardPage::nextPage() : ConfigWizard::PAGES - 1; }

void StrobePage::showTest(ConfigWizard::Test t) {
  StrobeTest->setText(t == ConfigWizard::T_STROBE ? Tr("S&top Testing") : Tr("Te&st AudioStrobe"));
}

bool StrobePage::prepareTest(ConfigWizard::Test t, WizardTestSetup& test) {
  if (t != ConfigWizard::T_STROBE) return false;
  // The full range, whatever the levels: the lights must flash visibly.
  test.Segment = WIZSEG_STROBE;
  test.Options.AudioStrobeZeroLevel = 0;
  test.Options.AudioStrobeMaxLevel = 100;
  return true;
}

void StrobePage::store(AdvancedOptions& o) const { o.HasAudioStrobe = hasDevice() ? 1 : 0; }

// Page 5 ------------------------------------------------------------------

MaxLevelPage::MaxLevelPage(ConfigWizard* wizard)
    : WizardPage(wizard, 5, "Configure AudioStrobe output 1/2",
                 "Set the brightest level your lights are to reach, and the waveform of the light signal. The "
                 "test flashes the lights with these settings.",
                 kTextHeight) {
  MaxLevel = addLevelRow(Tr("Maximum brightness level:"), "maxLevel", 66, work().AudioStrobeMaxLevel);
  auto* wl = new QLabel(Tr("AudioStrobe signal waveform:"), this);
  layout()->addControl(wl, 0, 86, 110, 8);
  Waveform = new QComboBox(this);
  Waveform->setObjectName(QStringLiteral("waveform"));
  for (const WaveChoice& c : kWaveChoices) Waveform->addItem(Tr(c.Text), c.Value);
  for (int i = 0; i < Waveform->count(); ++i)
    if (Waveform->itemData(i).toInt() == work().AudioStrobeWaveform) Waveform->setCurrentIndex(i);
  wl->setBuddy(Waveform);
  layout()->addControl(Waveform, 112, 84, 100, 13);
  MaxTest = addButton(Tr("&Start Testing"), "maxTest", 0, 106, 80);
  connect(MaxTest, &QPushButton::clicked, this, [this] { toggleTest(ConfigWizard::T_MAX); });
  connect(MaxLevel, &QLineEdit::textChanged, this, [this] {
    int v;
    if (running() == ConfigWizard::T_MAX && WizardLevelValue(MaxLevel, &v)) startTest(ConfigWizard::T_MAX);
  });
  connect(Waveform, &QComboBox::currentIndexChanged, this, [this] {
    if (running() == ConfigWizard::T_MAX) startTest(ConfigWizard::T_MAX);
  });
}

bool MaxLevelPage::mayLeave() {
  int v = 0;
  if (WizardLevelValue(MaxLevel, &v)) return true;
  MessageBox::show(wizard(), strid::MaxBrightnessInvalid);
  MaxLevel->setFocus();
  return false;
}

void MaxLevelPage::showTest(ConfigWizard::Test t) {
  MaxTest->setText(t == ConfigWizard::T_MAX ? Tr("&Stop Testing") : Tr("&Start Testing"));
}

bool MaxLevelPage::prepareTest(ConfigWizard::Test t, WizardTestSetup& test) {
  int v = 0;
  if (t != ConfigWizard::T_MAX) return false;
  if (!WizardLevelValue(MaxLevel, &v)) {
    MessageBox::show(wizard(), strid::MaxBrightnessInvalid);
    return false;
  }
  test.Segment = WIZSEG_STROBE;
  applyAllLevels(test.Options);
  return true;
}

void MaxLevelPage::applyLevels(AdvancedOptions& o) const {
  int v = 0;
  if (WizardLevelValue(MaxLevel, &v)) o.AudioStrobeMaxLevel = v;
  if (Waveform->currentIndex() >= 0) o.AudioStrobeWaveform = Waveform->currentData().toInt();
}

// The waveform chosen here serves the test only.
void MaxLevelPage::store(AdvancedOptions& o) const {
  int v = 0;
  if (WizardLevelValue(MaxLevel, &v)) o.AudioStrobeMaxLevel = v;
}

// Page 6 ------------------------------------------------------------------

ZeroLevelPage::ZeroLevelPage(ConfigWizard* wizard)
    : WizardPage(wizard, 6, "Configure AudioStrobe output 2/2",
                 "Set the zero level: the brightness at which your lights just stay dark. With \"Test Zero "
                 "Level\" the lights should just be off; \"Start Testing\" flashes them.",
                 kTextHeight) {
  ZeroLevel = addLevelRow(Tr("Brightness zero level:"), "zeroLevel", 66, work().AudioStrobeZeroLevel);
  ZeroStart = addButton(Tr("&Start Testing"), "zeroStart", 0, 86, 80);
  ZeroTest = addButton(Tr("&Test Zero Level"), "zeroTest", 86, 86, 80);
  connect(ZeroStart, &QPushButton::clicked, this, [this] { toggleTest(ConfigWizard::T_ZSTART); });
  connect(ZeroTest, &QPushButton::clicked, this, [this] { toggleTest(ConfigWizard::T_ZERO); });
  connect(ZeroLevel, &QLineEdit::textChanged, this, [this] {
    int v;
    const ConfigWizard::Test t = running();
    if ((t == ConfigWizard::T_ZSTART || t == ConfigWizard::T_ZERO) && WizardLevelValue(ZeroLevel, &v)) startTest(t);
  });
}

bool ZeroLevelPage::mayLeave() {
  int v = 0;
  if (WizardLevelValue(ZeroLevel, &v)) return true;
  MessageBox::show(wizard(), strid::ZeroLevelInvalid);
  ZeroLevel->setFocus();
  return false;
}

void ZeroLevelPage::showTest(ConfigWizard::Test t) {
  ZeroStart->setText(t == ConfigWizard::T_ZSTART ? Tr("&Stop Testing") : Tr("&Start Testing"));
  ZeroTest->setText(t == ConfigWizard::T_ZERO ? Tr("S&top Testing") : Tr("&Test Zero Level"));
  ZeroStart->setEnabled(t != ConfigWizard::T_ZERO);
  ZeroTest->setEnabled(t != ConfigWizard::T_ZSTART);
}

bool ZeroLevelPage::prepareTest(ConfigWizard::Test t, WizardTestSetup& test) {
  int v = 0;
  if (t != ConfigWizard::T_ZSTART && t != ConfigWizard::T_ZERO) return false;
  if (!WizardLevelValue(ZeroLevel, &v)) {
    MessageBox::show(wizard(), strid::ZeroLevelInvalid);
    return false;
  }
  test.Segment = t == ConfigWizard::T_ZERO ? WIZSEG_ZERO : WIZSEG_STROBE;
  applyAllLevels(test.Options);
  return true;
}

void ZeroLevelPage::applyLevels(AdvancedOptions& o) const {
  int v = 0;
  if (WizardLevelValue(ZeroLevel, &v)) o.AudioStrobeZeroLevel = v;
}

void ZeroLevelPage::store(AdvancedOptions& o) const { applyLevels(o); }

// The pages in their order ----------------------------------------------------

WizardPage* MakeWizardPage(ConfigWizard* wizard, int n) {
  using Maker = WizardPage* (*)(ConfigWizard*);
  static const Maker kMakers[ConfigWizard::PAGES] = {
      [](ConfigWizard* w) -> WizardPage* {
        return new WizardTextPage(
            w, 0, "Welcome to Sonavel!",
            "This wizard sets up your sound system for Sonavel: the left and right channels, the sample format "
            "and, if you have one, your AudioStrobe light device.\n\nEvery page can play a short test. Nothing "
            "changes until you press Finish.\n\nPress Next to begin.");
      },
      [](ConfigWizard* w) -> WizardPage* { return new OrientationPage(w); },
      [](ConfigWizard* w) -> WizardPage* { return new ChannelsPage(w); },
      [](ConfigWizard* w) -> WizardPage* { return new RatePage(w); },
      [](ConfigWizard* w) -> WizardPage* { return new StrobePage(w); },
      [](ConfigWizard* w) -> WizardPage* { return new MaxLevelPage(w); },
      [](ConfigWizard* w) -> WizardPage* { return new ZeroLevelPage(w); },
      [](ConfigWizard* w) -> WizardPage* {
        return new WizardTextPage(w, ConfigWizard::PAGES - 1, "All done!",
                                  "Sonavel is now set up for your sound system. Press Finish to keep these "
                                  "settings.\n\nYou can run this wizard again at any time from the Options menu.");
      },
  };
  return n >= 0 && n < ConfigWizard::PAGES ? kMakers[n](wizard) : nullptr;
}
