// The internal error report in the desktop program: a failed check on the
// GUI thread opens the dialog at once, one on another thread records at
// once and is shown on the GUI thread, the dialog's buttons, Exit Program's
// exit code, and a crash of an earlier run reported at the next start.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <thread>

#include "assert/check.h"
#include "assert/crash.h"
#include "assert/debugrec.h"
#include "dialog/InternalErrorDialog.h"
#include "dialog/MessageBox.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "mwnd/ErrorReport.h"
#include "prgdlg/PresetOptionsDialog.h"

namespace {

std::vector<std::string> TakeRecords() {
  std::vector<std::string> v;
  for (const KeptDebugRecord& r : KeptDebugRecords()) {
    v.push_back(r.Bytes);
    ReleaseDebugRecord(r);
  }
  return v;
}

int32_t Word(const std::string& r, size_t off) {
  int32_t v;
  std::memcpy(&v, r.data() + off, 4);
  return v;
}

void FailOnce(int value) { TVK_CHECK(value == 0, value); }

void ExitVia(QWidget* w, int code) { static_cast<MainWindow*>(w)->endProgram(code); }

}  // namespace

class ErrorReportTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    ClearDebugRecords();
    MessageBox::clearShown();
    W = gui::OpenMainWindow();
    InstallErrorReport(W, ExitVia);
  }
  void cleanup() {
    UninstallErrorReport();
    gui::CloseMainWindow(W);
    ClearDebugRecords();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void guiThreadCheckOpensTheDialogAndExitEndsWithTwo() {
    bool sawDialog = false;
    gui::OnDialog<InternalErrorDialog>([&](InternalErrorDialog* d) {
      sawDialog = true;
      auto* summary = d->findChild<QPlainTextEdit*>("summaryEdit");
      QVERIFY(summary && summary->isReadOnly());
      QVERIFY2(summary->toPlainText().startsWith("test 3.1.12: ") &&
                   summary->toPlainText().endsWith(", Err=0, value=7, value == 0"),
               qPrintable(summary->toPlainText()));
      for (const char* name : {"sendButton", "saveButton", "cancelButton", "exitButton", "aboutButton"}) {
        auto* b = d->findChild<QPushButton*>(name);
        QVERIFY2(b && b->isVisible() && !b->text().isEmpty(), name);
      }
      // A box that comes up by itself: one Enter must not send anything.
      QVERIFY(d->findChild<QPushButton*>("saveButton")->isDefault());
      QVERIFY(!d->findChild<QPushButton*>("sendButton")->isDefault());
      // The close box and Esc do not end it.
      d->close();
      QTest::keyClick(d, Qt::Key_Escape);
      QVERIFY(d->isVisible());
      QTest::mouseClick(d->findChild<QPushButton*>("aboutButton"), Qt::LeftButton);
      QVERIFY(MessageBox::lastText().startsWith("By clicking the Send Via Internet button"));
      QTest::mouseClick(d->findChild<QPushButton*>("exitButton"), Qt::LeftButton);
    });
    QCOMPARE(EnsureLoaded(SelProgram), 0);  // the selected preset's curves in memory
    errno = 0;
    FailOnce(7);
    QVERIFY(sawDialog);
    QVERIFY(!ErrorReportActive());
    auto recs = TakeRecords();
    QCOMPARE(recs.size(), size_t(1));
    QVERIFY(Word(recs[0], 740) > 0);  // the selected preset's image, from the GUI thread
    QCOMPARE(Word(recs[0], 352), 7);
    QTRY_COMPARE(W->quitCode(), 2);
    QTRY_VERIFY(!W->isVisible());
  }

  void otherThreadsRecordAtOnceAndOneDialogShowsLater() {
    // Two threads fail together: one record, one dialog, neither thread waits.
    std::thread a([] { FailOnce(1); });
    std::thread b([] { FailOnce(2); });
    a.join();
    b.join();
    QVERIFY(ErrorReportActive());
    QCOMPARE(DebugRecordCount(), 1);
    bool sawDialog = false;
    gui::OnDialog<InternalErrorDialog>([&](InternalErrorDialog* d) {
      sawDialog = true;
      QVERIFY(d->isModal());
      QTest::mouseClick(d->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    });
    QTRY_VERIFY(sawDialog);
    QTRY_VERIFY(!ErrorReportActive());
    auto recs = TakeRecords();
    QCOMPARE(recs.size(), size_t(1));
    QCOMPARE(Word(recs[0], 740), 0);  // no preset images off the GUI thread
    QCOMPARE(W->quitCode(), 0);
    QVERIFY(W->isVisible());
  }

  void editorsCopyIsRecordedBesideTheSelectedPreset() {
    QCOMPARE(EnsureLoaded(SelProgram), 0);
    auto failAndTake = [] {
      gui::OnDialog<InternalErrorDialog>([](InternalErrorDialog* d) {
        QTest::mouseClick(d->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
      });
      FailOnce(3);
      auto recs = TakeRecords();
      return recs.size() == 1 ? recs[0] : std::string();
    };
    std::string r;
    {
      PresetOptionsDialog editor(W, SelProgram, false);
      // An unchanged copy is left out.
      r = failAndTake();
      QVERIFY(Word(r, 740) > 0);
      QCOMPARE(Word(r, 744), -1);
      QCOMPARE(r.size(), size_t(750 + Word(r, 740)));
      // A changed one is kept after the selected preset.
      editor.prg().data.Segment[0].Length += 100;
      r = failAndTake();
      const int32_t s1 = Word(r, 740), s2 = Word(r, 744);
      QCOMPARE(s2, s1);
      QCOMPARE(r.size(), size_t(751 + s1 + s2));
      QVERIFY(r.compare(748, size_t(s1), r, size_t(748 + s1), size_t(s2)) != 0);
    }
    // No editor open: no second image.
    r = failAndTake();
    QVERIFY(Word(r, 740) > 0);
    QCOMPARE(Word(r, 744), 0);
  }

  void saveAndSendFromTheDialog() {
    QString dir = gui::NewFolder("bugdir");
    qputenv("XDG_STATE_HOME", dir.toUtf8());
    // A port nothing listens on: the upload fails and the dialog stays.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    InternalErrorDialog::setServer("127.0.0.1", ntohs(a.sin_port));
    bool sawDialog = false;
    gui::OnDialog<InternalErrorDialog>([&](InternalErrorDialog* d) {
      sawDialog = true;
      QTest::mouseClick(d->findChild<QPushButton*>("sendButton"), Qt::LeftButton);
      QVERIFY2(MessageBox::lastText().startsWith("Unable to send the debug data via Internet (error code 113/"),
               qPrintable(MessageBox::lastText()));
      QCOMPARE(MessageBox::lastIcon(), MessageBox::Warning);
      QVERIFY(d->isVisible());
      QTest::mouseClick(d->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
      QVERIFY2(MessageBox::lastText().startsWith("The debug data was saved to the file '" + dir + "/Sonavel/Bug.tvd'"),
               qPrintable(MessageBox::lastText()));
      QCOMPARE(MessageBox::lastIcon(), MessageBox::Information);
    });
    QCOMPARE(EnsureLoaded(SelProgram), 0);
    FailOnce(3);
    qunsetenv("XDG_STATE_HOME");
    QVERIFY(sawDialog);
    // The check's record and the upload's own, newest first, for the user's
    // eyes only.
    QFile f(dir + "/Sonavel/Bug.tvd");
    QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
             QFileDevice::Permissions());
    QVERIFY(f.open(QIODevice::ReadOnly));
    std::string all = f.readAll().toStdString();
    QVERIFY(all.size() > 2 * 751);
    QCOMPARE(std::string(all.data() + 372), std::string("inet"));
    QCOMPARE(Word(all, 352), int('q'));
    QCOMPARE(std::string(all.data() + 751 + 372), std::string("test"));
    QCOMPARE(all.size(), size_t(751 + 751 + Word(all, 751 + 740)));
    QCOMPARE(DebugRecordCount(), 0);
  }

  void crashOfTheLastRunIsReported() {
    QString state = gui::NewFolder("state");
    std::string folder = (state + "/Sonavel").toStdString();
    pid_t pid = ::fork();
    QVERIFY(pid >= 0);
    if (pid == 0) {
      InstallCrashHandlers(folder);
      ::raise(SIGBUS);
      ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(pid, &status, 0), pid);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS);
    std::string summary;
    int signal = 0;
    QVERIFY(TakeCrashRecord(folder, &summary, &signal));
    bool sawDialog = false;
    gui::OnDialog<InternalErrorDialog>([&](InternalErrorDialog* d) {
      sawDialog = true;
      QString text = d->findChild<QPlainTextEdit*>("summaryEdit")->toPlainText();
      QVERIFY2(text.startsWith("main 3.1.12: 1361, Err=") && text.endsWith(QString(", signal=%1, 0").arg(SIGBUS)),
               qPrintable(text));
      // Above the developer's line, what happened in words.
      QCOMPARE(
          d->findChild<QLabel*>("causeText")->text(),
          QString("The last time it ran, Sonavel stopped because of a memory access fault (signal %1).").arg(SIGBUS));
      QTest::mouseClick(d->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    });
    ShowErrorReport(QString::fromStdString(summary), signal);
    QVERIFY(sawDialog);
    QCOMPARE(DebugRecordCount(), 1);
  }

 private:
  MainWindow* W = nullptr;
};

GUI_TEST(ErrorReportTest);
#include "tst_errorreport.moc"
