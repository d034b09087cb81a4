// The parameter chart driven with real mouse and key events: the drag
// threshold, scrolling past the top, keys, weight handles and the symmetric
// rule, the context menus, insert and delete with their limits, the node
// dialog, the play position, the derived read-only curve, the accessible
// description, and curves no editor would make.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTimer>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "chart/ParameterChart.h"
#include "chart/chartcolours.h"
#include "dialog/MessageBox.h"
#include "dialog/NodeDialog.h"
#include "gui/guitest.h"
#include "main/chartmath.h"
#include "main/model.h"
#include "prgdlg/WaveformPreview.h"

namespace {

// Runs `action` on the popup menu the next call opens, then closes it.
void OnPopup(std::function<void(QMenu*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!m || !m->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(m);
    if (m->isVisible()) m->close();
  });
  timer->start();
}

// Paces the chart's scrolling by hand: the test takes each step the chart
// asks for at once, and keeps the delays it asked for.
class SteppedPacer final : public ScrollPacer {
 public:
  void start(int ms) override {
    Pending = true;
    Delays.push_back(ms);
  }
  void stop() override { Pending = false; }
  bool active() const override { return Pending; }
  // Takes the pending step, as a single-shot timer's timeout would.
  void step() {
    Pending = false;
    Step();
  }
  bool Pending = false;
  std::vector<int> Delays;
};

QAction* Act(QMenu* m, const char* name) { return m->findChild<QAction*>(QString::fromLatin1(name)); }

QPoint At(QPointF p) { return p.toPoint(); }

// A real double click: press, release, double click, release.
void DoubleClick(QWidget* w, QPoint pos) {
  QTest::mouseEvent(QTest::MousePress, w, Qt::LeftButton, Qt::NoModifier, pos);
  QTest::mouseEvent(QTest::MouseRelease, w, Qt::LeftButton, Qt::NoModifier, pos);
  QTest::mouseEvent(QTest::MouseDClick, w, Qt::LeftButton, Qt::NoModifier, pos);
  QTest::mouseEvent(QTest::MouseRelease, w, Qt::LeftButton, Qt::NoModifier, pos);
}

// The ground of a painted area (its most frequent colour) and, within
// `around`, the colour that stands out from it the most: the ink drawn there.
struct Painted {
  QColor Ground, Ink;
};
Painted Inspect(const QImage& image, const QRect& area, const QRect& around) {
  QHash<QRgb, int> count;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) ++count[image.pixel(x, y)];
  QRgb ground = 0;
  for (auto it = count.cbegin(); it != count.cend(); ++it)
    if (it.value() > count.value(ground)) ground = it.key();
  Painted p{QColor(ground), QColor(ground)};
  for (int y = around.top(); y <= around.bottom(); ++y)
    for (int x = around.left(); x <= around.right(); ++x) {
      const QColor c(image.pixel(x, y));
      if (ContrastRatio(c, p.Ground) > ContrastRatio(p.Ink, p.Ground)) p.Ink = c;
    }
  return p;
}

Node N(int32_t value, int time, int weight = 10, int symmetric = 0) {
  return Node{value, static_cast<int16_t>(time), static_cast<uint8_t>(weight), static_cast<uint8_t>(symmetric)};
}

}  // namespace

class Chart : public QObject {
  Q_OBJECT
  Param P{}, P2{};
  std::unique_ptr<ParameterChart> C;

  // A chart of parameter `paramNum` over a curve, shown and focused.
  ParameterChart* open(int paramNum, std::initializer_list<Node> nodes, bool readOnly = false,
                       Param* second = nullptr) {
    P = Param{};
    for (const Node& n : nodes) P.Node[P.NumNodes++] = n;
    C = std::make_unique<ParameterChart>();
    C->setAccessibleName(QStringLiteral("Test chart"));
    C->resize(600, 220);
    C->bind(paramNum, &P, second, readOnly, 1000);
    C->show();
    if (!QTest::qWaitForWindowExposed(C.get())) qWarning("chart not exposed");
    C->activateWindow();
    if (!readOnly && !second) {
      C->setFocus(Qt::OtherFocusReason);
      if (!QTest::qWaitFor([this] { return C->hasFocus(); }, 2000)) qWarning("chart has no focus");
    }
    return C.get();
  }

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
  }
  void cleanup() {
    C.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  // The curves, nodes and the preview's wave stand out from their ground
  // by at least 3:1 under any palette; the light one keeps today's navy.
  void curvesReadOnAnyPalette_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QColor>("exactly");  // the curve's colour, when it is fixed
    QPalette grey(QColor(53, 53, 53), QColor(53, 53, 53));
    grey.setColor(QPalette::Base, QColor(42, 42, 42));
    grey.setColor(QPalette::Text, QColor(220, 220, 220));
    grey.setColor(QPalette::Dark, QColor(35, 35, 35));
    grey.setColor(QPalette::Light, QColor(66, 66, 66));
    QTest::newRow("light") << QApplication::style()->standardPalette() << false << QColor(0, 0, 128);
    QTest::newRow("light, read-only") << QApplication::style()->standardPalette() << true << QColor(128, 128, 128);
    QTest::newRow("dark") << QPalette(QColor(53, 53, 53)) << false << QColor();
    QTest::newRow("dark grey") << grey << false << QColor();
    QTest::newRow("dark grey, read-only") << grey << true << QColor();
  }
  void curvesReadOnAnyPalette() {
    QFETCH(QPalette, palette);
    QFETCH(bool, readOnly);
    QFETCH(QColor, exactly);
    P = Param{};
    for (const Node& n : {N(5000, 0), N(5000, 5000), N(5000, 10000)}) P.Node[P.NumNodes++] = n;
    C = std::make_unique<ParameterChart>();
    C->setPalette(palette);
    C->resize(600, 220);
    C->bind(PN_VOLUME, &P, nullptr, readOnly, 1000);
    C->show();
    QVERIFY(QTest::qWaitForWindowExposed(C.get()));
    const QImage chart = C->grab().toImage();
    const QPoint node = At(C->nodePoint(1));
    const Painted p = Inspect(chart, C->plotRect().toAlignedRect(), QRect(node - QPoint(5, 5), QSize(11, 11)));
    QCOMPARE(p.Ground, palette.color(QPalette::Base));
    QVERIFY2(ContrastRatio(p.Ink, p.Ground) >= 3.0,
             qPrintable(QStringLiteral("%1 on %2").arg(p.Ink.name(), p.Ground.name())));
    if (exactly.isValid()) QCOMPARE(p.Ink, exactly);

    // The waveform preview's wave under the same palette.
    WaveformPreviewData data;
    for (int k = 0; k < PREVIEW_SAMPLES; ++k)
      data.Samples[k] = static_cast<int16_t>(std::lround(30000 * std::sin(2 * M_PI * k / PREVIEW_SAMPLES)));
    WaveformDisplay wave(WaveformDisplay::WAVE, &data, nullptr);
    wave.setPalette(palette);
    wave.resize(200, 100);
    wave.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wave));
    const QImage shown = wave.grab().toImage();
    const QRect inside = wave.contentsRect();
    const Painted w = Inspect(shown, inside, inside);
    QCOMPARE(w.Ground, palette.color(QPalette::Base));
    QVERIFY2(ContrastRatio(w.Ink, w.Ground) >= 3.0,
             qPrintable(QStringLiteral("%1 on %2").arg(w.Ink.name(), w.Ground.name())));
  }

  void pressWithoutMovingFivePixelsChangesNothing() {
    open(PN_VOLUME, {N(2000, 0), N(5000, 5000), N(8000, 10000)});
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    const QPoint at = At(C->nodePoint(1));
    QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(C.get(), at + QPoint(3, -3));  // 18 square pixels
    QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::NoModifier, at + QPoint(3, -3));
    QCOMPARE(P.Node[1].Value, 5000);
    QCOMPARE(P.Node[1].SweepTime, int16_t(5000));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(C->focusedNode(), 1);

    // Five pixels and more: a drag, reported once on release.
    QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(C.get(), at + QPoint(0, -30));
    QVERIFY(P.Node[1].Value > 5000);
    QCOMPARE(changed.count(), 0);
    QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::NoModifier, at + QPoint(0, -30));
    QCOMPARE(changed.count(), 1);
    const NodesChanged c = changed.at(0).at(0).value<NodesChanged>();
    QCOMPARE(c.First, 0);
    QCOMPARE(c.Last, 1);
    QCOMPARE(c.Moved, 1);
    QCOMPARE(P.Node[1].Value % 100, 0);  // whole percent
  }

  void dragPastTheTop_data() {
    QTest::addColumn<int>("paramNum");
    QTest::addColumn<int>("limit");     // stored
    QTest::addColumn<int>("rangeMax");  // display units
    QTest::newRow("pitch scrolls up to 20000 Hz") << int(PN_PITCH) << 2000000 << 20000;
    QTest::newRow("volume stops at 100 %") << int(PN_VOLUME) << 10000 << 100;
  }
  void dragPastTheTop() {
    QFETCH(int, paramNum);
    QFETCH(int, limit);
    QFETCH(int, rangeMax);
    const int32_t v = paramNum == PN_PITCH ? 20000 : 5000;
    open(paramNum, {N(v, 0), N(v, 5000), N(v, 10000)});
    auto owned = std::make_unique<SteppedPacer>();
    SteppedPacer* pacer = owned.get();
    C->setScrollPacer(std::move(owned));
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    const QPoint at = At(C->nodePoint(1));
    QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, at);
    const QPoint above(at.x(), int(C->plotRect().top()) - 40);
    QTest::mouseMove(C.get(), above);
    if (paramNum == PN_PITCH) {
      QVERIFY(C->scrolling());
      QVERIFY(C->displayedRange().Max < rangeMax);
    } else {
      QVERIFY(!C->scrolling());  // a fixed range clamps instead
    }
    // Each step scrolls further until the value reaches its limit, where the
    // steps end; the pointer just past the edge asks for them at most every
    // half second.
    int steps = 0;
    while (pacer->active() && steps < 10000) {
      pacer->step();
      ++steps;
    }
    QVERIFY(!C->scrolling());
    QCOMPARE(P.Node[1].Value, limit);
    for (int ms : pacer->Delays) QVERIFY2(ms > 0 && ms <= 500, qPrintable(QString::number(ms)));
    QCOMPARE(C->displayedRange().Max, rangeMax);
    QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::NoModifier, above);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(P.Node[1].SweepTime, int16_t(5000));
  }

  void keysFocusMoveAndStepTheValue() {
    open(PN_VOLUME, {N(5000, 0), N(5050, 5000), N(5000, 10000)});
    QSignalSpy focused(C.get(), &ParameterChart::nodeFocused);
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    QTest::keyClick(C.get(), Qt::Key_Right);
    QCOMPARE(C->focusedNode(), 1);
    QCOMPARE(focused.count(), 1);
    // 5 % of the displayed 0..100 %, snapped to whole percent.
    QTest::keyClick(C.get(), Qt::Key_Up);
    QCOMPARE(P.Node[1].Value, 5500);
    QCOMPARE(changed.count(), 1);
    for (int i = 0; i < 12; ++i) QTest::keyClick(C.get(), Qt::Key_Up);
    QCOMPARE(P.Node[1].Value, 10000);  // stops at the maximum
    QTest::keyClick(C.get(), Qt::Key_Down);
    QCOMPARE(P.Node[1].Value, 9500);
    // Shift or Ctrl with Left/Right move the time by 5 %, kept between the
    // neighbours; the ends never move.
    QTest::keyClick(C.get(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(P.Node[1].SweepTime, int16_t(5500));
    for (int i = 0; i < 20; ++i) QTest::keyClick(C.get(), Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(P.Node[1].SweepTime, int16_t(0));
    QTest::keyClick(C.get(), Qt::Key_End);
    QCOMPARE(C->focusedNode(), 2);
    QTest::keyClick(C.get(), Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(P.Node[2].SweepTime, int16_t(10000));
    QTest::keyClick(C.get(), Qt::Key_Home);
    QCOMPARE(C->focusedNode(), 0);
  }

  void zValuesFollowCtrl() {
    auto wave = [](int low, int z) { return int32_t((uint32_t(z) << 16) | uint32_t(low)); };
    open(PN_WAVEFORM, {N(wave(500, 500), 0), N(wave(500, 500), 5000), N(wave(500, 500), 10000)});
    QVERIFY(C->statusText().contains("Hold down CTRL"));
    QTest::keyClick(C.get(), Qt::Key_Right);
    QTest::keyClick(C.get(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(P.Node[1].Value, wave(500, 550));
    QTest::keyClick(C.get(), Qt::Key_Down);
    QCOMPARE(P.Node[1].Value, wave(450, 550));
    // Dragging with Ctrl moves the Z value only, and not the time.
    const QPoint at = At(C->nodePoint(1));
    QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseEvent(QTest::MouseMove, C.get(), Qt::NoButton, Qt::ControlModifier, at + QPoint(40, -30));
    QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::ControlModifier, at + QPoint(40, -30));
    QCOMPARE(NodeLow(ChartValueDef{PN_WAVEFORM, 0, 100, 1, 0, true, true}, P.Node[1].Value), 450);
    QVERIFY(NodeZ(P.Node[1].Value) > 550);
    QCOMPARE(P.Node[1].SweepTime, int16_t(5000));
  }

  void handlesSetWeightsAndKeepSymmetricNodesMirrored() {
    // A valley: both handles of node 1 point upwards.
    open(PN_PITCH, {N(40000, 0), N(20000, 5000, 10, 1), N(40000, 10000)});
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    QTest::mouseClick(C.get(), Qt::LeftButton, Qt::NoModifier, At(C->nodePoint(1)));
    QCOMPARE(C->handleCount(), 2);
    const QPointF at = C->nodePoint(1);
    auto dragHandle = [&](int which, double degrees) {
      const QPoint from = At(C->handlePoint(which));
      const double a = degrees * M_PI / 180, r = 120;
      const QPoint to = At(at + QPointF((which == 1 ? r : -r) * std::cos(a), -r * std::sin(a)));
      QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, from);
      QCOMPARE(C->grabbedHandle(), which);
      QTest::mouseMove(C.get(), to);
      QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::NoModifier, to);
    };
    // The outgoing handle at 18 degrees stands for weight 4; the symmetric
    // node mirrors it into the incoming sweep.
    dragHandle(1, 18);
    QCOMPARE(int(P.Node[1].Weight), 4);
    QCOMPARE(int(P.Node[0].Weight), 16);
    QCOMPARE(changed.count(), 1);
    // The incoming handle at 72 degrees stands for 16: the incoming sweep
    // stores 20 - 16.
    dragHandle(0, 72);
    QCOMPARE(int(P.Node[0].Weight), 4);
    QCOMPARE(int(P.Node[1].Weight), 16);
    // A double click on a handle makes that sweep linear (and the mirror).
    DoubleClick(C.get(), At(C->handlePoint(1)));
    QCOMPARE(int(P.Node[1].Weight), 10);
    QCOMPARE(int(P.Node[0].Weight), 10);
  }

  void contextMenusFollowTheNode() {
    open(PN_VOLUME, {N(0, 0, 10, 1), N(5000, 5000), N(0, 10000)});
    QSignalSpy play(C.get(), &ParameterChart::playHere);
    struct Expect {
      int Node;
      bool Delete, Insert, Symmetric;
    };
    for (Expect e : {Expect{0, false, true, true}, Expect{1, true, true, false}, Expect{2, false, false, false}}) {
      bool seen = false;
      OnPopup([&](QMenu* m) {
        seen = true;
        QCOMPARE(m->objectName(), QString("chartNodeMenu"));
        QCOMPARE(m->defaultAction(), Act(m, "chartEdit"));
        QCOMPARE(Act(m, "chartDelete")->isEnabled(), e.Delete);
        QCOMPARE(Act(m, "chartInsert")->isEnabled(), e.Insert);
        QCOMPARE(Act(m, "chartSymmetric")->isChecked(), e.Symmetric);
        QVERIFY(!Act(m, "chartStopPlaying")->isVisible());
      });
      QTest::mouseClick(C.get(), Qt::RightButton, Qt::NoModifier, At(C->nodePoint(e.Node)));
      QVERIFY(seen);
      QCOMPARE(C->focusedNode(), e.Node);
    }
    // Play Here plays at the time under the pointer; Stop Playing shows
    // while a test plays.
    C->setTestPlaying(true, -1);
    const QPointF mid((C->nodePoint(0).x() + C->nodePoint(1).x()) / 2, C->plotRect().center().y());
    OnPopup([](QMenu* m) {
      QVERIFY(Act(m, "chartStopPlaying")->isVisible());
      Act(m, "chartPlayHere")->trigger();
    });
    QTest::mouseClick(C.get(), Qt::RightButton, Qt::NoModifier, At(mid));
    QCOMPARE(play.count(), 1);
    QVERIFY(qAbs(play.at(0).at(0).toInt() - 2500) < 50);
    // Left of the plot: Refresh Minimum and Maximum.
    bool axis = false;
    OnPopup([&](QMenu* m) { axis = m->objectName() == "chartAxisMenu" && Act(m, "chartRefresh"); });
    QTest::mouseClick(C.get(), Qt::RightButton, Qt::NoModifier, QPoint(4, int(C->plotRect().center().y())));
    QVERIFY(axis);
    // The keyboard opens the node menu too.
    bool keyed = false;
    OnPopup([&](QMenu* m) { keyed = m->objectName() == "chartNodeMenu"; });
    QTest::keyClick(C.get(), Qt::Key_Menu);
    QVERIFY(keyed);
  }

  void insertAndDeleteKeepTheirLimits() {
    open(PN_VOLUME, {N(0, 0), N(10000, 10000)});
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    QTest::keyClick(C.get(), Qt::Key_Delete);  // the first node stays
    QCOMPARE(int(P.NumNodes), 2);
    QTest::keyClick(C.get(), Qt::Key_Insert);  // weight 10: the middle
    QCOMPARE(int(P.NumNodes), 3);
    QCOMPARE(P.Node[1].SweepTime, int16_t(5000));
    QCOMPARE(P.Node[1].Value, 5000);
    QCOMPARE(changed.last().at(0).value<NodesChanged>().All(), true);
    QTest::keyClick(C.get(), Qt::Key_End);
    QTest::keyClick(C.get(), Qt::Key_Insert);  // nothing after the last node
    QTest::keyClick(C.get(), Qt::Key_Delete);
    QCOMPARE(int(P.NumNodes), 3);
    QTest::keyClick(C.get(), Qt::Key_Left);
    QTest::keyClick(C.get(), Qt::Key_Delete);
    QCOMPARE(int(P.NumNodes), 2);
    QCOMPARE(C->focusedNode(), 0);

    // The 101st node is refused with 1285.
    for (int i = 0; i < 98; ++i) QTest::keyClick(C.get(), Qt::Key_Insert);
    QCOMPARE(int(P.NumNodes), MAXNODES);
    MessageBox::clearShown();
    QTest::keyClick(C.get(), Qt::Key_Insert);
    QCOMPARE(int(P.NumNodes), MAXNODES);
    QCOMPARE(MessageBox::lastText(), QString("You can not add more than 100 nodes."));
  }

  void nodeDialogValidatesBeforeStoring() {
    open(PN_VOLUME, {N(2000, 0), N(5000, 5000), N(8000, 10000)});
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    QTest::keyClick(C.get(), Qt::Key_Right);
    bool refused = false;
    gui::OnDialog<NodeDialog>([&](NodeDialog* d) {
      QVERIFY(!d->timeToEdit()->isEnabled());  // the next node is the last
      QVERIFY(d->timeFromEdit()->isEnabled());
      // "Tim&e:" without its mnemonic.
      QCOMPARE(QAccessible::queryAccessibleInterface(d->timeToEdit())->text(QAccessible::Name),
               QStringLiteral("Time: to"));
      d->fromEdit()->setText("150");
      MessageBox::clearShown();
      QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
      refused = d->isVisible() && MessageBox::lastText() == "The value must be in range 0.00-100.00." &&
                d->focusWidget() == d->fromEdit();
      d->fromEdit()->setText("40");
      QTest::mouseClick(d->linearBox(), Qt::LeftButton);
      QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
    });
    QTest::keyClick(C.get(), Qt::Key_Space);
    QVERIFY(refused);
    QCOMPARE(P.Node[1].Value, 4000);
    QCOMPARE(P.Node[1].SweepTime, int16_t(5000));
    QCOMPARE(changed.count(), 1);
    const NodesChanged c = changed.at(0).at(0).value<NodesChanged>();
    QCOMPARE(c.Flags, NODES_FLAG_RANGE);
    QCOMPARE(c.First, 0);
    QCOMPARE(c.Last, 2);
    // Cancel stores nothing.
    gui::OnDialog<NodeDialog>([](NodeDialog* d) {
      d->fromEdit()->setText("10");
      d->reject();
    });
    DoubleClick(C.get(), At(C->nodePoint(1)));
    QCOMPARE(P.Node[1].Value, 4000);
    // The last node: only its own value.
    bool onlyValue = false;
    gui::OnDialog<NodeDialog>([&](NodeDialog* d) {
      onlyValue = d->fromEdit()->isEnabled() && !d->toEdit()->isEnabled() && !d->weightEdit()->isEnabled() &&
                  !d->timeFromEdit()->isEnabled() && !d->timeToEdit()->isEnabled() && !d->symmetricBox()->isEnabled() &&
                  !d->linearBox()->isEnabled();
      d->fromEdit()->setText("100");
      QTest::keyClick(d, Qt::Key_Return);
    });
    QTest::keyClick(C.get(), Qt::Key_End);
    QTest::keyClick(C.get(), Qt::Key_Space);
    QVERIFY(onlyValue);
    QCOMPARE(P.Node[2].Value, 10000);
    QCOMPARE(P.Node[2].SweepTime, int16_t(10000));
  }

  void playPositionIsDrawnOnlyInItsSegment() {
    open(PN_VOLUME, {N(0, 0), N(0, 10000)});
    auto redAt = [&](int time) {
      QImage img = C->grab().toImage();
      const int x = int(std::round(C->plotRect().left() + C->plotRect().width() * time / 10000.0));
      const int y = int(C->plotRect().center().y());
      for (int dx = -1; dx <= 1; ++dx)
        if (img.pixelColor(x + dx, y) == QColor(255, 0, 0)) return true;
      return false;
    };
    QVERIFY(!redAt(2500));
    C->setTestPlaying(true, 2500);
    QVERIFY(redAt(2500));
    C->setTestPlaying(true, -1);  // playing in another segment
    QVERIFY(!redAt(2500));
  }

  void playValueFollowsThePlayPositionUnderThePointer() {
    // A ramp from 0 % to 100 % and the derived beat of 200 Hz and 207.50 Hz.
    Param left{}, right{};
    for (Param* q : {&left, &right}) q->NumNodes = 2;
    left.Node[0] = N(20000, 0);
    left.Node[1] = N(20000, 10000);
    right.Node[0] = N(20750, 0);
    right.Node[1] = N(20750, 10000);
    const struct {
      int ParamNum;
      Param* Second;
      int Time;
      const char* Shown;
    } cases[] = {
        {PN_VOLUME, nullptr, 0, "Now: 0%"},
        {PN_VOLUME, nullptr, 10000, "Now: 100%"},
        {PN_BEAT, &right, 5000, "Now: 7.5Hz"},
    };
    for (const auto& c : cases) {
      open(c.ParamNum, {N(0, 0), N(10000, 10000)}, c.Second != nullptr, c.Second);
      if (c.Second) C->bind(c.ParamNum, &left, c.Second, true, 1000);
      C->setTestPlaying(true, c.Time);
      // The pointer leaves and comes back (the offscreen platform keeps no
      // pointer of its own to move).
      QEvent leave(QEvent::Leave);
      QApplication::sendEvent(C.get(), &leave);
      QCOMPARE(C->playValueText(), QString());
      const QPointF at = C->plotRect().center();
      QEnterEvent enter(at, at, C->mapToGlobal(at));
      QApplication::sendEvent(C.get(), &enter);
      QCOMPARE(C->playValueText(), QString(c.Shown));
      C->setTestPlaying(true, -1);  // another segment plays
      QCOMPARE(C->playValueText(), QString());
      C->setTestPlaying(false, -1);
      QCOMPARE(C->playValueText(), QString());
    }
  }

  void derivedCurveIsReadOnly() {
    // The beat of separate pitch channels: right minus left (200 -> 210 Hz).
    Param left{}, right{};
    for (Param* q : {&left, &right}) q->NumNodes = 2;
    left.Node[0] = left.Node[1] = N(20000, 0);
    left.Node[1].SweepTime = 10000;
    right.Node[0] = N(21000, 0);
    right.Node[1] = N(20500, 10000);
    C = std::make_unique<ParameterChart>();
    C->resize(600, 220);
    C->bind(PN_BEAT, &left, &right, true, 1000);
    C->show();
    QVERIFY(QTest::qWaitForWindowExposed(C.get()));
    QVERIFY(C->derived() && C->readOnly());
    QCOMPARE(C->focusPolicy(), Qt::NoFocus);
    QCOMPARE(C->displayedRange().Min, 4);  // 5..10 Hz rounded outwards to even numbers
    QCOMPARE(C->displayedRange().Max, 10);
    QVERIFY(C->accessibleDescription().contains("10"));
    QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, At(C->plotRect().center()));
    QTest::mouseMove(C.get(), At(C->plotRect().center()) + QPoint(0, -50));
    QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::NoModifier, At(C->plotRect().center()) + QPoint(0, -50));
    QTest::keyClick(C.get(), Qt::Key_Up);
    QCOMPARE(left.Node[0].Value, 20000);
    QCOMPARE(right.Node[0].Value, 21000);
    C.reset();
  }

  void accessibleDescriptionCarriesTheValue() {
    open(PN_VOLUME, {N(5000, 0), N(2500, 10000)});
    QCOMPARE(C->accessibleName(), QString("Test chart"));
    QCOMPARE(C->accessibleDescription(), QString("Node 1 of 2: 50%, 0.00min"));
    QTest::keyClick(C.get(), Qt::Key_Up);
    QCOMPARE(C->accessibleDescription(), QString("Node 1 of 2: 55%, 0.00min"));
    QTest::keyClick(C.get(), Qt::Key_End);
    QCOMPARE(C->accessibleDescription(), QString("Node 2 of 2: 25%, 10.00min"));
    QCOMPARE(C->statusText(), QString("25%, 10.00min"));
  }

  // A screen reader reads and sets the focused node's value within the
  // parameter's limits, at the resolution the chart shows (whole percent).
  void accessibleValueIsTheFocusedNodes() {
    open(PN_VOLUME, {N(5000, 0), N(2500, 10000)});
    QAccessibleValueInterface* v = QAccessible::queryAccessibleInterface(C.get())->valueInterface();
    QVERIFY(v);
    QCOMPARE(v->currentValue().toDouble(), 50.0);
    QCOMPARE(v->minimumValue().toDouble(), 0.0);
    QCOMPARE(v->maximumValue().toDouble(), 100.0);
    QCOMPARE(v->minimumStepSize().toDouble(), 1.0);
    QSignalSpy changed(C.get(), &ParameterChart::nodesChanged);
    const struct {
      double Set;
      int32_t Stored;
    } cases[] = {{62, 6200}, {33.4, 3300}, {250, 10000}, {-5, 0}, {1e300, 10000}};
    for (const auto& c : cases) {
      v->setCurrentValue(c.Set);
      QCOMPARE(P.Node[0].Value, c.Stored);
      QCOMPARE(v->currentValue().toDouble(), c.Stored / 100.0);
    }
    QCOMPARE(changed.count(), 5);
    QTest::keyClick(C.get(), Qt::Key_End);
    QCOMPARE(v->currentValue().toDouble(), 25.0);
    // A read-only chart has no value to set.
    open(PN_VOLUME, {N(5000, 0), N(2500, 10000)}, true);
    v = QAccessible::queryAccessibleInterface(C.get())->valueInterface();
    QVERIFY(!v->currentValue().isValid());
    v->setCurrentValue(80);
    QCOMPARE(P.Node[0].Value, 5000);
  }

  void curvesNoEditorWouldMakeShowAndClamp() {
    // Values far outside the range, two nodes at one time, weights above 20.
    open(PN_VOLUME, {N(250000, 0, 40), N(-7000, 5000, 255, 1), N(3000, 5000, 21), N(50000, 10000)});
    C->grab();
    QTest::keyClick(C.get(), Qt::Key_Up);  // clamped into the range on edit
    QCOMPARE(P.Node[0].Value, 10000);
    QTest::keyClick(C.get(), Qt::Key_Right);
    QTest::keyClick(C.get(), Qt::Key_Down);
    QCOMPARE(P.Node[1].Value, 0);
    QTest::keyClick(C.get(), Qt::Key_Right);
    QTest::keyClick(C.get(), Qt::Key_Left, Qt::ShiftModifier);  // between equal neighbours: stays
    QCOMPARE(P.Node[2].SweepTime, int16_t(5000));
    const QPoint at = At(C->nodePoint(2));
    QTest::mousePress(C.get(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(C.get(), at + QPoint(-60, -20));
    QTest::mouseRelease(C.get(), Qt::LeftButton, Qt::NoModifier, at + QPoint(-60, -20));
    QCOMPARE(P.Node[2].SweepTime, int16_t(5000));
    QTest::keyClick(C.get(), Qt::Key_Insert);
    QCOMPARE(int(P.NumNodes), 5);
    C->grab();
  }
};

GUI_TEST(Chart);
#include "tst_chart.moc"
