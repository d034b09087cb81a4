// The configuration wizard (dialog 62, pages 63-70): left/right
// orientation, channel separation, bits and sample rate, and the AudioStrobe
// device with its maximum and zero levels. Every page's test plays the
// wizard's test preset (wizpreset.h) through the preset editor's test
// playback with the wizard's working copy of the settings, so nothing in
// effect changes before Finish.
//
// Pages are classes (WizardPages.h), made on their first visit and kept
// until the wizard closes. A page is asked to be left before Back, Next,
// Finish or Cancel: its test stops and, on Back and Next, the page may
// refuse (an invalid field).
//
// Main thread only.
#pragma once
#include "data/synthesis/options.h"
#include "dlggen/DynDialog.h"
#include "main/model.h"

class QLabel;
class QPushButton;
class WizardPage;

class ConfigWizard : public DynDialog {
  Q_OBJECT
 public:
  enum { PAGES = 8 };
  // The tests, each with its button.
  enum Test { T_NONE, T_ORIENT, T_LEFT, T_RIGHT, T_RATE, T_STROBE, T_MAX, T_ZSTART, T_ZERO };

  explicit ConfigWizard(QWidget* owner);
  ~ConfigWizard() override;

  int activePage() const { return Active; }
  // Page n (WizardPages.h), null until its first visit.
  QWidget* page(int n) const;
  QPushButton* backButton() const { return Back; }
  QPushButton* nextButton() const { return Next; }
  QPushButton* cancelButton() const { return Cancel; }
  Test running() const { return Running; }
  const AdvancedOptions& working() const { return Work; }
  const Preset& testPreset() const { return TestPreset; }

  void reject() override;

  // ConfigurationWizard: true after Finish.
  static bool runWizard(QWidget* owner);

 private:
  friend class WizardPage;

  void showPage(int n);
  // The page is left: its test stops; with `navigating` (Back, Next) it may
  // refuse. true when it may be left.
  bool leavePage(int n, bool navigating);
  void goNext();
  void goBack();
  void finish();
  void updateButtons();

  void toggleTest(Test t);
  void startTest(Test t);
  void stopTest();
  void restartIfTesting();
  // The valid light levels of every level page made so far, over `o`.
  void applyLevels(AdvancedOptions& o) const;

  AdvancedOptions Work;
  Preset TestPreset{};
  int32_t SavedVisual = 0;
  int Active = 0;
  Test Running = T_NONE;
  Test Pending = T_NONE;  // a start waiting for the main window's playback to stop
  WizardPage* Pages[PAGES] = {};
  QLabel* Title = nullptr;
  QPushButton *Back, *Next, *Cancel;
};

// The main window's hook: runs the wizard.
void ConfigurationWizard(QWidget* owner);
