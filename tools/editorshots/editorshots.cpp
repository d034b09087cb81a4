// Screenshots of the preset editor for the documentation and for looking at
// it: the General tab of a three-segment, two-voice preset; the Sound tab
// with a pitch curve of several weights, its focused node's handles and the
// status line; the Waveform tab with its Z band; the node dialog.
//
//   editorshots OUT_DIR        (scripts/editor-screenshots.sh runs it under Xvfb)
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>

#include "chart/ParameterChart.h"
#include "dialog/NodeDialog.h"
#include "engine/startup.h"
#include "file/store.h"
#include "main/preset.h"
#include "main/presetedit.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
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

bool Save(QWidget* w, const QString& path) {
  bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: editorshots OUT_DIR\n");
    return 2;
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
    NodeDialog nd(&d, q, def, 2, d.segment().Length);
    nd.adjustSize();
    nd.show();
    QApplication::processEvents();
    ok &= Save(&nd, out + "/node-dialog.png");
    nd.hide();
    d.hide();
  }
  EngineShutdown();
  return ok ? 0 : 1;
}
