// The message helper: every refusal, error, question and notice of the
// program is shown here, with the caption "Sonavel" (or a caption from the
// string table); warnings with the warning icon and the warning beep, news
// and questions with their own icons.
//
// Tests pre-answer boxes with setNextAnswer (the box is then not shown) and
// read what would have been shown with shownTexts() and lastIcon(). With auto-answer on
// (setAutoAnswer, or SONAVEL_AUTO_ANSWER=1 in the environment for programs
// driven by scripts) a box that has no pre-set answer is not shown either:
// its text goes to standard error and the first button is the answer.
//
// Main thread only.
#pragma once
#include <QString>
#include <QStringList>
#include <cstddef>
#include <initializer_list>

#include "platform/msgfmt.h"

class QWidget;

class MessageBox {
 public:
  // The DefaultNo forms make No the default button, for questions where
  // Enter must not choose the change.
  enum Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo, YesNoCancelDefaultNo };
  enum Answer { AnsOk = 1, AnsCancel = 2, AnsYes = 6, AnsNo = 7 };
  enum Icon { Warning, Information, Question };

  // Text inserts longer than this are shortened in the middle.
  static constexpr size_t kInsertChars = 100;

  // String-table message `id` formatted FormatMessage-style (%1, %2!d!);
  // text inserts on one line (control characters escaped) and at most
  // kInsertChars long, the whole text then in the box's details.
  static int show(QWidget* owner, int id, std::initializer_list<MsgArg> args = {}, Buttons buttons = Ok);
  // The same for news that is no warning (an export done, thanks for a
  // report): the information icon, OK, and no warning beep.
  static void inform(QWidget* owner, int id, std::initializer_list<MsgArg> args = {});
  // A text already formatted; captionId 0 is "Sonavel".
  static int showText(QWidget* owner, const QString& text, Buttons buttons = Ok, int captionId = 0, Icon icon = Warning,
                      const QString& details = QString());

  // --- Tests ---------------------------------------------------------------
  static void setNextAnswer(int answer);
  static void setAutoAnswer(bool on);
  static QStringList shownTexts();
  static QString lastText();
  static Icon lastIcon();
  static void clearShown();
  static int pendingAnswers();
};
