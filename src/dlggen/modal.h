// Dialog creation: every modal dialog of the program runs through
// ExecDialog, which keeps the count of open modal dialogs (the About box
// excepted). The main window refuses a handed-over import while the count is
// above 0, so that no import runs underneath a dialog or a question.
//
// Main thread only.
#pragma once
class QDialog;

// Modal dialogs, message boxes and file dialogs open now (About excepted).
extern int ModalDepth;

// Raises ModalDepth for its lifetime.
struct ModalScope {
  ModalScope() { ++ModalDepth; }
  ~ModalScope() { --ModalDepth; }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
};

// Runs the dialog modally and returns its result; `counted` false for the
// About box.
int ExecDialog(QDialog* dialog, bool counted = true);
