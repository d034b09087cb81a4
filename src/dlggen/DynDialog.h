// Base of the program's dialogs: a QDialog laid out by a DynLayout from its
// template size, with a help topic that the Help button and F1 open.
//
// Main thread only.
#pragma once
#include <QDialog>
#include <QString>

#include "dlggen/DynLayout.h"

class QPushButton;
class QRadioButton;

class DynDialog : public QDialog {
  Q_OBJECT
 public:
  // `templateSize` in dialog units; `helpTopic` names the help page ("" for
  // none).
  DynDialog(QWidget* owner, QSize templateSize, const QString& helpTopic);

  DynLayout* dynLayout() const { return Layout; }
  const QString& helpTopic() const { return HelpTopic; }
  // Runs the dialog modally, counted in ModalDepth unless `counted` is false.
  int run(bool counted = true);

  // Opens a help page; the main window installs the viewer. Without one
  // nothing happens.
  static void setHelpHandler(void (*handler)(QWidget* owner, const QString& topic));
  static void showHelp(QWidget* owner, const QString& topic);

 protected:
  // A standard button placed at template coordinates.
  QPushButton* addButton(const QString& text, int x, int y, int cx = 50, int cy = 14);
  // The OK, Cancel and Help row along the bottom edge, wired to accept(),
  // reject() and this dialog's help topic; OK is the default button.
  struct ButtonRow {
    QPushButton *Ok, *Cancel, *Help;
  };
  ButtonRow addOkCancelHelp();
  // The "8" / "16" bits-per-sample pair at template (x, y), one of them
  // checked; objectNames "bits8" and "bits16".
  struct BitsChoice {
    QRadioButton *Bits8, *Bits16;
  };
  BitsChoice addBitsChoice(bool bits16, int x, int y);
  void keyPressEvent(QKeyEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  DynLayout* Layout;
  QString HelpTopic;
};
