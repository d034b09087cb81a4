// The main window at start and in its refusals: which preset is selected,
// the list and its icons, the state of menus and toolbar, the keyboard, a
// second instance's refusals, the hand-over, the settings at close, and a
// close asked for during long work.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "dialog/MessageBox.h"
#include "dialog/PresetNameDialog.h"
#include "dlggen/modal.h"
#include "file/fileformat.h"
#include "file/store.h"
#include "file/storeint.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "mwnd/HelpWindow.h"
#include "mwnd/PresetCombo.h"
#include "mwnd/ProgressLine.h"
#include "reg/regstore.h"
#include "reg/settings.h"

namespace {

QToolButton* ToolButton(MainWindow* w, const char* action) {
  auto* bar = w->findChild<QToolBar*>("toolBar");
  return qobject_cast<QToolButton*>(bar->widgetForAction(w->findChild<QAction*>(action)));
}

QString SettingsFile() { return OpenSettingsStore()->fileName(); }

// A store of the earlier format is converted while the window starts,
// under the progress line. The stand-in conversion reports as the real one
// does and asks for the close half-way: by the user, or by the session's
// end. The file itself only has its version put back.
struct SlowConversion {
  static inline bool SessionEnd = false;
  static inline QString Path;
  static int Run(StoreUi* ui) {
    ui->Progress(ui->Ctx, 89, 0, 1000);
    MainWindow* w = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<MainWindow*>(t)) w = m;
    if (!w || !w->progressLine()->active()) return FMSG_NOT_VALID;
    if (SessionEnd)
      w->closeForSessionEnd();
    else
      w->close();
    ui->Progress(ui->Ctx, 89, 500, 1000);  // the work goes on meanwhile
    if (!SetVersion(FILE_VERSION)) return FMSG_WRITE_FAILED;
    ui->Progress(ui->Ctx, 89, 1000, 1000);
    return 0;
  }
  static bool SetVersion(int32_t v) {
    QFile f(Path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(128)) return false;
    const char le[4] = {static_cast<char>(v), 0, 0, 0};
    return f.write(le, 4) == 4;
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    QFile::remove(SettingsFile());
    gui::TakeCheckFailures();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void startsWithTheBuiltInsAndTheSavedSelection() {
    Cfg.SelectedPreset = "builtin: sleep";  // the first entry beginning with it
    W = gui::OpenMainWindow();
    PresetCombo* list = W->presetList();
    QCOMPARE(list->count(), 28);
    QCOMPARE(list->currentText(), QString("BUILTIN: Sleep 1 (falling asleep)"));
    QCOMPARE(QString::fromUtf8(Program[SelProgram].Name), list->currentText());
    for (int i = 1; i < list->count(); ++i)
      QVERIFY(list->itemText(i - 1).compare(list->itemText(i), Qt::CaseInsensitive) <= 0);
    // Idle: Stop and Freeze grayed, Freeze hidden, Save grayed, New enabled.
    const MainActions& a = W->actions();
    QVERIFY(a.Play->isEnabled() && !a.Stop->isEnabled() && !a.Freeze->isEnabled());
    QVERIFY(a.ToolPlay->isVisible() && !a.ToolFreeze->isVisible() && !a.ToolStop->isEnabled());
    QVERIFY(!a.Save->isEnabled() && a.New->isEnabled());
    QVERIFY(a.ShowParams->isChecked() && a.VisNone->isChecked());
    QCOMPARE(W->statusText()->text(), QString("Not playing"));
    QVERIFY(W->statusText()->isVisible());
    // Every toolbar control can be named by a screen reader.
    for (QToolButton* b : W->findChildren<QToolButton*>())
      if (b->isVisible() && b->defaultAction()) QVERIFY(!b->defaultAction()->text().isEmpty());
    QCOMPARE(list->accessibleName(), QString("Preset name"));
  }

  void unknownOrMissingNamesFallBack() {
    Cfg.SelectedPreset = "No such preset";
    W = gui::OpenMainWindow();
    QCOMPARE(W->presetList()->currentIndex(), 0);
    gui::CloseMainWindow(W);
    StartRequest start;
    start.HasLoadName = true;
    start.LoadName = "Nothing like it";
    W = gui::OpenMainWindow(start);
    QCOMPARE(MessageBox::lastText(), QString("Preset Nothing like it was not found."));
    QVERIFY(!W->playing());
  }

  void listIconsFollowTheState() {
    W = gui::OpenMainWindow();
    PresetListModel* m = W->presetList()->presets();
    int schedules = 0;
    for (int r = 0; r < m->rowCount(); ++r) {
      int index = m->data(m->index(r), PresetIndexRole).toInt();
      int icon = m->data(m->index(r), PresetIconRole).toInt();
      QCOMPARE(icon, Program[index].IsSchedule ? int(ICON_SCHEDULE) : int(ICON_NONE));
      schedules += Program[index].IsSchedule;
    }
    // A change through the editor marks the selected entry.
    W->setPresetEditor([](QWidget*, int index, bool* renamed) {
      *renamed = false;
      Program[index].data.Segment[0].Repeat++;
      return 2;
    });
    W->actions().PresetOptions->trigger();
    QCOMPARE(W->waveOptChanged(), 1);
    int pos = W->presetList()->currentIndex();
    QCOMPARE(m->data(m->index(pos), PresetIconRole).toInt(),
             Program[SelProgram].IsSchedule ? int(ICON_SCHEDULE_MODIFIED) : int(ICON_MODIFIED));
    QVERIFY(W->actions().Save->isEnabled() && !W->actions().New->isEnabled());
    MessageBox::setNextAnswer(MessageBox::AnsNo);  // the question at close
  }

  void keyboardAndToolbarReachTheCommands() {
    W = gui::OpenMainWindow();
    W->activateWindow();
    int opened = 0;
    W->setPresetEditor([](QWidget*, int, bool* renamed) {
      *renamed = false;
      return 0;
    });
    // Ctrl+N runs the editor on a new preset; cancelled, it goes again.
    int count = W->presetList()->count();
    QTest::keyClick(W, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(W->presetList()->count(), count);
    // F1 and the toolbar's help open the contents; Ctrl+O the editor.
    QTest::keyClick(W, Qt::Key_F1);
    QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
    QCOMPARE(HelpWindow::instance()->topic(), QString("index"));
    HelpWindow::closeAll();
    W->setPresetEditor([](QWidget*, int, bool* renamed) {
      *renamed = false;
      return 1;
    });
    QTest::keyClick(W, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(W->waveOptChanged(), 0);
    (void)opened;
    // Ctrl+D asks before deleting; No keeps the preset.
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    QTest::keyClick(W, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(MessageBox::lastText().startsWith("Are you sure you want to delete the built-in preset"));
    QCOMPARE(W->presetList()->count(), count);
    QTest::mouseClick(ToolButton(W, "toolHelp"), Qt::LeftButton);
    QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
    HelpWindow::closeAll();
  }

  // F1 on an item of an open menu opens that command's page (its title
  // the command's name), closing the menu; Help Topics opens the contents.
  void f1OnAMenuItemOpensItsCommandsPage() {
    W = gui::OpenMainWindow();
    int items = 0;
    for (QAction* top : W->menuBar()->actions()) {
      QMenu* menu = top->menu();
      QVERIFY(menu);
      for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        ++items;
        // A disabled item takes no highlight; its page is the same.
        const bool enabled = a->isEnabled();
        a->setEnabled(true);
        HelpWindow::closeAll();
        menu->popup(W->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_F1);
        QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
        QVERIFY(!menu->isVisible());
        // "Save &As..." is "Save As", "&Play\tAlt+P" is "Play".
        QString name = a->text().section('\t', 0, 0).remove('&');
        if (name.endsWith(QStringLiteral("..."))) name.chop(3);
        const QString title = HelpWindow::instance()->browser()->documentTitle();
        if (a == W->actions().Help)
          QCOMPARE(HelpWindow::instance()->topic(), QString("index"));
        else
          QVERIFY2(title.startsWith(name), qPrintable(name + " opened " + title));
        a->setEnabled(enabled);
      }
    }
    QVERIFY(items >= 24);
    HelpWindow::closeAll();
  }

  void secondInstanceRefusesChanges() {
    StartRequest start;
    start.AnotherInstance = true;
    W = gui::OpenMainWindow(start);
    const MainActions& a = W->actions();
    for (QAction* act : {a.New, a.SaveAs, a.Delete, a.Import, a.PresetOptions}) {
      MessageBox::clearShown();
      act->trigger();
      QCOMPARE(MessageBox::shownTexts().size(), 1);
      QVERIFY2(MessageBox::lastText().startsWith("Another copy of Sonavel was running before this one"),
               qPrintable(act->objectName()));
    }
    // A second instance changes nothing on disk.
    QCOMPARE(W->handOver("/nonexistent.tvk"), 0);
    QTRY_VERIFY(MessageBox::lastText().startsWith("Another copy of Sonavel"));
  }

  void handOverIsRefusedWhileADialogIsOpen() {
    W = gui::OpenMainWindow();
    int answer = -1;
    gui::OnDialog<PresetNameDialog>([&answer](PresetNameDialog* d) {
      answer = qobject_cast<MainWindow*>(d->parentWidget())->handOver("/tmp/x.tvk");
      QTest::keyClick(d, Qt::Key_Escape);
    });
    W->actions().SaveAs->trigger();
    QCOMPARE(answer, 1);
    QCOMPARE(ModalDepth, 0);
    // With nothing open an empty request only brings the window up.
    QCOMPARE(W->handOver(QString()), 0);
  }

  void settingsAreWrittenAtCloseAndReadBack() {
    // A fresh user has no settings file until the first close.
    QVERIFY(!QFile::exists(SettingsFile()));
    W = gui::OpenMainWindow();
    W->presetList()->setCurrentIndex(3);
    Q_EMIT W->presetList()->activated(3);
    QString chosen = W->presetList()->currentText();
    W->actions().ShowParams->trigger();
    QVERIFY(!W->statusText()->isVisible());
    W->actions().VisAudioStrobe->trigger();
    W->close();
    QVERIFY(QFile::exists(SettingsFile()));
    Settings s;
    DefaultSettings(s, false);
    LoadSettings(s, *OpenSettingsStore(), nullptr);
    QCOMPARE(QString::fromStdString(s.SelectedPreset), chosen);
    QCOMPARE(s.ShowParams, 0);
    QCOMPARE(s.VisualOutput, 1);
    QCOMPARE(s.Main.Width, W->width());
  }

  void discardingANewPresetAtCloseKeepsTheSelectedName() {
    {
      auto st = OpenSettingsStore();
      Settings s;
      DefaultSettings(s, false);
      std::string name = "BUILTIN: Energy";
      SaveSettings(s, &name, *st);
    }
    W = gui::OpenMainWindow();
    W->setPresetEditor([](QWidget*, int, bool* renamed) {
      *renamed = false;
      return 2;
    });
    W->actions().New->trigger();
    QCOMPARE(W->waveOptChanged(), 4);
    QCOMPARE(W->presetList()->currentText(), QString(" <new>"));
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    W->close();
    QVERIFY(MessageBox::lastText().contains("This preset has never been saved before"));
    Settings s;
    DefaultSettings(s, false);
    LoadSettings(s, *OpenSettingsStore(), nullptr);
    QCOMPARE(QString::fromStdString(s.SelectedPreset), QString("BUILTIN: Energy"));
  }

  // A close asked for while long work shows the progress line waits for the
  // work, then is carried out: a plain close after the dialog the work's end
  // opened is answered, the session's end without an answer.
  void closeDuringLongWorkFollowsItsEnd_data() {
    QTest::addColumn<bool>("sessionEnd");
    QTest::addColumn<bool>("messageAfter");
    QTest::newRow("close") << false << false;
    QTest::newRow("session end") << true << false;
    QTest::newRow("close, then a message") << false << true;
    QTest::newRow("session end, then a message") << true << true;
  }
  void closeDuringLongWorkFollowsItsEnd() {
    QFETCH(bool, sessionEnd);
    QFETCH(bool, messageAfter);
    QString dir = gui::FreshStore();
    QCOMPARE(LoadAllPresets(nullptr), 0);  // the built-ins, as the window's first start writes them
    UnloadAllPresets();
    SlowConversion::SessionEnd = sessionEnd;
    SlowConversion::Path = dir + "/Presets.tvk";
    QVERIFY(SlowConversion::SetVersion(OLD_FILE_VERSION));
    auto* const conversion = StoreConvertOldStore;
    StoreConvertOldStore = SlowConversion::Run;
    MessageBox::setAutoAnswer(false);
    struct Restore {
      decltype(StoreConvertOldStore) Conversion;
      ~Restore() {
        StoreConvertOldStore = Conversion;
        MessageBox::setAutoAnswer(true);
      }
    } restore{conversion};
    // A message the work's end opens: the preset asked for is not there.
    StartRequest start;
    start.HasLoadName = messageAfter;
    start.LoadName = "No such preset";
    bool openWhileAsked = false, answeredHere = false;
    QObject guard;
    if (messageAfter && !sessionEnd)
      gui::OnModal([&](QWidget* box) {
        openWhileAsked = W && W->isVisible();
        QTest::keyClick(box, Qt::Key_Return);
      });
    if (messageAfter && sessionEnd)
      QTimer::singleShot(3000, &guard, [&] {
        // Nobody answers at the session's end: only a lost close leaves it.
        if (QWidget* box = QApplication::activeModalWidget()) {
          answeredHere = true;
          QTest::keyClick(box, Qt::Key_Return);
        }
      });
    W = new MainWindow(start);
    W->resize(528, 150);
    W->show();
    QTRY_VERIFY(W->listReady());
    QTRY_VERIFY(!W->isVisible());
    QVERIFY(!W->progressLine()->active());
    QCOMPARE(MessageBox::shownTexts().contains("Preset No such preset was not found."), messageAfter);
    if (messageAfter && !sessionEnd) QVERIFY(openWhileAsked);  // the close waited for the answer
    QVERIFY(!answeredHere);
    QCOMPARE(ModalDepth, 0);
  }

  // A close from outside (the desktop's Quit) while a dialog is open
  // waits for the dialog, and goes once it is answered.
  void closeDuringADialogWaitsForIt() {
    W = gui::OpenMainWindow();
    bool stayed = false;
    gui::OnDialog<PresetNameDialog>([&](PresetNameDialog* d) {
      W->close();
      stayed = W->isVisible() && d->isVisible();
      QTest::keyClick(d, Qt::Key_Escape);
    });
    W->actions().SaveAs->trigger();
    QVERIFY(stayed);
    QTRY_VERIFY(!W->isVisible());
  }

  void corruptStoreQuitsWithItsMessage() {
    QString dir = gui::FreshStore();
    QFile f(dir + "/Presets.tvk");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a preset file at all, not even close to one");
    f.close();
    QByteArray before = [&] {
      QFile g(dir + "/Presets.tvk");
      g.open(QIODevice::ReadOnly);
      return g.readAll();
    }();
    auto* w = new MainWindow(StartRequest());
    w->show();
    QTRY_VERIFY(!MessageBox::shownTexts().isEmpty());
    QVERIFY(MessageBox::lastText().contains(dir + "/Presets.tvk"));
    QTRY_VERIFY(!w->isVisible());
    delete w;
    QFile g(dir + "/Presets.tvk");
    QVERIFY(g.open(QIODevice::ReadOnly));
    QCOMPARE(g.readAll(), before);  // nothing lost on disk
  }
};

GUI_TEST(MainWindowTest);
#include "tst_mainwindow.moc"
