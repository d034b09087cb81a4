// Screenshots of the whole screen while the main window and the windows it
// opens are up, for looking at where they open, how large, and how they read
// (scripts/window-screenshots.sh runs it under Xvfb with a window manager):
// the main window, the flashing warning, a success message, Synchronize
// playback, the report of a crash, the preset editor (General and Sound tabs,
// the waveform preview after "User-defined..."), the modulation window,
// Tracking Destination, Visual Color Options on a preset's record, and Play
// With Delay during the delay.
//
//   windowshots OUT_DIR [--dark]       (--dark: a dark palette, Fusion style)
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QStyleFactory>
#include <QTabBar>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>

#include "dialog/InternalErrorDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/SynchronizeDialog.h"
#include "dialog/VisualColorDialog.h"
#include "dialog/WarningBox.h"
#include "engine/startup.h"
#include "main/presetedit.h"
#include "main/strtab.h"
#include "mwnd/MainWindow.h"
#include "mwnd/ProgressLine.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/TrackingDestinationDialog.h"
#include "reg/settings.h"

namespace {

QString gOut;
bool gOk = true;

// Lets the window manager map and the windows paint.
void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void Shot(const QString& name) {
  Wait(500);
  const QString path = gOut + "/" + name + ".png";
  const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  gOk &= saved;
}

// Runs `action` on the next modal window once it shows.
void WhenModal(std::function<void(QWidget*)> action) {
  QWidget* before = QApplication::activeModalWidget();
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, action, before] {
    QWidget* m = QApplication::activeModalWidget();
    if (!m || m == before || !m->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(m);
  });
  timer->start();
}

void Click(QWidget* w, const char* name) {
  if (auto* b = w->findChild<QAbstractButton*>(QString::fromLatin1(name))) b->click();
}

// Shots and closes the next modal window (its button `close`).
void ShootModal(const QString& name, const char* close) {
  WhenModal([name, close](QWidget* m) {
    Shot(name);
    Click(m, close);
    if (QApplication::activeModalWidget() == m) m->close();
  });
}

QPalette DarkPalette() {
  QPalette p(QColor(53, 53, 53), QColor(53, 53, 53));
  p.setColor(QPalette::Base, QColor(35, 35, 35));
  p.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
  p.setColor(QPalette::Text, QColor(230, 230, 230));
  p.setColor(QPalette::WindowText, QColor(230, 230, 230));
  p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  p.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
  p.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::black);
  p.setColor(QPalette::Link, QColor(42, 130, 218));
  p.setColor(QPalette::Dark, QColor(25, 25, 25));
  p.setColor(QPalette::Light, QColor(75, 75, 75));
  p.setColor(QPalette::Mid, QColor(40, 40, 40));
  return p;
}

void Editor(MainWindow& w) {
  WhenModal([&w](QWidget* m) {
    auto* d = qobject_cast<PresetOptionsDialog*>(m);
    if (!d) return;
    Shot("editor-general");
    d->tabs()->setCurrentIndex(1);
    Shot("editor-sound");
    // Taller: the charts take the height.
    const QRect before = d->geometry();
    d->resize(d->width(), d->screen()->availableGeometry().height() - 60);
    d->move(d->x(), d->screen()->availableGeometry().top());
    Shot("editor-sound-tall");
    d->setGeometry(before);
    // The waveform preview: "User-defined..." on the Waveform's Easy box.
    d->tabs()->setCurrentIndex(2);
    Wait(100);
    if (auto* easy = d->findChild<QComboBox*>(QStringLiteral("easy3"))) {
      const int row = easy->count() - 1;
      easy->setCurrentIndex(row);
      emit easy->activated(row);
    }
    Shot("editor-preview");
    // The sound modulation window, from the Sound tab's volume pane.
    d->tabs()->setCurrentIndex(1);
    Wait(100);
    // The modulation window as it opens (the depth's Easy box alone), then
    // with the depth's chart.
    WhenModal([](QWidget* modulation) {
      Shot("modulation");
      if (auto* easy = modulation->findChild<QComboBox*>(QStringLiteral("modEasy0"))) {
        const int row = easy->count() - 1;
        easy->setCurrentIndex(row);
        emit easy->activated(row);
      }
      Shot("modulation-charts");
      Click(modulation, "closeButton");
    });
    for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
      if (b->objectName().startsWith(QStringLiteral("modulation")) && b->isVisible()) {
        b->click();
        break;
      }
    ShootModal("tracking-destination", "cancelButton");
    {
      TrackingDestinationDialog t(d, d->segmentParams(), d->segment(), PID_VISFREQ);
      t.run();
    }
    ShootModal("visual-colors-preset", "cancelButton");
    {
      VisualColorDialog v(d, d->prg().data.VisOpt, false);
      v.run();
    }
    static_cast<QDialog*>(d)->done(EDITOR_CANCELLED);
  });
  w.actions().PresetOptions->trigger();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: windowshots OUT_DIR [--dark]\n");
    return 2;
  }
  gOut = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(gOut);
  if (argc > 2 && std::strcmp(argv[2], "--dark") == 0) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(DarkPalette());
  }
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 1;
  DefaultSettings(Cfg, false);
  Cfg.Advanced.RunConfigWizard = 0;
  Cfg.Device = "fake";
  {
    MainWindow w{StartRequest()};
    w.resize(528, 150);
    w.show();
    Shot("main");

    ShootModal("warning-flashing", "noButton");
    WarningBox::ask(&w, 1460, QString(), nullptr, false);
    ShootModal("message-export-done", "");
    MessageBox::inform(&w, 83);
    ShootModal("synchronize", "cancelButton");
    SynchronizePlayback(&w);
    ShootModal("internal-error", "cancelButton");
    {
      InternalErrorDialog d(&w, QStringLiteral("main 3.1.12: 1361, Err=0, signal=11, 0"),
                            QString::fromStdString(FormatPrintf(GetStr(1452), GetStr(1453), 11)));
      d.run();
    }
    Editor(w);

    // The main window near the screen's bottom-right corner: the editor
    // still opens wholly on the screen.
    const QRect area = w.screen()->availableGeometry();
    w.move(area.right() - w.frameGeometry().width() + 1, area.bottom() - w.frameGeometry().height() + 1);
    Wait(300);
    WhenModal([](QWidget* m) {
      Shot("editor-from-corner");
      qobject_cast<QDialog*>(m)->done(EDITOR_CANCELLED);
    });
    w.actions().PresetOptions->trigger();
    w.move(area.topLeft() + QPoint(40, 40));

    // Play With Delay: during the delay the progress line says how to
    // cancel and Stop works.
    Cfg.Advanced.PlayDelayTime = 1000;
    WhenModal([&w](QWidget* m) {
      QTimer::singleShot(800, &w, [&w] {
        Shot("play-delay");
        w.actions().Stop->trigger();
      });
      Click(m, "okButton");
    });
    w.actions().PlayDelay->trigger();
    Wait(300);
    Shot("after-play-delay");
    // A playback the delay let through stops before the window goes.
    w.actions().Stop->trigger();
    for (int i = 0; i < 100 && w.playing(); ++i) Wait(50);
    w.close();
  }
  EngineShutdown();
  return gOk ? 0 : 1;
}
