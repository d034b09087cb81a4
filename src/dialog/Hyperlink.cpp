// The hyperlink control.
#include "dialog/Hyperlink.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QUrl>

#include "assert/check.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"

namespace {

bool OpenWithDesktop(const QString& target) { return QDesktopServices::openUrl(QUrl(target)); }
bool (*gOpener)(const QString&) = OpenWithDesktop;

// Blue as the link colour; the underline is drawn one pixel above the
// bottom of the text.
const QColor kLinkColour(0, 0, 255);

}  // namespace

Hyperlink::Hyperlink(const QString& text, QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setCursor(Qt::ArrowCursor);
  setText(text);
}

void Hyperlink::setText(const QString& text) {
  Text = text;
  setAccessibleName(shownText());
  setAccessibleDescription(target());
  updateGeometry();
  update();
}

QString Hyperlink::shownText() const {
  qsizetype tab = Text.indexOf('\t');
  return tab < 0 ? Text : Text.left(tab);
}

QString Hyperlink::target() const {
  qsizetype tab = Text.indexOf('\t');
  return tab < 0 ? Text : Text.mid(tab + 1);
}

QSize Hyperlink::sizeHint() const {
  QFontMetrics fm(font());
  return QSize(fm.horizontalAdvance(shownText()) + 4, fm.height() + 2);
}

void Hyperlink::setOpener(bool (*opener)(const QString&)) { gOpener = opener ? opener : OpenWithDesktop; }

void Hyperlink::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QString shown = shownText().left(256);
  QFontMetrics fm(font());
  p.setPen(kLinkColour);
  p.drawText(QPoint(0, fm.ascent()), shown);
  TextWidth = fm.horizontalAdvance(shown);
  TVK_CHECK_AS(TextWidth > 0, "Size.cx>0", TextWidth);
  int height = fm.height();
  TVK_CHECK_AS(height > 0, "nHeight>0", height);
  p.drawLine(0, height - 1, TextWidth + 1, height - 1);
  if (hasFocus()) {
    QStyleOptionFocusRect o;
    o.initFrom(this);
    o.rect = QRect(0, 0, TextWidth + 2, height);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
  }
}

void Hyperlink::mouseMoveEvent(QMouseEvent* e) {
  setCursor(e->position().x() > TextWidth ? Qt::ArrowCursor : Qt::PointingHandCursor);
}

void Hyperlink::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || e->position().x() > TextWidth) return;
  launch();
}

void Hyperlink::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space) {
    launch();
    return;
  }
  QWidget::keyPressEvent(e);
}

void Hyperlink::launch() {
  QString t = target();
  setCursor(Qt::BusyCursor);
  bool ok = gOpener(t);
  setCursor(Qt::PointingHandCursor);
  if (!ok) {
    MessageBox::show(parentWidget(), strid::BrowserFailed);
    return;
  }
  emit opened(t);
}
