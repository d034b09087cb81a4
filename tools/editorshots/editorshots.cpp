// Screenshots of the preset editor for the documentation and for looking at
// it: the General tab of a three-segment, two-voice preset; the Sound tab
// with a pitch curve of several weights, its focused node's handles and the
// status line; the Waveform tab with its Z band; the node dialog; the
// whole-preset timeline with long built-in presets and a 25-segment journey
// with repeats, separate ears and a test playback's position.
//
//   editorshots OUT_DIR [--dark]   (scripts/editor-screenshots.sh runs it under
//                                  Xvfb; --dark: Fusion with a dark palette)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QStyleFactory>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "chart/ParameterChart.h"
#include "data/backgrounds/bglib.h"
#include "dialog/NodeDialog.h"
#include "engine/startup.h"
#include "file/store.h"
#include "main/preset.h"
#include "main/presetedit.h"
#include "presetjson/presetjson.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/PresetTimeline.h"
#include "reg/settings.h"

namespace {

struct Pt {
  int Time;
  int32_t Value;
  int Weight;
};

void SetCurve(Param& q, std::initializer_list<Pt> pts) {
  q.NumNodes = static_cast<uint8_t>(pts.size());
  int i = 0;
  for (const Pt& p : pts) q.Node[i++] = Node{p.Value, static_cast<int16_t>(p.Time), static_cast<uint8_t>(p.Weight), 0};
  q.EasySel = 0;
  q.Tracking = 0;
}

int32_t Wave(int low, int z) { return static_cast<int32_t>((uint32_t(z) << 16) | uint32_t(low)); }

// A preset of three segments (A, B, C), the second with two voices.
int MakePreset() {
  const int n = NumPrograms;
  CommitProgramRecord(n);
  Preset& p = Program[n];
  NewDefaultPreset(p);
  std::strcpy(p.Name, "Evening wind-down");
  EnsureDescription(p);
  std::strcpy(p.Description,
              "Starts near alpha and settles into theta over half an hour; a second voice joins in the middle "
              "segment an octave lower.");
  EditRules r;
  AddSegment(p, 0, r);
  AddSegment(p, 1, r);
  p.data.Segment[0].Length = 500;
  p.data.Segment[1].Length = 1250;
  p.data.Segment[1].Repeat = 2;
  p.data.Segment[2].Length = 875;
  AddVoice(p, 1, 0, r);
  Param* s1 = SegParams(p, 1);
  SetCurve(
      s1[PARAMID(0, PN_PITCH)],
      {{0, 20000, 10}, {1800, 26000, 16}, {4200, 15000, 4}, {6500, 31000, 13}, {8200, 22000, 7}, {10000, 20000, 10}});
  SetCurve(s1[PARAMID(0, PN_BEAT)], {{0, 10000, 10}, {5000, 6500, 14}, {10000, 10000, 10}});
  SetCurve(s1[PARAMID(0, PN_WAVEFORM)],
           {{0, Wave(0, 500), 10}, {3000, Wave(600, 300), 12}, {7000, Wave(200, 800), 8}, {10000, Wave(0, 500), 10}});
  p.data.NumSegments = 3;
  NumPrograms = n + 1;
  return n;
}

// A built-in preset from its source file, appended to Program; -1 on failure.
int LoadBuiltIn(const char* file) {
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

// A journey down to delta and back in 25 segments: the beat falls from
// 14 Hz to 2.5 Hz in nine segments, dips and recovers seven times in the
// middle (each a minute played four times), rises again, and in the last
// segment comes from the two ears set apart (right pitch above the left).
int MakeJourney() {
  const int n = NumPrograms;
  CommitProgramRecord(n);
  Preset& p = Program[n];
  NewDefaultPreset(p);
  std::strcpy(p.Name, "Down to delta and back");
  EditRules off{false, 3, {}};
  for (int s = 1; s < MAXSEGMENTS; ++s) AddSegment(p, 0, off);
  int32_t beat = 14000;
  for (int s = 0; s < MAXSEGMENTS; ++s) {
    Segment& seg = p.data.Segment[s];
    seg.Name[0] = static_cast<char>('A' + s);
    const bool middle = s >= 9 && s < 16;
    seg.Length = middle ? 100 : 300;
    seg.Repeat = middle ? 4 : 1;
    const int32_t to = s < 9 ? beat - 1250 : middle ? beat : beat + 1250;
    Param* q = SegParams(p, s);
    if (s == MAXSEGMENTS - 1) {
      Param& left = q[PARAMID(0, PN_PITCH)];
      SetCurve(left, {{0, 20000, 10}, {10000, 20000, 10}});
      left.ChannelMode = 1;
      SetCurve(q[PARAMID(0, PN_PITCH) + 1], {{0, 20000 + beat / 10, 10}, {10000, 20000 + 1000, 12}});
    } else {
      const int32_t dip = middle ? beat - 1200 : (beat + to) / 2;
      SetCurve(q[PARAMID(0, PN_BEAT)], {{0, beat, 10}, {5000, dip, s % 2 ? 15 : 5}, {10000, to, 10}});
    }
    RecomputeAllTracked(BackgroundParamRow{}, q, seg);
    beat = to;
  }
  NumPrograms = n + 1;
  return n;
}

bool Save(QWidget* w, const QString& path) {
  bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

}  // namespace

// The timeline of Program[index] over its dialog's tab `tab` (the beat of
// voice 1 shown, or row `row`), the segment `segment` current and, with
// play >= 0, a test playback's position drawn there; the whole dialog and
// the timeline alone.
bool ShootTimeline(int index, const QString& prefix, int tab, int segment, int play, int row = -1) {
  PresetOptionsDialog d(nullptr, index, false);
  d.resize(900, 640);
  d.show();
  d.tabs()->setCurrentIndex(tab);
  d.selectSegment(segment);
  d.activateWindow();
  if (tab == 1) d.paramPage()->paneChart(0)->setFocus(Qt::OtherFocusReason);
  if (play >= 0) d.timeline()->setPlayPosition(true, segment, play);
  if (row >= 0) d.timeline()->setParameter(row);
  QApplication::processEvents();
  bool ok = Save(&d, prefix + "-dialog.png");
  d.timeline()->setFocus(Qt::OtherFocusReason);
  QApplication::processEvents();
  ok &= Save(d.timeline(), prefix + "-timeline.png");
  std::printf("  %s\n", qPrintable(d.timeline()->accessibleDescription()));
  d.hide();
  return ok;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: editorshots OUT_DIR [--dark]\n");
    return 2;
  }
  if (argc > 2 && std::strcmp(argv[2], "--dark") == 0) {
    // A dark theme as a user may have one: Fusion with dark colours.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(38, 110, 190));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(110, 170, 255));
    dark.setColor(QPalette::Mid, QColor(90, 90, 95));
    dark.setColor(QPalette::Dark, QColor(25, 25, 25));
    dark.setColor(QPalette::Light, QColor(80, 80, 85));
    dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 60));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    // Without these a disabled control would look enabled in the shots.
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 130));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 130));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(130, 130, 130));
    QApplication::setPalette(dark);
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  EngineSetup setup;
  setup.ScanLibraries = false;  // no background is played here
  if (EngineStartup(setup) != 0) return 1;
  DefaultSettings(Cfg, false);
  const int index = MakePreset();
  bool ok = true;
  {
    PresetOptionsDialog d(nullptr, index, false);
    d.resize(720, 600);
    d.show();
    d.selectSegment(1);
    d.selectVoice(0);
    QApplication::processEvents();
    ok &= Save(&d, out + "/preset-options-general.png");

    d.tabs()->setCurrentIndex(1);
    QApplication::processEvents();
    ParameterChart* pitch = d.paramPage()->paneChart(1);
    d.activateWindow();
    pitch->setFocus(Qt::OtherFocusReason);
    pitch->setFocusedNode(2);
    QApplication::processEvents();
    ok &= Save(&d, out + "/preset-options-sound.png");
    ok &= Save(pitch, out + "/chart-pitch.png");
    {
      // The same chart on a screen with twice the pixels.
      QImage hi(pitch->size() * 2, QImage::Format_ARGB32_Premultiplied);
      hi.setDevicePixelRatio(2);
      pitch->render(&hi);
      const QString path = out + "/chart-pitch@2x.png";
      const bool saved = hi.save(path);
      std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
      ok &= saved;
    }

    d.tabs()->setCurrentIndex(2);
    QApplication::processEvents();
    ParameterChart* wave = d.paramPage()->paneChart(0);
    wave->setFocus(Qt::OtherFocusReason);
    wave->setFocusedNode(1);
    QApplication::processEvents();
    ok &= Save(wave, out + "/chart-waveform.png");

    Param& q = SegParams(d.prg(), 1)[PARAMID(0, PN_PITCH)];
    ChartValueDef def;
    def.ParamNum = PN_PITCH;
    def.Min = ParamDef[PN_PITCH].Min;
    def.Max = ParamDef[PN_PITCH].Max;
    def.Digits = ParamDef[PN_PITCH].Digits;
    NodeDialog nd(&d, q, def, ParamDef[PN_PITCH].Unit, 2, d.segment().Length);
    nd.adjustSize();
    nd.show();
    QApplication::processEvents();
    ok &= Save(&nd, out + "/node-dialog.png");
    nd.hide();
    d.hide();
  }
  // The whole preset at a glance: long built-in presets and a journey of
  // 25 segments.
  for (const char* file : {"24-creativity-increase-2-varying.json", "10-sleep-3-ocean-waves.json"}) {
    const int b = LoadBuiltIn(file);
    ok &= b >= 0 && ShootTimeline(b, out + "/timeline-" + QString::fromLatin1(file).section('.', 0, 0), 1,
                                  Program[b].data.NumSegments > 1 ? 1 : 0, 5000);
  }
  const int journey = MakeJourney();
  ok &= ShootTimeline(journey, out + "/timeline-journey-sound", 1, 12, 2500);
  ok &= ShootTimeline(journey, out + "/timeline-journey-general", 0, 24, -1);
  ok &= ShootTimeline(journey, out + "/timeline-journey-pitch", 1, 24, -1, PN_PITCH);
  {
    // A library background with a parameter of its own chosen in the editor:
    // the Background tab names that parameter. The build puts the libraries
    // in bin/, two folders above this tool.
    LoadBackgroundLibraries((QCoreApplication::applicationDirPath() + "/../../bin").toStdString());
    PresetOptionsDialog d(nullptr, index, false);
    d.resize(720, 600);
    d.show();
    QComboBox* bg = d.generalPage()->backgroundCombo();
    const int entry = bg->findData(FindBackground(5, "Ambix.dll"));
    if (entry >= 0) {
      bg->setCurrentIndex(entry);
      emit bg->activated(entry);
      QApplication::processEvents();
      ok &= Save(&d, out + "/preset-options-background-choice.png");
      d.tabs()->setCurrentIndex(3);
      QApplication::processEvents();
      ok &= Save(&d, out + "/preset-options-background-param.png");
      // And back to none: the parameter goes out of use again.
      const int none = bg->findData(AMBIX_NONE);
      d.tabs()->setCurrentIndex(0);
      bg->setCurrentIndex(none);
      emit bg->activated(none);
      QApplication::processEvents();
      ok &= none >= 0 && Save(&d, out + "/preset-options-background-none.png");
      d.tabs()->setCurrentIndex(3);
      QApplication::processEvents();
      ok &= Save(&d, out + "/preset-options-background-param-none.png");
    } else {
      std::printf("no library background 5 in Ambix.dll: background shots skipped\n");
    }
  }
  EngineShutdown();
  return ok ? 0 : 1;
}
