// The configuration wizard.
#include "cnfwiz/ConfigWizard.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "assert/check.h"
#include "cnfwiz/WizardPages.h"
#include "cnfwiz/wizpreset.h"
#include "data/synthesis/state.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "main/arith.h"
#include "main/preset.h"
#include "prgdlg/TestPlayback.h"
#include "reg/settings.h"

namespace {

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

// The first of the pages that a way to the last page may pass over.
constexpr int kFirstLevelPage = 5;

}  // namespace

ConfigWizard::ConfigWizard(QWidget* owner)
    : DynDialog(owner, QSize(330, 196), QStringLiteral("config_wizard")), Work(Cfg.Advanced) {
  setObjectName(QStringLiteral("configWizard"));
  setWindowTitle(tr("Configuration Wizard"));
  setSizeGripEnabled(false);
  BuildWizardTestPreset(TestPreset);
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
  Cfg.VisualOutput = SavedVisual;
  FreePreset(TestPreset);
}

QWidget* ConfigWizard::page(int n) const { return Pages[n]; }

void ConfigWizard::showPage(int n) {
  if (!Pages[n]) Pages[n] = MakeWizardPage(this, n);
  TVK_CHECK_AS(Pages[n] != nullptr, "WizWnd[PageNum]!=NULL", n);
  for (int i = 0; i < PAGES; ++i)
    if (Pages[i]) Pages[i]->setVisible(i == n);
  Active = n;
  Title->setText(Pages[n]->title());
  updateButtons();
  Next->setFocus(Qt::OtherFocusReason);
}

bool ConfigWizard::leavePage(int n, bool navigating) {
  stopTest();
  return !navigating || Pages[n]->mayLeave();
}

void ConfigWizard::goNext() {
  if (Active == PAGES - 1) {
    finish();
    return;
  }
  if (!leavePage(Active, true)) return;
  showPage(Pages[Active]->nextPage());
}

void ConfigWizard::goBack() {
  TVK_CHECK_AS(Active > 0, "ActiveWizPage>0", Active);
  if (Active <= 0 || !leavePage(Active, true)) return;
  // The way back is the way that led here: Next from page 0 on.
  int back = 0;
  for (int n = 0; n < Active && Pages[n]; n = Pages[n]->nextPage()) back = n;
  showPage(back);
}

void ConfigWizard::finish() {
  leavePage(Active, false);
  // Every way to the last page passes the pages before the level pages;
  // those after may not have been shown.
  bool read = true;
  for (int n = 0; n < PAGES; ++n) read = read && (Pages[n] ? Pages[n]->readable() : n >= kFirstLevelPage);
  TVK_CHECK_AS(read, "ReadError==0", 1);
  if (!read) return;
  AdvancedOptions& o = Cfg.Advanced;
  for (WizardPage* p : Pages)
    if (p) p->store(o);
  TVK_CHECK_AS(o.SamplesPerSec > 0, "Value>0", o.SamplesPerSec);
  o.RunConfigWizard = 0;
  QDialog::accept();
}

void ConfigWizard::reject() {
  if (Cfg.Advanced.RunConfigWizard) {
    int a = MessageBox::show(this, strid::AskRunWizardAgain, {}, MessageBox::YesNoCancelDefaultNo);
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
  for (WizardPage* p : Pages)
    if (p) p->showTest(t);
}

void ConfigWizard::toggleTest(Test t) {
  if (Running == t || Pending == t)
    stopTest();
  else
    startTest(t);
}

void ConfigWizard::startTest(Test t) {
  // The page in view owns the test: a test stops when its page is left.
  WizardTestSetup test;
  test.Options = Work;
  if (t == T_NONE || !Pages[Active]->prepareTest(t, test)) return;
  const AdvancedOptions& o = test.Options;
  const int segment = test.Segment;
  const bool strobe = test.Strobe, adjust = test.Adjust;
  SetWizardSpeech(TestPreset, t == T_ORIENT);
  TestPlayback::instance()->setAudioStrobe(strobe);
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

void ConfigWizard::applyLevels(AdvancedOptions& o) const {
  for (const WizardPage* p : Pages)
    if (p) p->applyLevels(o);
}

bool ConfigWizard::runWizard(QWidget* owner) {
  ConfigWizard w(owner);
  return w.run() == QDialog::Accepted;
}

void ConfigurationWizard(QWidget* owner) { ConfigWizard::runWizard(owner); }
