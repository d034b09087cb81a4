// The warning box with "&Do not show this warning again": a string-table text
// (optionally with one %s argument) and Yes / No, or in information mode a
// single "Close". Yes returns true; No and the close box false. With the box
// ticked, Yes or No (not the close box) sets the caller's suppression flag.
//
// Tests pre-answer it with setNextAnswer (the dialog is then not shown).
// Main thread only.
#pragma once
#include <QString>
#include <cstdint>

#include "dlggen/DynDialog.h"

class QCheckBox;
class QLabel;

class WarningBox : public DynDialog {
  Q_OBJECT
 public:
  WarningBox(QWidget* owner, const QString& text, bool information);
  QCheckBox* doNotShow() const { return DoNotShow; }

  // Shows text `textId` unless *suppress is set (then returns true at once).
  static bool ask(QWidget* owner, int textId, const QString& arg, int32_t* suppress, bool information);

  enum Answer { Yes, No, Closed };
  static void setNextAnswer(Answer a, bool tick);
  static int shownCount();

 private:
  QCheckBox* DoNotShow;
  bool Answered = false;
};
