// The configuration wizard.
#include "cnfwiz/ConfigWizard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "assert/check.h"
#include "cnfwiz/wizpreset.h"
#include "data/state.h"
#include "dialog/MessageBox.h"
#include "main/arith.h"
#include "main/preset.h"
#include "prgdlg/TestPlayback.h"
#include "reg/settings.h"

namespace {

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

const char* const kTitles[ConfigWizard::PAGES] = {
    "Welcome to Sonavel!",
    "Check stereo output 1/2",
    "Check stereo output 2/2",
    "Check sample rate",
    "Check AudioStrobe output",
    "Configure AudioStrobe output 1/2",
    "Configure AudioStrobe output 2/2",
    "All done!",
};

const char* const kTexts[ConfigWizard::PAGES] = {
    "This wizard sets up your sound system for Sonavel: the left and right channels, the sample format and, "
    "if you have one, your AudioStrobe light device.\n\nEvery page can play a short test. Nothing changes "
    "until you press Finish.\n\nPress Next to begin.",
    "Put on your headphones and press the button below. You should hear the word \"left\" in your left ear "
    "and the word \"right\" in your right ear.\n\nIf they come from the wrong sides, tick the box below.",
    "Each channel must sound alone: the left test only in your left ear, the right test only in your right "
    "ear.",
    "Choose the sample format your sound card plays best. The test plays a steady tone, which must sound "
    "clean, without clicks or drop-outs. 16 bits at 44100 samples per second suits most sound cards.",
    "If an AudioStrobe light device is connected to your sound output, tick the box. The test makes its "
    "lights flash five times a second.",
    "Set the brightest level your lights are to reach, and the waveform of the light signal. The test "
    "flashes the lights with these settings.",
    "Set the zero level: the brightness at which your lights just stay dark. With \"Test Zero Level\" the "
    "lights should just be off; \"Start Testing\" flashes them.",
    "Sonavel is now set up for your sound system. Press Finish to keep these settings.\n\nYou can run this "
    "wizard again at any time from the Options menu.",
};

// The wizard's picture: two tones beside each other, a beat between them.
QPixmap WizardPicture(QSize size) {
  QPixmap pm(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 0, size.height());
  g.setColorAt(0, QColor(24, 44, 96));
  g.setColorAt(1, QColor(8, 16, 40));
  p.fillRect(pm.rect(), g);
  const double w = size.width(), h = size.height();
  for (int k = 0; k < 2; ++k) {
    QPainterPath path;
    const double amp = w * 0.18, cycles = 3.0 + 0.4 * k;
    for (int y = 0; y <= int(h); ++y) {
      double x = w * 0.5 + amp * std::sin(2 * M_PI * cycles * y / h) * std::sin(M_PI * y / h);
      if (y == 0)
        path.moveTo(x, y);
      else
        path.lineTo(x, y);
    }
    p.setPen(QPen(k == 0 ? QColor(120, 200, 255) : QColor(255, 190, 90), 2));
    p.drawPath(path);
  }
  p.setPen(QColor(255, 255, 255, 200));
  QFont f = p.font();
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(0, h - 28, w, 20), Qt::AlignCenter, QStringLiteral("Sonavel"));
  return pm;
}

QPushButton* PageButton(QWidget* page, DynLayout* l, const QString& text, const char* name, int x, int y, int cx) {
  auto* b = new QPushButton(text, page);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  l->addControl(b, x, y, cx, 14);
  return b;
}

// An edit with arrows beside it.
QLineEdit* UpDownEdit(QWidget* page, DynLayout* l, const char* name, int x, int y, QToolButton** up,
                      QToolButton** down) {
  auto* e = new QLineEdit(page);
  e->setObjectName(QString::fromLatin1(name));
  l->addControl(e, x, y, 40, 12);
  *up = new QToolButton(page);
  (*up)->setArrowType(Qt::UpArrow);
  (*up)->setObjectName(QString::fromLatin1(name) + QStringLiteral("Up"));
  *down = new QToolButton(page);
  (*down)->setArrowType(Qt::DownArrow);
  (*down)->setObjectName(QString::fromLatin1(name) + QStringLiteral("Down"));
  l->addControl(*up, x + 41, y, 10, 6);
  l->addControl(*down, x + 41, y + 6, 10, 6);
  return e;
}

}  // namespace

ConfigWizard::ConfigWizard(QWidget* owner)
    : DynDialog(owner, QSize(330, 196), QStringLiteral("config_wizard")), Work(Cfg.Advanced) {
  setObjectName(QStringLiteral("configWizard"));
  setWindowTitle(tr("Configuration Wizard"));
  setSizeGripEnabled(false);
  BuildWizardTestPreset(TestPreset);
  SavedStrobe = AudioStrobeOn.load();
  SavedVisual = Cfg.VisualOutput;
  DynLayout* l = dynLayout();
  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("wizardPicture"));
  QRect pr = l->mapDialogRect(7, 7, 76, 160);
  picture->setPixmap(WizardPicture(pr.size()));
  l->addControl(picture, 7, 7, 76, 160);
  Title = new QLabel(this);
  Title->setObjectName(QStringLiteral("pageTitle"));
  QFont bold = font();
  bold.setBold(true);
  Title->setFont(bold);
  l->addControl(Title, 92, 7, 231, 10);
  auto* sep = new QFrame(this);
  sep->setFrameShape(QFrame::HLine);
  sep->setFrameShadow(QFrame::Sunken);
  l->addControl(sep, 7, 172, 316, 2);
  Back = addButton(tr("< &Back"), 161, 178, 50, 14);
  Back->setObjectName(QStringLiteral("backButton"));
  Back->setAutoDefault(false);
  Next = addButton(tr("&Next >"), 211, 178, 50, 14);
  Next->setObjectName(QStringLiteral("nextButton"));
  Next->setDefault(true);
  Cancel = addButton(tr("Cancel"), 273, 178, 50, 14);
  Cancel->setObjectName(QStringLiteral("cancelButton"));
  Cancel->setAutoDefault(false);
  connect(Next, &QPushButton::clicked, this, &ConfigWizard::goNext);
  connect(Back, &QPushButton::clicked, this, &ConfigWizard::goBack);
  connect(Cancel, &QPushButton::clicked, this, &ConfigWizard::reject);
  connect(TestPlayback::instance(), &TestPlayback::stateChanged, this, [this](bool on) {
    if (!on && Pending == T_NONE) Running = T_NONE;
    updateButtons();
  });
  showPage(0);
}

ConfigWizard::~ConfigWizard() {
  Pending = T_NONE;
  if (Running != T_NONE) TestPlayback::instance()->stop();
  AudioStrobeOn.store(SavedStrobe);
  Cfg.VisualOutput = SavedVisual;
  FreePreset(TestPreset);
}

QWidget* ConfigWizard::makePage(int n) {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("wizardPage%1").arg(n));
  dynLayout()->addControl(page, 92, 20, 231, 148);
  auto* l = new DynLayout(page, QSize(231, 148));
  auto* text = new QLabel(tr(kTexts[n]), page);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The first and last pages are text only.
  l->addControl(text, 0, 0, 231, n == 0 || n == PAGES - 1 ? 148 : 62);
  auto levelRow = [&](const QString& label, const char* name, int y, QLineEdit** edit, int value) {
    auto* lab = new QLabel(label, page);
    l->addControl(lab, 0, y + 2, 110, 8);
    QToolButton *up, *down;
    *edit = UpDownEdit(page, l, name, 112, y, &up, &down);
    (*edit)->setText(QString::number(value));
    lab->setBuddy(*edit);
    QLineEdit* e = *edit;
    auto step = [this, e](int dir) {
      int v = 0;
      if (!levelValue(e, &v))
        v = dir > 0 ? 0 : 100;
      else
        v = std::clamp(v + 5 * dir, 0, 100);
      e->setText(QString::number(v));
    };
    connect(up, &QToolButton::clicked, this, [step] { step(1); });
    connect(down, &QToolButton::clicked, this, [step] { step(-1); });
  };
  switch (n) {
    case 1:
      Orient = PageButton(page, l, tr("&Check left and right orientation"), "orientTest", 0, 66, 150);
      Invert = new QCheckBox(tr("In&vert left and right sound channels"), page);
      Invert->setObjectName(QStringLiteral("invert"));
      Invert->setChecked(Work.InvertSound != 0);
      l->addControl(Invert, 0, 88, 231, 10);
      connect(Orient, &QPushButton::clicked, this, [this] { toggleTest(T_ORIENT); });
      connect(Invert, &QCheckBox::toggled, this, [this](bool on) {
        Work.InvertSound = on ? 1 : 0;
        restartIfTesting();
      });
      break;
    case 2:
      Left = PageButton(page, l, tr("Test &left channel"), "leftTest", 0, 66, 100);
      Right = PageButton(page, l, tr("Test &right channel"), "rightTest", 0, 84, 100);
      StopLR = PageButton(page, l, tr("&Stop testing"), "stopTest", 0, 108, 100);
      connect(Left, &QPushButton::clicked, this, [this] { startTest(T_LEFT); });
      connect(Right, &QPushButton::clicked, this, [this] { startTest(T_RIGHT); });
      connect(StopLR, &QPushButton::clicked, this, &ConfigWizard::stopTest);
      break;
    case 3: {
      auto* bl = new QLabel(tr("Bits per sample:"), page);
      l->addControl(bl, 0, 66, 70, 8);
      Bits8 = new QRadioButton(tr("&8 bits"), page);
      Bits8->setObjectName(QStringLiteral("bits8"));
      Bits16 = new QRadioButton(tr("&16 bits"), page);
      Bits16->setObjectName(QStringLiteral("bits16"));
      auto* g = new QButtonGroup(page);
      g->addButton(Bits8);
      g->addButton(Bits16);
      (Work.Bits16 ? Bits16 : Bits8)->setChecked(true);
      l->addControl(Bits8, 72, 65, 45, 10);
      l->addControl(Bits16, 120, 65, 45, 10);
      auto* rl = new QLabel(tr("Sample &rate:"), page);
      l->addControl(rl, 0, 84, 70, 8);
      QToolButton *up, *down;
      Rate = UpDownEdit(page, l, "sampleRate", 72, 82, &up, &down);
      rl->setBuddy(Rate);
      Rate->setText(QString::number(Work.SamplesPerSec));
      l->addControl(new QLabel(tr("Hz"), page), 126, 84, 20, 8);
      RateTest = PageButton(page, l, tr("&Start Testing"), "rateTest", 0, 104, 80);
      auto step = [this](int dir) {
        int hz = 0;
        if (!rateValue(&hz)) hz = Work.SamplesPerSec;
        Rate->setText(QString::number(WizardRateStep(hz, dir)));
      };
      connect(up, &QToolButton::clicked, this, [step] { step(1); });
      connect(down, &QToolButton::clicked, this, [step] { step(-1); });
      connect(Bits16, &QRadioButton::toggled, this, [this](bool on) {
        Work.Bits16 = on ? 1 : 0;
        if (Running == T_RATE) stopTest();
      });
      connect(Rate, &QLineEdit::textChanged, this, [this] {
        int hz = 0;
        if (Running == T_RATE && rateValue(&hz) && hz != Work.SamplesPerSec) {
          Work.SamplesPerSec = hz;
          startTest(T_RATE);
        }
      });
      connect(RateTest, &QPushButton::clicked, this, [this] { toggleTest(T_RATE); });
      break;
    }
    case 4:
      HasStrobe = new QCheckBox(tr("I have an &AudioStrobe device attached to my sound system"), page);
      HasStrobe->setObjectName(QStringLiteral("hasAudioStrobe"));
      HasStrobe->setChecked(Work.HasAudioStrobe != 0);
      l->addControl(HasStrobe, 0, 66, 231, 10);
      StrobeTest = PageButton(page, l, tr("Te&st AudioStrobe"), "strobeTest", 0, 84, 80);
      connect(StrobeTest, &QPushButton::clicked, this, [this] { toggleTest(T_STROBE); });
      break;
    case 5: {
      levelRow(tr("Maximum brightness level:"), "maxLevel", 66, &MaxLevel, Work.AudioStrobeMaxLevel);
      auto* wl = new QLabel(tr("AudioStrobe signal waveform:"), page);
      l->addControl(wl, 0, 86, 110, 8);
      Waveform = new QComboBox(page);
      Waveform->setObjectName(QStringLiteral("waveform"));
      for (const WaveChoice& c : kWaveChoices) Waveform->addItem(tr(c.Text), c.Value);
      for (int i = 0; i < Waveform->count(); ++i)
        if (Waveform->itemData(i).toInt() == Work.AudioStrobeWaveform) Waveform->setCurrentIndex(i);
      wl->setBuddy(Waveform);
      l->addControl(Waveform, 112, 84, 100, 13);
      MaxTest = PageButton(page, l, tr("&Start Testing"), "maxTest", 0, 106, 80);
      connect(MaxTest, &QPushButton::clicked, this, [this] { toggleTest(T_MAX); });
      connect(MaxLevel, &QLineEdit::textChanged, this, [this] {
        int v;
        if (Running == T_MAX && levelValue(MaxLevel, &v)) startTest(T_MAX);
      });
      connect(Waveform, &QComboBox::currentIndexChanged, this, [this] {
        if (Running == T_MAX) startTest(T_MAX);
      });
      break;
    }
    case 6:
      levelRow(tr("Brightness zero level:"), "zeroLevel", 66, &ZeroLevel, Work.AudioStrobeZeroLevel);
      ZeroStart = PageButton(page, l, tr("&Start Testing"), "zeroStart", 0, 86, 80);
      ZeroTest = PageButton(page, l, tr("&Test Zero Level"), "zeroTest", 86, 86, 80);
      connect(ZeroStart, &QPushButton::clicked, this, [this] { toggleTest(T_ZSTART); });
      connect(ZeroTest, &QPushButton::clicked, this, [this] { toggleTest(T_ZERO); });
      connect(ZeroLevel, &QLineEdit::textChanged, this, [this] {
        int v;
        if ((Running == T_ZSTART || Running == T_ZERO) && levelValue(ZeroLevel, &v)) startTest(Running);
      });
      break;
    default: break;
  }
  return page;
}

void ConfigWizard::showPage(int n) {
  if (!Pages[n]) Pages[n] = makePage(n);
  TVK_CHECK_AS(Pages[n] != nullptr, "WizWnd[PageNum]!=NULL", n);
  for (int i = 0; i < PAGES; ++i)
    if (Pages[i]) Pages[i]->setVisible(i == n);
  Active = n;
  Title->setText(tr(kTitles[n]));
  updateButtons();
  Next->setFocus(Qt::OtherFocusReason);
}

bool ConfigWizard::rateValue(int* hz) const {
  if (!Rate) return false;
  // The whole text, so that what is typed is what is stored or refused.
  bool ok = false;
  *hz = Rate->text().trimmed().toInt(&ok);
  return ok && WizardRateValid(*hz);
}

bool ConfigWizard::levelValue(const QLineEdit* e, int* v) const {
  if (!e) return false;
  bool ok = false;
  *v = e->text().trimmed().toInt(&ok);
  return ok && *v >= 0 && *v <= 100;
}

bool ConfigWizard::leavePage(int n, bool navigating) {
  stopTest();
  if (!navigating) return true;
  int v = 0;
  if (n == 3 && !rateValue(&v)) {
    MessageBox::show(this, 1334);
    Rate->setFocus();
    return false;
  }
  if (n == 5 && !levelValue(MaxLevel, &v)) {
    MessageBox::show(this, 1448);
    MaxLevel->setFocus();
    return false;
  }
  if (n == 6 && !levelValue(ZeroLevel, &v)) {
    MessageBox::show(this, 1335);
    ZeroLevel->setFocus();
    return false;
  }
  if (n == 3) Work.SamplesPerSec = v;
  return true;
}

void ConfigWizard::goNext() {
  if (Active == PAGES - 1) {
    finish();
    return;
  }
  if (!leavePage(Active, true)) return;
  showPage(Active == 4 && !HasStrobe->isChecked() ? 7 : Active + 1);
}

void ConfigWizard::goBack() {
  TVK_CHECK_AS(Active > 0, "ActiveWizPage>0", Active);
  if (Active <= 0 || !leavePage(Active, true)) return;
  showPage(Active == 7 && !HasStrobe->isChecked() ? 4 : Active - 1);
}

void ConfigWizard::finish() {
  leavePage(Active, false);
  AdvancedOptions& o = Cfg.Advanced;
  int hz = 0, v = 0;
  bool read = Invert && Bits16 && HasStrobe && rateValue(&hz);
  TVK_CHECK_AS(read, "ReadError==0", 1);
  if (!read) return;
  TVK_CHECK_AS(hz > 0, "Value>0", hz);
  o.InvertSound = Invert->isChecked() ? 1 : 0;
  o.Bits16 = Bits16->isChecked() ? 1 : 0;
  o.HasAudioStrobe = HasStrobe->isChecked() ? 1 : 0;
  o.SamplesPerSec = hz;
  if (MaxLevel && levelValue(MaxLevel, &v)) o.AudioStrobeMaxLevel = v;
  if (ZeroLevel && levelValue(ZeroLevel, &v)) o.AudioStrobeZeroLevel = v;
  o.RunConfigWizard = 0;
  QDialog::accept();
}

void ConfigWizard::reject() {
  if (Cfg.Advanced.RunConfigWizard) {
    int a = MessageBox::show(this, 397, {}, MessageBox::YesNoCancelDefaultNo);
    if (a == MessageBox::AnsCancel) return;
    if (a == MessageBox::AnsNo) Cfg.Advanced.RunConfigWizard = 0;
  }
  leavePage(Active, false);
  QDialog::reject();
}

void ConfigWizard::updateButtons() {
  Back->setEnabled(Active > 0);
  Next->setText(Active == PAGES - 1 ? tr("Fi&nish") : tr("&Next >"));
  const Test t = Pending != T_NONE ? Pending : Running;
  if (Orient) Orient->setText(t == T_ORIENT ? tr("&Stop Testing") : tr("&Check left and right orientation"));
  if (StopLR) StopLR->setEnabled(t == T_LEFT || t == T_RIGHT);
  if (RateTest) RateTest->setText(t == T_RATE ? tr("&Stop Testing") : tr("&Start Testing"));
  if (StrobeTest) StrobeTest->setText(t == T_STROBE ? tr("S&top Testing") : tr("Te&st AudioStrobe"));
  if (MaxTest) MaxTest->setText(t == T_MAX ? tr("&Stop Testing") : tr("&Start Testing"));
  if (ZeroStart) {
    ZeroStart->setText(t == T_ZSTART ? tr("&Stop Testing") : tr("&Start Testing"));
    ZeroTest->setText(t == T_ZERO ? tr("S&top Testing") : tr("&Test Zero Level"));
    ZeroStart->setEnabled(t != T_ZERO);
    ZeroTest->setEnabled(t != T_ZSTART);
  }
}

void ConfigWizard::toggleTest(Test t) {
  if (Running == t || Pending == t)
    stopTest();
  else
    startTest(t);
}

void ConfigWizard::startTest(Test t) {
  AdvancedOptions o = Work;
  int segment = WIZSEG_ORIENT;
  bool strobe = true, adjust = false;
  int v = 0;
  switch (t) {
    case T_ORIENT: segment = WIZSEG_ORIENT, strobe = false, adjust = true; break;
    case T_LEFT: segment = WIZSEG_LEFT, strobe = false, adjust = true; break;
    case T_RIGHT: segment = WIZSEG_RIGHT, strobe = false, adjust = true; break;
    case T_RATE:
      if (!rateValue(&v)) {
        MessageBox::show(this, 1334);
        return;
      }
      o.SamplesPerSec = Work.SamplesPerSec = v;
      segment = WIZSEG_RATE, strobe = false;
      break;
    case T_STROBE:
      segment = WIZSEG_STROBE;
      o.AudioStrobeZeroLevel = 0;
      o.AudioStrobeMaxLevel = 100;
      break;
    case T_MAX:
      if (!levelValue(MaxLevel, &v)) {
        MessageBox::show(this, 1448);
        return;
      }
      segment = WIZSEG_STROBE;
      o.AudioStrobeMaxLevel = v;
      if (levelValue(ZeroLevel, &v)) o.AudioStrobeZeroLevel = v;
      if (Waveform->currentIndex() >= 0) o.AudioStrobeWaveform = Waveform->currentData().toInt();
      break;
    case T_ZSTART:
    case T_ZERO:
      if (!levelValue(ZeroLevel, &v)) {
        MessageBox::show(this, 1335);
        return;
      }
      segment = t == T_ZERO ? WIZSEG_ZERO : WIZSEG_STROBE;
      o.AudioStrobeZeroLevel = v;
      if (levelValue(MaxLevel, &v)) o.AudioStrobeMaxLevel = v;
      if (Waveform && Waveform->currentIndex() >= 0) o.AudioStrobeWaveform = Waveform->currentData().toInt();
      break;
    case T_NONE: return;
  }
  SetWizardSpeech(TestPreset, t == T_ORIENT);
  AudioStrobeOn.store(strobe ? 1 : 0);
  TestPlayback::Failure where;
  int code = 0;
  Pending = T_NONE;
  Running = t;  // before the start: its state change must not clear it
  int rc = TestPlayback::instance()->start(TestPreset, segment, 0, o, adjust, &where, &code);
  if (rc == 1333) {
    // The main window plays: try again once it has stopped.
    Running = T_NONE;
    Pending = t;
    updateButtons();
    QTimer::singleShot(100, this, [this, t] {
      if (Pending == t) startTest(t);
    });
    return;
  }
  if (rc) {
    Running = T_NONE;
    if (where == TestPlayback::FAIL_DEVICE)
      MessageBox::show(this, rc, {code});
    else
      MessageBox::show(this, rc, {std::string("Tavik.exe#27"), ""});
  }
  updateButtons();
}

void ConfigWizard::stopTest() {
  Pending = T_NONE;
  if (Running != T_NONE) {
    Running = T_NONE;
    TestPlayback::instance()->stop();
  }
  updateButtons();
}

void ConfigWizard::restartIfTesting() {
  if (Running != T_NONE) startTest(Running);
}

bool ConfigWizard::runWizard(QWidget* owner) {
  ConfigWizard w(owner);
  return w.run() == QDialog::Accepted;
}

void ConfigurationWizard(QWidget* owner) { ConfigWizard::runWizard(owner); }
