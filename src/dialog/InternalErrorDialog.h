// The dialog "Internal error was detected": a plain sentence of what
// happened, the summary of the failure for the developer, and five buttons. Send Via Internet and Save As File deliver
// the kept debug records (assert/debugrec.h) and close the dialog when every record went; Cancel goes on with the
// program; Exit Program ends it with code 2; About explains what is sent. The close box and Esc are ignored: the dialog
// ends only through its buttons.
//
// Main thread only.
#pragma once
#include <string>

#include "dlggen/DynDialog.h"

class QLabel;
class QPlainTextEdit;

class InternalErrorDialog : public DynDialog {
  Q_OBJECT
 public:
  enum Result { Continue = 1, ExitProgram = 2 };
  // `cause`: one plain sentence for the user, above the summary line.
  InternalErrorDialog(QWidget* owner, const QString& summary, const QString& cause = QString());

  // Where Send Via Internet posts the records.
  static void setServer(const std::string& host, int port);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void send();
  void save();
  QPlainTextEdit* Summary;
  QLabel* Cause;
};
