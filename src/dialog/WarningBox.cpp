// The warning box.
#include "dialog/WarningBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <deque>
#include <utility>

#include "main/strtab.h"

namespace {
std::deque<std::pair<WarningBox::Answer, bool>> gNext;
int gShown = 0;
}  // namespace

WarningBox::WarningBox(QWidget* owner, const QString& text, bool information)
    : DynDialog(owner, QSize(260, 100), QString()) {
  setObjectName(QStringLiteral("warningBox"));
  setWindowTitle(tr("Warning"));
  DynLayout* l = dynLayout();
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  icon->setAccessibleName(tr("Warning"));
  l->addControl(icon, 7, 7, 21, 20);
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("warningText"));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  l->addControl(label, 36, 7, 981, 974);  // stretches with the box
  DoNotShow = new QCheckBox(tr("&Do not show this warning again"), this);
  DoNotShow->setObjectName(QStringLiteral("doNotShow"));
  l->addControl(DoNotShow, 36, 984, 981, 10);
  QPushButton* yes = addButton(information ? tr("Close") : tr("&Yes"), information ? 967 : 909, 1003);
  yes->setObjectName(QStringLiteral("yesButton"));
  yes->setDefault(true);
  connect(yes, &QPushButton::clicked, this, [this] {
    Answered = true;
    accept();
  });
  if (!information) {
    QPushButton* no = addButton(tr("&No"), 967, 1003);
    no->setObjectName(QStringLiteral("noButton"));
    connect(no, &QPushButton::clicked, this, [this] {
      Answered = true;
      reject();
    });
  }
}

bool WarningBox::ask(QWidget* owner, int textId, const QString& arg, int32_t* suppress, bool information) {
  if (suppress && *suppress) return true;
  ++gShown;
  Answer a;
  bool tick = false;
  if (!gNext.empty()) {
    std::tie(a, tick) = gNext.front();
    gNext.pop_front();
  } else {
    QString text = QString::fromUtf8(GetStr(textId));
    if (!arg.isNull()) text = QString::fromStdString(FormatPrintf(GetStr(textId), arg.toUtf8().constData()));
    WarningBox box(owner, text, information);
    bool yes = box.run() == QDialog::Accepted;
    a = !box.Answered ? Closed : yes ? Yes : No;
    tick = box.DoNotShow->isChecked();
  }
  if (tick && a != Closed && suppress) *suppress = 1;
  return a == Yes;
}

void WarningBox::setNextAnswer(Answer a, bool tick) { gNext.emplace_back(a, tick); }
int WarningBox::shownCount() { return gShown; }
