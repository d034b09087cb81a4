// The internal error report dialog.
#include "dialog/InternalErrorDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "assert/bugfile.h"
#include "dialog/AboutDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "inet/upload.h"
#include "main/strtab.h"

namespace {
std::string gHost = "www.kelvadi.com";
int gPort = 80;
}  // namespace

void InternalErrorDialog::setServer(const std::string& host, int port) {
  gHost = host;
  gPort = port;
}

InternalErrorDialog::InternalErrorDialog(QWidget* owner, const QString& summary, const QString& cause)
    : DynDialog(owner, QSize(320, 164), QString()) {
  setObjectName(QStringLiteral("internalErrorDialog"));
  setWindowTitle(tr("Internal error was detected"));
  DynLayout* l = dynLayout();
  auto* t1 = new QLabel(tr("Please report this error to the author of Sonavel. You can do this by clicking the Send "
                           "Via Internet button if you have an Internet connection open."),
                        this);
  t1->setWordWrap(true);
  l->addControl(t1, 7, 7, 1010, 26);
  auto* t2 = new QLabel(tr("If you do not have an Internet connection, click the Save As File button to save the data "
                           "to a file, and send that file by e-mail to %1.")
                            .arg(QString::fromUtf8(SONAVEL_SUPPORT_MAIL)),
                        this);
  t2->setWordWrap(true);
  l->addControl(t2, 7, 35, 1010, 26);
  // What happened, in words, above the line a developer reads.
  Cause = new QLabel(cause, this);
  Cause->setObjectName(QStringLiteral("causeText"));
  Cause->setWordWrap(true);
  QFont bold = Cause->font();
  bold.setBold(true);
  Cause->setFont(bold);
  l->addControl(Cause, 7, 64, 1010, 20);
  Summary = new QPlainTextEdit(summary, this);
  Summary->setObjectName(QStringLiteral("summaryEdit"));
  Summary->setReadOnly(true);
  Summary->setAccessibleName(tr("Error summary"));
  Summary->setAccessibleDescription(cause);
  l->addControl(Summary, 7, 86, 1010, 1024 - 30 - 86);

  // Each button as wide as its text asks, with room to spare.
  struct B {
    const char* Name;
    QString Text;
    int X, W;
  };
  const B buttons[] = {{"sendButton", tr("&Send Via Internet"), 7, 74},
                       {"saveButton", tr("Save As &File"), 85, 56},
                       {"cancelButton", tr("&Cancel"), 145, 50},
                       {"exitButton", tr("&Exit Program"), 199, 60},
                       {"aboutButton", tr("&About"), 263, 50}};
  QPushButton* made[5];
  for (int i = 0; i < 5; ++i) {
    made[i] = addButton(buttons[i].Text, buttons[i].X, 1003, buttons[i].W, 14);
    made[i]->setObjectName(QString::fromLatin1(buttons[i].Name));
  }
  // The dialog may come up by itself after a crash: one Enter saves the file
  // (and says where); sending stays one click.
  made[1]->setDefault(true);
  connect(made[0], &QPushButton::clicked, this, &InternalErrorDialog::send);
  connect(made[1], &QPushButton::clicked, this, &InternalErrorDialog::save);
  connect(made[2], &QPushButton::clicked, this, [this] { done(Continue); });
  connect(made[3], &QPushButton::clicked, this, [this] { done(ExitProgram); });
  connect(made[4], &QPushButton::clicked, this, [this] { MessageBox::inform(this, 390); });
}

void InternalErrorDialog::closeEvent(QCloseEvent* e) { e->ignore(); }

void InternalErrorDialog::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) return;
  DynDialog::keyPressEvent(e);
}

void InternalErrorDialog::send() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  UploadResult r = SendDebugRecords(gHost, gPort);
  QApplication::restoreOverrideCursor();
  if (r.Code) {
    MessageBox::show(this, strid::DebugSendFailed, {r.Code, r.Second});
    return;
  }
  MessageBox::inform(this, 389);
  done(Continue);
}

void InternalErrorDialog::save() {
  std::string path = BugFilePath();
  BugFileResult r = SaveDebugRecords(path);
  if (r.Message) {
    MessageBox::show(this, r.Message, {path});
    return;
  }
  MessageBox::inform(this, 391, {path, std::string(SONAVEL_SUPPORT_MAIL)});
  done(Continue);
}
