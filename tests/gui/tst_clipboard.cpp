// Copy and paste in the preset editor, and JSON presets in the main window:
// a curve copied from one segment and pasted into another of another length
// (the stored nodes, the linking, one undo step), its JSON text edited and
// pasted back, another unit refused; a segment copied and pasted after the
// current one; a JSON import equal to what `sonavel-cli build` makes of the
// same file, its syntax errors in the tool's words, and a JSON export that
// the tool reads back.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <functional>

#include "chart/CurveClipboard.h"
#include "chart/ParameterChart.h"
#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "file/presetfile.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "mwnd/PresetCombo.h"
#include "presetjson/presetjson.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"

namespace {

using Dlg = PresetOptionsDialog;

constexpr int BEAT = 36, VOLUME = 39;

void Click(QWidget* d, const char* name) {
  QTest::mouseClick(d->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

void ShowTab(Dlg* d, int tab) {
  QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(tab).center());
  QCOMPARE(d->displayTab(), tab);
}

// The chart of the Sound tab's pane (0 beat, 2 volume), focused.
ParameterChart* FocusedChart(Dlg* d, int position) {
  ParameterChart* c = d->paramPage()->chart(position);
  c->setFocus(Qt::TabFocusReason);
  return c;
}

void ExpectSameNodes(const Param& got, const Param& want, bool symmetric = true) {
  QCOMPARE(got.NumNodes, want.NumNodes);
  for (int i = 0; i < want.NumNodes; ++i) {
    QCOMPARE(got.Node[i].SweepTime, want.Node[i].SweepTime);
    QCOMPARE(got.Node[i].Value, want.Node[i].Value);
    QCOMPARE(got.Node[i].Weight, want.Node[i].Weight);
    if (symmetric) QCOMPARE(got.Node[i].Symmetric, want.Node[i].Symmetric);
  }
}

QByteArray Cli(const QStringList& args, QByteArray* err = nullptr) {
  QProcess cli;
  cli.start(QStringLiteral(SONAVEL_BIN_DIR "/sonavel-cli"), args);
  if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit) return "failed";
  if (err) *err = cli.readAllStandardError();
  if (cli.exitCode() != 0 && !err) {
    qWarning("sonavel-cli %s: %s", qPrintable(args.join(' ')), cli.readAllStandardError().constData());
    return "failed";
  }
  return cli.readAllStandardOutput();
}

void WriteText(const QString& path, const QByteArray& text) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(text);
}

// Every field of a preset, as `show --json` prints it: of the store's preset
// of that name, and of record k of a preset file.
std::string StoredJson(const char* name) {
  const int i = FindPresetByName(name);
  if (i < 0 || EnsureLoaded(i) != 0) return "missing";
  return PresetToJson(Program[i]).dump(1);
}

std::string FileJson(const QString& path, int k) {
  Preset p{};
  bool notFound = false;
  if (LoadPresetAt(path.toStdString(), k, "", p, &notFound) != 0) return "unreadable";
  std::string j = PresetToJson(p).dump(1);
  FreePreset(p);
  return j;
}

// Two presets in the authoring form, one of two segments with a repeat.
const char* const kTwoPresets = R"json([
  {"Name": "Imported journey", "Segment": [
    {"Length": 3000, "Voice": [{"Binaural Beat Frequency": {"Curve": [[0, 14], [40, 6, 4], [100, 3]]}}]},
    {"Length": 1500, "Repeat": 2, "Param": {"Noise Volume": {"Easy": "Noise with half volume"}}}]},
  {"Name": "Imported short", "Segment": [{"Length": 250}]}
])json";

}  // namespace

class ClipboardTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

  // Runs f in the preset options of the selected preset, the dialog the
  // active window (offscreen, the main window may keep the activation).
  void edit(std::function<void(Dlg*)> f) {
    QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, [&](Dlg* d) {
      QApplication::setActiveWindow(d);
      QVERIFY(QTest::qWaitForWindowActive(d));
      f(d);
    }));
  }

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    MessageBox::clearShown();
    W = gui::OpenMainWindow();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void aCurvePastedIntoASegmentOfAnotherLengthIsOneUndoStep() {
    edit([](Dlg* d) {
      // A of 10 minutes, B of 25.
      Click(d, "addSegment");
      QLineEdit* length = d->generalPage()->lengthEdit();
      length->selectAll();
      QTest::keyClicks(length, "25");
      d->generalPage()->commitEdits();
      QCOMPARE(d->prg().data.Segment[1].Length, 2500);
      d->selectSegment(0);
      ShowTab(d, 1);
      // A shape of A's own: a node raised, moved later, one inserted after it.
      ParameterChart* c = FocusedChart(d, 0);
      const int nodes = SegParams(d->prg(), 0)[BEAT].NumNodes;
      QTest::keyClick(c, Qt::Key_Home);
      QTest::keyClick(c, Qt::Key_Right);
      QTest::keyClick(c, Qt::Key_Up);
      QTest::keyClick(c, Qt::Key_Right, Qt::ShiftModifier);
      QTest::keyClick(c, Qt::Key_Insert);
      const Param a = SegParams(d->prg(), 0)[BEAT];
      QCOMPARE(a.NumNodes, nodes + 1);
      QTest::keyClick(c, Qt::Key_C, Qt::ControlModifier);
      const QMimeData* m = QApplication::clipboard()->mimeData();
      QVERIFY(m->hasFormat(QString::fromLatin1(CurveClipboard::kMimeType)));
      QVERIFY(m->text().contains(QStringLiteral("\"Binaural Beat Frequency\"")));
      const QString copiedText = m->text();

      QTest::keyClick(c, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(d->currentSegment(), 1);
      Preset before{};
      CopyPreset(before, d->prg());
      QTest::keyClick(FocusedChart(d, 0), Qt::Key_V, Qt::ControlModifier);
      // The same nodes: times are fractions of the segment, so the shape
      // fills 25 minutes as it filled 10.
      ExpectSameNodes(SegParams(d->prg(), 1)[BEAT], a);
      QCOMPARE(d->prg().data.Segment[1].Length, 2500);
      // Linked: A now ends where the pasted curve starts.
      QCOMPARE(SegParams(d->prg(), 0)[BEAT].Node[a.NumNodes - 1].Value, a.Node[0].Value);
      QTest::keyClick(d->tabs(), Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(ComparePresets(d->prg(), before), 0);
      FreePreset(before);

      // The text alone (as from a text editor) pastes the same curve.
      QApplication::clipboard()->setText(copiedText);
      QTest::keyClick(FocusedChart(d, 0), Qt::Key_V, Qt::ControlModifier);
      ExpectSameNodes(SegParams(d->prg(), 1)[BEAT], a, false);
      // Edited by hand: its values in hertz, times in percent.
      QApplication::clipboard()->setText(QStringLiteral(
          R"({"Segment": [{"Voice": [{"Binaural Beat Frequency": {"Curve": [[0, 4], [30, 12.5, 15], [100, 8]]}}]}]})"));
      QTest::keyClick(FocusedChart(d, 0), Qt::Key_V, Qt::ControlModifier);
      const Param& b = SegParams(d->prg(), 1)[BEAT];
      QCOMPARE(b.NumNodes, 3);
      QCOMPARE(b.Node[1].SweepTime, 3000);
      QCOMPARE(b.Node[1].Value, 12500);
      QCOMPARE(b.Node[1].Weight, 15);
      QCOMPARE(b.Node[2].Value, 8000);
      // Text that is not a curve says where it goes wrong.
      QApplication::clipboard()->setText(QStringLiteral("{\"Segment\": [\n  {\"Voice\": [}]}"));
      QTest::keyClick(FocusedChart(d, 0), Qt::Key_V, Qt::ControlModifier);
      QVERIFY2(MessageBox::lastText().contains(QStringLiteral("line 2, column 14")),
               qPrintable(MessageBox::lastText()));

      // Hertz do not go into a volume.
      QTest::keyClick(FocusedChart(d, 0), Qt::Key_C, Qt::ControlModifier);
      QComboBox* easy = d->paramPage()->easyBox(2);
      easy->setCurrentIndex(easy->findData(0));
      emit easy->activated(easy->currentIndex());
      Preset unit{};
      CopyPreset(unit, d->prg());
      QTest::keyClick(FocusedChart(d, 2), Qt::Key_V, Qt::ControlModifier);
      QVERIFY2(MessageBox::lastText().contains(QStringLiteral("cannot be pasted into Sound Volume")),
               qPrintable(MessageBox::lastText()));
      QCOMPARE(ComparePresets(d->prg(), unit), 0);
      FreePreset(unit);
    });
  }

  void aSegmentPastedAfterTheCurrentOne() {
    edit([](Dlg* d) {
      Click(d, "addSegment");
      d->selectSegment(0);
      ShowTab(d, 1);
      ParameterChart* c = FocusedChart(d, 0);
      QTest::keyClick(c, Qt::Key_Home);
      QTest::keyClick(c, Qt::Key_Right);
      QTest::keyClick(c, Qt::Key_Down);
      const Param a = SegParams(d->prg(), 0)[BEAT];
      ShowTab(d, 0);
      QTreeWidget* list = d->generalPage()->segmentList();
      list->setFocus();
      QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
      QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
      QCOMPARE(d->prg().data.NumSegments, 3);
      QCOMPARE(d->currentSegment(), 1);
      QCOMPARE(list->topLevelItemCount(), 3);
      QCOMPARE(QString::fromLatin1(d->prg().data.Segment[1].Name), QStringLiteral("C"));
      // The copy's inside is A's; its end meets the segment after it.
      const Param& copy = SegParams(d->prg(), 1)[BEAT];
      QCOMPARE(copy.Node[1].Value, a.Node[1].Value);
      QCOMPARE(copy.Node[a.NumNodes - 1].Value, SegParams(d->prg(), 2)[BEAT].Node[0].Value);
      QCOMPARE(SegParams(d->prg(), 1)[VOLUME].EasySel, SegParams(d->prg(), 0)[VOLUME].EasySel);
      QTest::keyClick(d->tabs(), Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(d->prg().data.NumSegments, 2);
      QCOMPARE(list->topLevelItemCount(), 2);
    });
  }

  void jsonImportIsWhatTheToolBuildsAndExportReadsBack() {
    const QString work = gui::NewFolder("json");
    const QString json = work + "/two.json", built = work + "/two.tvk";
    WriteText(json, kTwoPresets);
    FileDialog::setNextFileName(json);
    W->actions().Import->trigger();
    QCOMPARE(MessageBox::lastText(), QString("2 presets were successfully imported."));
    QCOMPARE(W->presetList()->currentText(), QString("Imported journey"));
    QCOMPARE(Cli({"build", json, "-o", built}), QByteArray());
    for (int k = 0; k < 2; ++k)
      QCOMPARE(StoredJson(k == 0 ? "Imported journey" : "Imported short"), FileJson(built, k));

    // A syntax error reads as the tool reports it.
    const QString broken = work + "/broken.json";
    WriteText(broken, "[\n  {\"Name\": \"x\",\n   \"Segment\": [}\n]\n");
    QByteArray err;
    Cli({"build", broken, "-o", work + "/broken.tvk"}, &err);
    QVERIFY(err.contains("line 3, column"));
    FileDialog::setNextFileName(broken);
    W->actions().Import->trigger();
    QCOMPARE(MessageBox::lastText(), QString::fromUtf8(err).trimmed());

    // Export as JSON: the tool builds the same preset from it.
    const QString exported = work + "/exported.json", rebuilt = work + "/rebuilt.tvk";
    FileDialog::setNextFileName(exported);
    W->actions().Export->trigger();
    QCOMPARE(MessageBox::lastText(), QString("The preset was successfully exported to a file."));
    QCOMPARE(Cli({"build", exported, "-o", rebuilt}), QByteArray());
    QCOMPARE(FileJson(rebuilt, 0), StoredJson("Imported journey"));
  }

  // JSON text of the background's parameter is read in the row of the preset
  // it is pasted into: values, decimals and unit of that row.
  void aJsonCurveIsReadInTheRowOfItsBackground() {
    const BackgroundParamRow none;  // 0..100 %, 2 decimals
    BackgroundParamRow library;     // a library's own parameter: 0..50 s, 1 decimal
    library.Row = ParamDefSpare[1];
    library.Row.Name = 0;
    library.Row.Digits = 1;
    library.Row.Max = 50;
    struct Case {
      const BackgroundParamRow* Bg;
      int32_t First, Last;  // stored values of 5 and 20
    };
    const Case cases[] = {{&none, 500, 2000}, {&library, 50, 200}};
    const auto j = nlohmann::json::parse(R"({"Background Param": {"Curve": [[0, 5], [100, 20]]}})");
    for (const Case& c : cases) {
      CurveClip clip;
      std::string why;
      QVERIFY2(CurveClipFromJson(*c.Bg, j, &clip, &why), why.c_str());
      QCOMPARE(clip.ParamNum, int(PN_BGPARAM));
      QCOMPARE(clip.Digits, c.Bg->Row.Digits);
      QCOMPARE(clip.Unit, c.Bg->Row.Unit);
      QCOMPARE(clip.NumNodes, 2);
      QCOMPARE(clip.Nodes[0].Value, c.First);
      QCOMPARE(clip.Nodes[1].Value, c.Last);
    }
  }
};

GUI_TEST(ClipboardTest);
#include "tst_clipboard.moc"
