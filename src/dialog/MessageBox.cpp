// The message helper.
#include "dialog/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "dlggen/modal.h"
#include "main/strtab.h"

namespace {

std::deque<int> gNextAnswers;
QStringList gShown;
MessageBox::Icon gLastIcon = MessageBox::Warning;
int gAutoAnswer = -1;  // -1: not decided yet (the environment decides)

bool AutoAnswer() {
  if (gAutoAnswer < 0) {
    const char* env = std::getenv("SONAVEL_AUTO_ANSWER");
    gAutoAnswer = env && *env && *env != '0' ? 1 : 0;
  }
  return gAutoAnswer == 1;
}

int FirstAnswer(MessageBox::Buttons b) {
  return b == MessageBox::Ok || b == MessageBox::OkCancel ? MessageBox::AnsOk : MessageBox::AnsYes;
}

}  // namespace

int MessageBox::show(QWidget* owner, int id, std::initializer_list<MsgArg> args, Buttons buttons) {
  // A long name is shortened in the text and whole in the details.
  std::string whole;
  std::string text = FormatMsgShown(id, args, kInsertChars, &whole);
  return showText(owner, QString::fromStdString(text), buttons, 0, Warning,
                  whole == text ? QString() : QString::fromStdString(whole));
}

void MessageBox::inform(QWidget* owner, int id, std::initializer_list<MsgArg> args) {
  std::string whole;
  std::string text = FormatMsgShown(id, args, kInsertChars, &whole);
  showText(owner, QString::fromStdString(text), Ok, 0, Information,
           whole == text ? QString() : QString::fromStdString(whole));
}

int MessageBox::showText(QWidget* owner, const QString& text, Buttons buttons, int captionId, Icon icon,
                         const QString& details) {
  gShown.append(text);
  gLastIcon = icon;
  QString caption = QString::fromUtf8(GetStr(captionId ? captionId : 64));
  if (!gNextAnswers.empty()) {
    int a = gNextAnswers.front();
    gNextAnswers.pop_front();
    return a;
  }
  if (AutoAnswer()) {
    std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
    return FirstAnswer(buttons);
  }
  if (icon == Warning) QApplication::beep();
  QMessageBox box(icon == Warning       ? QMessageBox::Warning
                  : icon == Information ? QMessageBox::Information
                                        : QMessageBox::Question,
                  caption, text, QMessageBox::NoButton, owner);
  box.setObjectName(QStringLiteral("messageBox"));
  if (!details.isEmpty()) box.setDetailedText(details);
  switch (buttons) {
    case Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case YesNo:
    case YesNoDefaultNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case YesNoCancel:
    case YesNoCancelDefaultNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
  }
  box.setDefaultButton(buttons == Ok || buttons == OkCancel                           ? QMessageBox::Ok
                       : buttons == YesNoDefaultNo || buttons == YesNoCancelDefaultNo ? QMessageBox::No
                                                                                      : QMessageBox::Yes);
  int r;
  {
    ModalScope scope;
    r = box.exec();
  }
  switch (r) {
    case QMessageBox::Ok: return AnsOk;
    case QMessageBox::Yes: return AnsYes;
    case QMessageBox::No: return AnsNo;
    default:
      // The close box is Cancel, or No where there is no Cancel.
      return buttons == YesNo || buttons == YesNoDefaultNo ? AnsNo : AnsCancel;
  }
}

void MessageBox::setNextAnswer(int answer) { gNextAnswers.push_back(answer); }
void MessageBox::setAutoAnswer(bool on) { gAutoAnswer = on ? 1 : 0; }
QStringList MessageBox::shownTexts() { return gShown; }
QString MessageBox::lastText() { return gShown.isEmpty() ? QString() : gShown.back(); }
MessageBox::Icon MessageBox::lastIcon() { return gLastIcon; }
void MessageBox::clearShown() {
  gShown.clear();
  gNextAnswers.clear();
}
int MessageBox::pendingAnswers() { return static_cast<int>(gNextAnswers.size()); }
