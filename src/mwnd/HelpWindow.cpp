// The help window.
#include "mwnd/HelpWindow.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "dlggen/DynDialog.h"

namespace {
QPointer<HelpWindow> gWindow;

QUrl TopicUrl(const QString& topic) { return QUrl(QStringLiteral("qrc:/help/%1.html").arg(topic)); }
}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QDialog(owner, Qt::Window) {
  setObjectName(QStringLiteral("helpWindow"));
  setWindowTitle(tr("Sonavel Help"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(620, 520);
  auto* l = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* contents = new QPushButton(tr("&Contents"), this);
  contents->setObjectName(QStringLiteral("helpContents"));
  auto* back = new QPushButton(tr("&Back"), this);
  back->setObjectName(QStringLiteral("helpBack"));
  auto* closeButton = new QPushButton(tr("Close"), this);
  closeButton->setObjectName(QStringLiteral("helpClose"));
  bar->addWidget(contents);
  bar->addWidget(back);
  bar->addStretch(1);
  bar->addWidget(closeButton);
  l->addLayout(bar);
  Browser = new QTextBrowser(this);
  Browser->setObjectName(QStringLiteral("helpBrowser"));
  Browser->setAccessibleName(tr("Help page"));
  Browser->setOpenExternalLinks(true);
  Browser->setSearchPaths({QStringLiteral(":/help")});
  l->addWidget(Browser, 1);
  connect(contents, &QPushButton::clicked, this, [this] { Browser->setSource(TopicUrl(QStringLiteral("index"))); });
  connect(back, &QPushButton::clicked, Browser, &QTextBrowser::backward);
  connect(Browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  back->setEnabled(false);
}

QString HelpWindow::topic() const {
  QString name = Browser->source().fileName();
  return name.endsWith(QStringLiteral(".html")) ? name.chopped(5) : name;
}

bool HelpWindow::hasTopic(const QString& topic) { return QFile::exists(QStringLiteral(":/help/%1.html").arg(topic)); }

void HelpWindow::showTopic(QWidget* owner, const QString& topic) {
  // Opened from a modal dialog, the window belongs to that dialog, or the
  // dialog's modality would keep it from taking input.
  QWidget* parent = owner ? owner->window() : nullptr;
  if (gWindow && gWindow->parentWidget() != parent) {
    gWindow->close();
    gWindow = nullptr;
  }
  if (!gWindow) gWindow = new HelpWindow(parent);
  gWindow->Browser->setSource(TopicUrl(hasTopic(topic) ? topic : QStringLiteral("index")));
  gWindow->show();
  gWindow->raise();
  gWindow->activateWindow();
}

HelpWindow* HelpWindow::instance() { return gWindow; }

void HelpWindow::closeAll() {
  if (gWindow) gWindow->close();
}
