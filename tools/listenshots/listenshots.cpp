// The listening controls on screen for looking at them: the main window
// playing the first built-in preset on the silent real-time device with
// the sleep timer's line under its status, and the Sleep Timer dialog beside
// it. Prints "ready" once both show, and stays until killed.
//
//   listenshots [--dark]      (scripts/listening-screenshots.sh)
#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/playback/fade.h"
#include "dialog/SleepTimerDialog.h"
#include "engine/startup.h"
#include "file/store.h"
#include "mwnd/MainWindow.h"
#include "reg/settings.h"

namespace {

void DarkPalette(QApplication& app) {
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  p.setColor(QPalette::Window, QColor(45, 45, 48));
  p.setColor(QPalette::WindowText, QColor(230, 230, 230));
  p.setColor(QPalette::Base, QColor(30, 30, 32));
  p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
  p.setColor(QPalette::Text, QColor(230, 230, 230));
  p.setColor(QPalette::Button, QColor(55, 55, 60));
  p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  p.setColor(QPalette::Highlight, QColor(60, 110, 180));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
  app.setPalette(p);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--dark") == 0) DarkPalette(app);
  if (EngineStartup() != 0) return 1;
  const char* data = std::getenv("XDG_DATA_HOME");
  SetStoreDir(std::string(data ? data : "/tmp") + "/Sonavel");
  DefaultSettings(Cfg, false);
  Cfg.Advanced.RunConfigWizard = 0;
  Cfg.Device = "fake";
  Cfg.Listening = {SLEEP_AFTER, 45, 60, 1, 0};
  int rc = 0;
  {
    MainWindow w{StartRequest()};
    w.move(0, 0);
    w.resize(600, 170);
    w.show();
    ListeningSettings shown = Cfg.Listening;
    SleepTimerDialog d(&w, &shown);
    QTimer ready;
    ready.setInterval(50);
    QObject::connect(&ready, &QTimer::timeout, [&] {
      if (!w.listReady()) return;
      ready.stop();
      w.actions().Play->trigger();
      // A few seconds of playing, so the status and the time left have moved.
      QTimer::singleShot(2500, [&] {
        d.move(w.frameGeometry().right() + 12, 0);
        d.show();
        QTimer::singleShot(500, [] {
          std::printf("ready\n");
          std::fflush(stdout);
        });
      });
    });
    ready.start();
    rc = app.exec();
  }
  EngineShutdown();
  return rc;
}
