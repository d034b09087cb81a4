// Screenshots of the option dialogs for looking at them: Advanced Options,
// Visual Color Options on the global record and on a preset's, and every
// page of the configuration wizard.
//
//   dialogshots OUT_DIR        (scripts/dialog-screenshots.sh runs it under Xvfb)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <cstdio>

#include "cnfwiz/ConfigWizard.h"
#include "dialog/AdvancedDialog.h"
#include "dialog/VisualColorDialog.h"
#include "engine/startup.h"
#include "platform/numfmt.h"
#include "reg/settings.h"

namespace {

bool Save(QWidget* w, const QString& path) {
  w->show();
  QApplication::processEvents();
  bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  w->hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialogshots OUT_DIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 1;
  DefaultSettings(Cfg, false);
  // Numbers as an English-speaking user sees them, whatever Xvfb's locale.
  plat::NumberSettings en{".", ",", 3, plat::NEG_LEADING, 1};
  plat::SetNumberSettings(en);
  bool ok = true;
  {
    AdvancedOptionsDialog d(nullptr);
    ok &= Save(&d, out + "/advanced-options.png");
  }
  {
    VisOpt global = Cfg.VisualOptions;
    global.Override = 1;
    global.NumColors = 5;
    global.Colors[2] = 0x000000FF;
    global.Colors[3] = 0x0000FFFF;
    global.Colors[4] = 0x00FF00FF;
    VisualColorDialog g(nullptr, global, true);
    ok &= Save(&g, out + "/visual-colors-global.png");
    VisOpt own{};  // never edited: blue and green
    VisualColorDialog p(nullptr, own, false);
    ok &= Save(&p, out + "/visual-colors-preset.png");
  }
  {
    ConfigWizard w(nullptr);
    w.show();
    for (int page = 0; page < ConfigWizard::PAGES; ++page) {
      ok &= Save(&w, out + QStringLiteral("/wizard-page%1.png").arg(page));
      w.show();
      if (page == 4) w.findChild<QCheckBox*>(QStringLiteral("hasAudioStrobe"))->setChecked(true);
      if (page < ConfigWizard::PAGES - 1) w.nextButton()->click();
    }
    w.hide();
  }
  EngineShutdown();
  return ok ? 0 : 1;
}
