// The About box (dialog 40): the program's name and version in bold, and
// links to the web site and the support address. It does not count as an
// open dialog for the hand-over of imports.
#pragma once
#include "dlggen/DynDialog.h"

class Hyperlink;

class AboutDialog : public DynDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* owner);
  Hyperlink* webLink() const { return Web; }
  Hyperlink* mailLink() const { return Mail; }

  static void showAbout(QWidget* owner);

 private:
  Hyperlink* Web;
  Hyperlink* Mail;
};

// Where the links lead.
extern const char* const SONAVEL_WEB_SITE;
extern const char* const SONAVEL_SUPPORT_MAIL;
