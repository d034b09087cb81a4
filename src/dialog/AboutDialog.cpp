// The About box.
#include "dialog/AboutDialog.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "dialog/Hyperlink.h"
#include "main/strtab.h"

const char* const SONAVEL_WEB_SITE = "https://www.kelvadi.com/sonavel/";
const char* const SONAVEL_SUPPORT_MAIL = "support@kelvadi.com";

AboutDialog::AboutDialog(QWidget* owner) : DynDialog(owner, QSize(200, 90), QStringLiteral("about")) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(tr("About Sonavel"));
  DynLayout* l = dynLayout();
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/sonavel.svg")).pixmap(32, 32));
  icon->setAccessibleName(QString::fromUtf8(GetStr(64)));
  l->addControl(icon, 7, 7, 21, 20);
  auto* name = new QLabel(QString::fromStdString(FormatPrintf("Sonavel v. %d.%d.%d", 3, 1, 12)), this);
  name->setObjectName(QStringLiteral("versionLabel"));
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  l->addControl(name, 36, 9, 981, 10);
  Web = new Hyperlink(QStringLiteral("%1\t%1").arg(QString::fromUtf8(SONAVEL_WEB_SITE)), this);
  Web->setObjectName(QStringLiteral("webLink"));
  l->addControl(Web, 36, 26, 981, 10);
  Mail = new Hyperlink(QStringLiteral("%1\tmailto:%1").arg(QString::fromUtf8(SONAVEL_SUPPORT_MAIL)), this);
  Mail->setObjectName(QStringLiteral("mailLink"));
  l->addControl(Mail, 36, 40, 981, 10);
  QPushButton* ok = addButton(tr("OK"), 967, 1003);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::showAbout(QWidget* owner) {
  AboutDialog d(owner);
  d.run(false);
}
