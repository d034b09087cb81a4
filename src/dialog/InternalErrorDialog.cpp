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

InternalErrorDialog::InternalErrorDialog(QWidget* owner, const QString& summary)
    : DynDialog(owner, QSize(290, 140), QString()) {
  setObjectName(QStringLiteral("internalErrorDialog"));
  setWindowTitle(tr("Internal error was detected"));
  DynLayout* l = dynLayout();
  auto* t1 = new QLabel(tr("Please report this error to the author of Sonavel. You can do this by clicking the Send "
                           "Via Internet button if you have an Internet connection open."),
                        this);
  t1->setWordWrap(true);
  l->addControl(t1, 7, 7, 1007, 26);
  auto* t2 = new QLabel(tr("If you do not have an Internet connection, click the Save As File button to save the data "
                           "to a file, and send that file by e-mail to %1.")
                            .arg(QString::fromUtf8(SONAVEL_SUPPORT_MAIL)),
                        this);
  t2->setWordWrap(true);
  l->addControl(t2, 7, 35, 1007, 26);
  Summary = new QPlainTextEdit(summary, this);
  Summary->setObjectName(QStringLiteral("summaryEdit"));
  Summary->setReadOnly(true);
  Summary->setAccessibleName(tr("Error summary"));
  l->addControl(Summary, 7, 64, 1007, 934);

  struct B {
    const char* Name;
    QString Text;
    int X;
  };
  const B buttons[] = {{"sendButton", tr("&Send Via Internet"), 7},
                       {"saveButton", tr("Save As &File"), 72},
                       {"cancelButton", tr("&Cancel"), 125},
                       {"exitButton", tr("&Exit Program"), 178},
                       {"aboutButton", tr("&About"), 231}};
  QPushButton* made[5];
  for (int i = 0; i < 5; ++i) {
    made[i] = addButton(buttons[i].Text, buttons[i].X, 1003, i == 0 ? 62 : 50, 14);
    made[i]->setObjectName(QString::fromLatin1(buttons[i].Name));
  }
  // The dialog may come up by itself after a crash: one Enter saves the file
  // (and says where); sending stays one click.
  made[1]->setDefault(true);
  connect(made[0], &QPushButton::clicked, this, &InternalErrorDialog::send);
  connect(made[1], &QPushButton::clicked, this, &InternalErrorDialog::save);
  connect(made[2], &QPushButton::clicked, this, [this] { done(Continue); });
  connect(made[3], &QPushButton::clicked, this, [this] { done(ExitProgram); });
  connect(made[4], &QPushButton::clicked, this, [this] { MessageBox::show(this, 390, {}); });
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
    MessageBox::show(this, 1449, {r.Code, r.Second});
    return;
  }
  MessageBox::show(this, 389, {});
  done(Continue);
}

void InternalErrorDialog::save() {
  std::string path = BugFilePath();
  BugFileResult r = SaveDebugRecords(path);
  if (r.Message) {
    MessageBox::show(this, r.Message, {path});
    return;
  }
  MessageBox::show(this, 391, {path, std::string(SONAVEL_SUPPORT_MAIL)});
  done(Continue);
}
