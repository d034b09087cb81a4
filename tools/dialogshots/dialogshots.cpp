// Screenshots of the option dialogs for looking at them: Advanced Options,
// Visual Color Options on the global record and on a preset's, every page
// of the configuration wizard, the five parameter tabs of the preset
// options with a built-in preset (and the Background tab once more with a
// file background), the two tracking windows, and the waveform preview of
// a "Triangular wave" with "First harmonic" and the sound modulation window,
// and the light check of a file rendered from a preset with AudioStrobe
// (while it is read, and done).
//
//   dialogshots OUT_DIR        (scripts/dialog-screenshots.sh runs it under Xvfb)
//   SHOT_DARK=1                a dark palette (Fusion style)
//   SHOT_HOLD_MS=N             keeps the light check on the screen N ms
//                              before it is grabbed (for a screenshot of
//                              the whole screen meanwhile)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTabBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "cnfwiz/ConfigWizard.h"
#include "data/backgrounds/bglib.h"
#include "data/playback/playback.h"
#include "data/synthesis/state.h"
#include "dialog/AdvancedDialog.h"
#include "dialog/LightChart.h"
#include "dialog/LightCheckDialog.h"
#include "dialog/VisualColorDialog.h"
#include "engine/startup.h"
#include "main/preset.h"
#include "platform/numfmt.h"
#include "presetjson/presetjson.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/TrackingDestinationDialog.h"
#include "prgdlg/TrackingOptionsDialog.h"
#include "prgdlg/WaveformPreview.h"
#include "reg/settings.h"

namespace {

// The record this program plays on.
PlaybackState Playback;

// A built-in preset from its source file, appended to Program; -1 on failure.
int LoadPreset(const char* file) {
  std::ifstream in(std::string(SONAVEL_SOURCE_DIR "/presets/builtin/") + file);
  std::string error;
  const int n = NumPrograms;
  if (!in || !CommitProgramRecord(n)) return -1;
  if (!PresetFromJson(nlohmann::json::parse(in, nullptr, false), Program[n], &error)) {
    std::fprintf(stderr, "%s: %s\n", file, error.c_str());
    return -1;
  }
  NumPrograms = n + 1;
  return n;
}

// The parameter tabs of the preset options for Program[index].
bool ShootTabs(int index, const QString& prefix, std::initializer_list<int> tabs) {
  static const char* const kNames[6] = {"general", "sound", "waveform", "background", "noise", "visual"};
  PresetOptionsDialog d(nullptr, index, false);
  d.resize(720, 600);
  d.show();
  bool ok = true;
  for (int t : tabs) {
    d.tabs()->setCurrentIndex(t);
    QApplication::processEvents();
    const QString path = prefix + kNames[t] + ".png";
    const bool saved = d.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    ok &= saved;
  }
  d.hide();
  return ok;
}

bool Save(QWidget* w, const QString& path) {
  w->show();
  QApplication::processEvents();
  bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  w->hide();
  return ok;
}

// A preset whose voice plays a "Triangular wave" through "First harmonic",
// with a sound modulation of half the volume range that deepens.
int MakePreset() {
  const int n = NumPrograms;
  CommitProgramRecord(n);
  Preset& p = Program[n];
  NewDefaultPreset(p);
  std::strcpy(p.Name, "Triangle");
  Param* params = SegParams(p, 0);
  const Segment& seg = p.data.Segment[0];
  SetFromEasySelection(BackgroundParamRow{}, params, seg, PARAMID(0, PN_WAVEFORM), 3, 0, 3);
  SetFromEasySelection(BackgroundParamRow{}, params, seg, PARAMID(0, PN_FILTER), 9, 0, 3);
  SetFromEasySelection(BackgroundParamRow{}, params, seg, PARAMID(0, PN_SNDMODDEPTH), 17, 0, 3);
  Param& depth = params[PARAMID(0, PN_SNDMODDEPTH)];
  depth.EasySel = 0;
  depth.Node[2].Value = 9000;
  RecomputeDependents(BackgroundParamRow{}, params, seg, PARAMID(0, PN_SNDMODDEPTH));
  NumPrograms = n + 1;
  return n;
}

// A preset whose eyes flash apart, sweeping, with a dark stretch.
int MakeLightPreset() {
  const char* json = R"js({"Name": "Light check", "ContinuePlaying": 0, "Segment": [
    {"Length": 100, "Param": {
      "Visual Frequency": {"ChannelMode": 1, "Curve": [[0, 4], [100, 30]]},
      "Visual Frequency (Right)": {"Curve": [[0, 12], [100, 8]]},
      "Visual Brightness": {"ChannelMode": 1, "Curve": [[0, 30], [100, 100]]},
      "Visual Brightness (Right)": {"Curve": [[0, 90], [100, 40]]}}},
    {"Length": 10, "Param": {"Visual Brightness": {"Value": 0}}},
    {"Length": 60, "Param": {"Visual Frequency": {"Value": 18}, "Visual Brightness": {"Value": 60}}}]})js";
  const int n = NumPrograms;
  std::string error;
  if (!CommitProgramRecord(n) || !PresetFromJson(nlohmann::json::parse(json), Program[n], &error)) return -1;
  NumPrograms = n + 1;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (qEnvironmentVariableIntValue("SHOT_DARK")) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 60));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Mid, QColor(100, 100, 105));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 130));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 130));
    QApplication::setPalette(dark);
  }
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
  {
    const int ocean = LoadPreset("10-sleep-3-ocean-waves.json");
    ok &= ocean >= 0;
    if (ocean >= 0) {
      ok &= ShootTabs(ocean, out + "/preset-options-", {1, 2, 3, 4, 5});
      // A file background: its phase shift and interval come into use.
      Program[ocean].data.Background = AMBIX_OTHER;
      std::strcpy(Program[ocean].data.BackgroundFile, "surf.wav");
      ok &= ShootTabs(ocean, out + "/preset-options-file-", {3});
      // Both tracking windows for the visual frequency, which follows the
      // first voice's beat.
      Param* params = SegParams(Program[ocean], 0);
      {
        TrackingOptionsDialog t(nullptr, params, PID_VISFREQ, BackgroundParamRowFor(Program[ocean]));
        ok &= Save(&t, out + "/tracking-options.png");
      }
      {
        TrackingDestinationDialog t(nullptr, params, Program[ocean].data.Segment[0], PID_VISFREQ);
        t.resize(320, 480);
        ok &= Save(&t, out + "/tracking-destination.png");
      }
    }
  }
  {
    const int index = MakePreset();
    PresetOptionsDialog d(nullptr, index, false);
    d.resize(720, 600);
    d.show();
    d.tabs()->setCurrentIndex(2);
    QApplication::processEvents();
    auto* preview = d.findChild<WaveformPreview*>(QStringLiteral("waveformPreview"));
    ok &= Save(&d, out + "/preset-options-waveform.png");
    d.show();
    ok &= Save(preview, out + "/waveform-preview.png");
    d.show();
    // The modulation window is modal: it is grabbed once it shows.
    QTimer::singleShot(0, [&] {
      QWidget* m = QApplication::activeModalWidget();
      if (!m) return;
      QApplication::processEvents();
      ok &= m->grab().save(out + "/modulation-window.png");
      std::printf("wrote %s\n", qPrintable(out + "/modulation-window.png"));
      m->close();
    });
    ModulationWindow::open(&d, PN_SNDMODDEPTH);
    d.hide();
  }
  {
    const int light = MakeLightPreset();
    ok &= light >= 0;
    if (light >= 0) {
      const QString wav = QDir::tempPath() + QStringLiteral("/Light check.wav");
      AdvancedOptions o;
      Playback.AudioStrobeOn.store(1);
      ok &= StartPlaybackToFile(Playback, Program[light], o, wav.toUtf8().constData(), PresetLength(Program[light]),
                                nullptr) == 0;
      Playback.AudioStrobeOn.store(0);
      LightCheckDialog d(nullptr, wav, LightLevels(), &Program[light]);
      const QSize room = QGuiApplication::primaryScreen()->availableSize() * 0.85;
      d.resize(std::min(d.sizeHint().width() * 2, std::min(room.width(), 1100)),
               std::min(d.sizeHint().height() * 2, std::min(room.height(), 720)));
      d.show();
      // The progress line, grabbed at the first events the reading lets by.
      QTimer::singleShot(0, &d, [&] {
        if (d.checking()) ok &= Save(&d, out + "/light-check-reading.png");
      });
      d.runCheck();
      d.chart()->setCursorTime(40);
      if (int hold = qEnvironmentVariableIntValue("SHOT_HOLD_MS")) {
        std::printf("holding the light check for %d ms\n", hold);
        std::fflush(stdout);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < hold) QApplication::processEvents(QEventLoop::AllEvents, 50);
      }
      ok &= Save(&d, out + "/light-check.png");
      QFile::remove(wav);
    }
  }
  EngineShutdown();
  return ok ? 0 : 1;
}
