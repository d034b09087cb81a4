// The Waveform tab's preview in the preset options dialog: what it shows
// for the curves of the current voice, the slider following the focused
// node of the Waveform and Waveform Filter charts, the channel and label
// rule, and the panes hidden by Easy choices.
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <functional>

#include "chart/ParameterChart.h"
#include "data/synthesis/wavetab.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/WaveformPreview.h"

namespace {

using Dlg = PresetOptionsDialog;

int32_t Wave(int shape, int sharpness) { return (sharpness * 10) << 16 | (shape * 10); }

void SetCurve(Param& q, std::initializer_list<std::pair<int, int32_t>> pts) {
  q.NumNodes = static_cast<uint8_t>(pts.size());
  int i = 0;
  for (auto [t, v] : pts) q.Node[i++] = Node{v, static_cast<int16_t>(t), 10, 1};
  q.EasySel = 0;
  q.Tracking = 0;
}

constexpr NodesChanged kWholeCurve{NODES_ALL, NODES_ALL, 0, 0};

}  // namespace

class WaveformPreviewTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

  void edit(std::function<void(Dlg*)> f) { QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, f)); }

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    W = gui::OpenMainWindow();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void followsTheCurvesAndTheFocusedNode() {
    edit([](Dlg* d) {
      Param* params = d->segmentParams();
      const int w = PARAMID(0, PN_WAVEFORM), f = PARAMID(0, PN_FILTER);
      // A sine turning into a triangle; the filter "First harmonic".
      SetCurve(params[w], {{0, Wave(50, 50)}, {4000, Wave(0, 50)}, {10000, Wave(0, 50)}});
      SetCurve(params[f], {{0, 120}, {10000, 120}});
      d->parameterChanged(w, kWholeCurve);
      d->parameterChanged(f, kWholeCurve);
      auto* p = d->findChild<WaveformPreview*>(QStringLiteral("waveformPreview"));
      QVERIFY(p);
      QVERIFY(!p->isVisible());
      d->tabs()->setCurrentIndex(2);
      QVERIFY(p->isVisible() && p->waveDisplay()->isVisible() && p->slider()->isVisible());
      QCOMPARE(p->label()->text(), QStringLiteral("Sh&ow waveform at position:"));
      QCOMPARE(p->slider()->accessibleName(), QStringLiteral("Show waveform at position"));

      // A node of the Waveform chart takes the focus: the slider goes to its
      // time and the displays show that moment.
      ParameterChart* c = d->paramPage()->chart(3);
      c->setFocus(Qt::OtherFocusReason);
      QTest::keyClick(c, Qt::Key_Home);
      QTest::keyClick(c, Qt::Key_Right);
      QCOMPARE(p->slider()->value(), 4000);
      QCOMPARE(p->position(), 4000);
      QCOMPARE(p->data().Waveform, Wave(0, 50));
      QVERIFY(p->data().Filtered[3] < p->data().Unfiltered[3] - 3000);  // the 7th drops
      QVERIFY(p->slider()->accessibleDescription().startsWith(QStringLiteral("40.00%")));
      QVERIFY(p->spectrumDisplay()->accessibleDescription().contains(QStringLiteral("filtered: 0.0, ")));
      // The Filter chart's nodes move it too; the keys move it by its steps.
      ParameterChart* fc = d->paramPage()->chart(4);
      fc->setFocus(Qt::OtherFocusReason);
      QTest::keyClick(fc, Qt::Key_End);
      QCOMPARE(p->position(), 10000);
      QTest::keyClick(fc, Qt::Key_Home);
      QCOMPARE(p->position(), 0);
      QCOMPARE(p->data().Waveform, Wave(50, 50));
      p->slider()->setFocus();
      QTest::keyClick(p->slider(), Qt::Key_PageUp);
      QCOMPARE(p->position(), 1000);

      // A node dragged in the chart: the preview recomputes at once.
      SetCurve(params[f], {{0, FILTER_NONE}, {10000, FILTER_NONE}});
      d->parameterChanged(f, kWholeCurve);
      for (int i = 0; i < PREVIEW_HARMONICS; ++i) QCOMPARE(p->data().Filtered[i], p->data().Unfiltered[i]);

      d->tabs()->setCurrentIndex(1);
      QVERIFY(!p->isVisible());
    });
  }

  void channelsAndEasyChoices() {
    edit([](Dlg* d) {
      Param* params = d->segmentParams();
      const int w = PARAMID(0, PN_WAVEFORM), f = PARAMID(0, PN_FILTER);
      d->tabs()->setCurrentIndex(2);
      auto* p = d->findChild<WaveformPreview*>(QStringLiteral("waveformPreview"));
      // Waveform left shown, filter right shown: the channel last picked.
      SetCurve(params[w], {{0, Wave(50, 50)}, {10000, Wave(50, 50)}});
      SetCurve(params[w + 1], {{0, Wave(100, 50)}, {10000, Wave(100, 50)}});
      params[w].ChannelMode = 1;
      params[f].ChannelMode = 2;
      p->setPickedChannel(2);
      QCOMPARE(p->channel(), 2);
      QCOMPARE(p->label()->text(), QStringLiteral("Sh&ow waveform at position (right channel):"));
      QCOMPARE(p->data().Waveform, Wave(100, 50));
      p->setPickedChannel(1);
      QCOMPARE(p->label()->text(), QStringLiteral("Sh&ow waveform at position (left channel):"));
      QCOMPARE(p->data().Waveform, Wave(50, 50));
      params[w].ChannelMode = params[f].ChannelMode = 0;

      // "Sine wave": nothing to preview; two Easy choices: no slider.
      params[w].EasySel = 1;
      p->refresh();
      QVERIFY(!p->waveDisplay()->isVisible() && !p->slider()->isVisible());
      params[w].EasySel = 3;
      params[f].EasySel = 9;
      p->refresh();
      QVERIFY(p->waveDisplay()->isVisible() && p->spectrumDisplay()->isVisible());
      QVERIFY(!p->slider()->isVisible() && !p->label()->isVisible());
      // From a sine to "User-defined..." in the page's box, as a user does:
      // the displays and the slider show at once (the choice keeps the
      // curve, so only the choice itself changed).
      QComboBox* easy = d->paramPage()->findChild<QComboBox*>(QStringLiteral("easy3"));
      QVERIFY(easy && easy->isVisible());
      for (const QString& text : {QStringLiteral("Sine wave"), QStringLiteral("User-defined...")}) {
        const int row = easy->findText(text);
        easy->setCurrentIndex(row);
        emit easy->activated(row);
      }
      QCOMPARE(int(params[w].EasySel), 0);
      QVERIFY(p->waveDisplay()->isVisible() && p->slider()->isVisible() && p->label()->isVisible());
    });
  }
};

GUI_TEST(WaveformPreviewTest);
#include "tst_preview.moc"
