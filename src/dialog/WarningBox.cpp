// The warning box.
#include "dialog/WarningBox.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <deque>
#include <utility>

#include "main/strtab.h"

namespace {
std::deque<std::pair<WarningBox::Answer, bool>> gNext;
int gShown = 0;

// The room the text needs, word-wrapped: lines of at most about 66
// characters (a message box's measure), wider only when the text would
// otherwise be taller than the screen. `extra` is what the box adds around
// the text, `area` the screen's available area.
QSize TextRoom(const QLabel* label, QSize extra, const QRect& area) {
  const QFontMetrics fm = label->fontMetrics();
  const QString text = label->text();
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  const int natural = fm.boundingRect(QRect(0, 0, 1000000, 1000000), Qt::AlignLeft | Qt::AlignTop, text).width();
  const int measure = std::min(fm.averageCharWidth() * 66, area.width() * 3 / 4 - extra.width());
  int width = std::max(1, std::min(natural + 1, measure));
  int height = fm.boundingRect(QRect(0, 0, width, 1000000), flags, text).height();
  // A title bar's worth and a little more stays free above and below.
  const int tallest = area.height() - extra.height() - 4 * fm.height();
  if (height > tallest) {
    width = std::max(width, area.width() - extra.width() - 2 * fm.height());
    height = fm.boundingRect(QRect(0, 0, width, 1000000), flags, text).height();
  }
  return QSize(width, height);
}

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
  // The box grows with its text; the check box and the buttons stay below
  // it.
  const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  // Beside the text: the icon's 36 units and 7; above it 7, below it 43
  // for the check box and the buttons.
  const QSize around = l->mapDialogRect(0, 0, 36 + 7, 7 + 43).size();
  const QSize room = TextRoom(label, around, area);
  const int boxWidth = DoNotShow->sizeHint().width() + around.width();
  // Two pixels for the rounding of dialog units.
  l->setMinimumClientSize(
      QSize(std::max(room.width() + around.width() + 2, boxWidth), room.height() + around.height() + 2));
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
