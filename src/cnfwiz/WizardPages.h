// The configuration wizard's pages (63-70), one class each. A page builds
// its controls, knows the tests its buttons start and the options each test
// plays with, checks its fields before it is left, and writes its settings
// at Finish. Pages read and change the wizard's working copy of the
// settings only; the wizard owns the navigation and the test playback.
//
// Main thread only.
#pragma once
#include <QWidget>

#include "cnfwiz/ConfigWizard.h"

class DynLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QToolButton;

// What a test plays: the options, the test preset's segment, whether the
// AudioStrobe carrier sounds, and whether the preset editor's test playback
// adjusts the preset to the options.
struct WizardTestSetup {
  AdvancedOptions Options;
  int Segment = 0;
  bool Strobe = true;
  bool Adjust = false;
};

// Plain widgets to Qt's meta-object system (no signals or slots of their
// own), as the pages have always been.
class WizardPage : public QWidget {
 public:
  const QString& title() const { return Title; }

  // The page that Next leads to.
  virtual int nextPage() const;
  // Whether the page's fields allow leaving it by Back or Next; a refusal
  // has shown its message and put the focus on the field.
  virtual bool mayLeave() { return true; }
  // Shows on the test buttons which test runs (or waits to start).
  virtual void showTest(ConfigWizard::Test) {}
  // Sets up test t of this page from the working copy in `test`; false
  // (after a message) when a field refuses.
  virtual bool prepareTest(ConfigWizard::Test, WizardTestSetup&) { return false; }
  // Lays the valid light levels shown on this page over `o`: every level
  // test plays the levels of both level pages.
  virtual void applyLevels(AdvancedOptions&) const {}
  // Whether the fields hold values that can be stored.
  virtual bool readable() const { return true; }
  // Writes the page's settings at Finish.
  virtual void store(AdvancedOptions&) const {}

 protected:
  // Page n, its title and text, the text `textHeight` dialog units high.
  WizardPage(ConfigWizard* wizard, int n, const char* title, const char* text, int textHeight);

  ConfigWizard* wizard() const { return Wizard; }
  DynLayout* layout() const { return Layout; }
  AdvancedOptions& work() const { return Wizard->Work; }
  ConfigWizard::Test running() const { return Wizard->Running; }
  void toggleTest(ConfigWizard::Test t) const { Wizard->toggleTest(t); }
  void startTest(ConfigWizard::Test t) const { Wizard->startTest(t); }
  void stopTest() const { Wizard->stopTest(); }
  void restartIfTesting() const { Wizard->restartIfTesting(); }
  void applyAllLevels(AdvancedOptions& o) const { Wizard->applyLevels(o); }

  QPushButton* addButton(const QString& text, const char* name, int x, int y, int cx);
  // An edit with arrows beside it.
  QLineEdit* addUpDownEdit(const char* name, int x, int y, QToolButton** up, QToolButton** down);
  // A labelled level (0-100) whose arrows step by 5.
  QLineEdit* addLevelRow(const QString& label, const char* name, int y, int value);

 private:
  ConfigWizard* Wizard;
  DynLayout* Layout;
  QString Title;
  const int Number;
};

// Page n (0 to ConfigWizard::PAGES - 1) of `wizard`.
WizardPage* MakeWizardPage(ConfigWizard* wizard, int n);

// A level field's value, when valid (0-100).
bool WizardLevelValue(const QLineEdit* e, int* v);

// The first and the last page: text only.
class WizardTextPage : public WizardPage {
 public:
  WizardTextPage(ConfigWizard* wizard, int n, const char* title, const char* text);
};

// Left and right orientation: the spoken words, and inverting the channels.
class OrientationPage : public WizardPage {
 public:
  explicit OrientationPage(ConfigWizard* wizard);
  void showTest(ConfigWizard::Test t) override;
  bool prepareTest(ConfigWizard::Test t, WizardTestSetup& test) override;
  void store(AdvancedOptions& o) const override;

 private:
  QPushButton* Orient;
  QCheckBox* Invert;
};

// Each channel alone.
class ChannelsPage : public WizardPage {
 public:
  explicit ChannelsPage(ConfigWizard* wizard);
  void showTest(ConfigWizard::Test t) override;
  bool prepareTest(ConfigWizard::Test t, WizardTestSetup& test) override;

 private:
  QPushButton *Left, *Right, *StopLR;
};

// Bits and sample rate.
class RatePage : public WizardPage {
 public:
  explicit RatePage(ConfigWizard* wizard);
  bool mayLeave() override;
  void showTest(ConfigWizard::Test t) override;
  bool prepareTest(ConfigWizard::Test t, WizardTestSetup& test) override;
  bool readable() const override;
  void store(AdvancedOptions& o) const override;

 private:
  // The rate field, when it holds a valid rate.
  bool rateValue(int* hz) const;

  QRadioButton *Bits8, *Bits16;
  QLineEdit* Rate;
  QPushButton* RateTest;
};

// Whether an AudioStrobe device is attached: without one the level pages
// are passed over.
class StrobePage : public WizardPage {
 public:
  explicit StrobePage(ConfigWizard* wizard);
  int nextPage() const override;
  void showTest(ConfigWizard::Test t) override;
  bool prepareTest(ConfigWizard::Test t, WizardTestSetup& test) override;
  void store(AdvancedOptions& o) const override;
  bool hasDevice() const;

 private:
  QCheckBox* HasStrobe;
  QPushButton* StrobeTest;
};

// The maximum level and the light signal's waveform.
class MaxLevelPage : public WizardPage {
 public:
  explicit MaxLevelPage(ConfigWizard* wizard);
  bool mayLeave() override;
  void showTest(ConfigWizard::Test t) override;
  bool prepareTest(ConfigWizard::Test t, WizardTestSetup& test) override;
  void applyLevels(AdvancedOptions& o) const override;
  void store(AdvancedOptions& o) const override;

 private:
  QLineEdit* MaxLevel;
  QComboBox* Waveform;
  QPushButton* MaxTest;
};

// The zero level: flashing, or the zero level alone.
class ZeroLevelPage : public WizardPage {
 public:
  explicit ZeroLevelPage(ConfigWizard* wizard);
  bool mayLeave() override;
  void showTest(ConfigWizard::Test t) override;
  bool prepareTest(ConfigWizard::Test t, WizardTestSetup& test) override;
  void applyLevels(AdvancedOptions& o) const override;
  void store(AdvancedOptions& o) const override;

 private:
  QLineEdit* ZeroLevel;
  QPushButton *ZeroStart, *ZeroTest;
};
