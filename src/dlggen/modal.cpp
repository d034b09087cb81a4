// The count of open modal dialogs.
#include "dlggen/modal.h"

#include <QDialog>

int ModalDepth = 0;

int ExecDialog(QDialog* dialog, bool counted) {
  if (!counted) return dialog->exec();
  ModalScope scope;
  return dialog->exec();
}
