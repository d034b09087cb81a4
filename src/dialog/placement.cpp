// The dialog placement helper.
#include "dialog/placement.h"

#include <QGuiApplication>
#include <QPoint>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void KeepInWorkArea(int32_t x, int32_t y, int32_t w, int32_t h, const WorkArea& a, int32_t* outX, int32_t* outY) {
  // Right and bottom first, then left and top win for a window larger than
  // the area, so its title bar stays reachable.
  int64_t nx = std::min<int64_t>(x, int64_t(a.X) + a.W - w);
  int64_t ny = std::min<int64_t>(y, int64_t(a.Y) + a.H - h);
  *outX = static_cast<int32_t>(std::max<int64_t>(nx, a.X));
  *outY = static_cast<int32_t>(std::max<int64_t>(ny, a.Y));
}

void MoveInsideScreen(QWidget* window, const QPoint& pos) {
  QScreen* s = QGuiApplication::screenAt(pos);
  if (!s) s = window->screen();
  if (!s) {
    window->move(pos);
    return;
  }
  QRect r = s->availableGeometry();
  QSize size = window->frameGeometry().size();
  int32_t x = 0, y = 0;
  KeepInWorkArea(pos.x(), pos.y(), size.width(), size.height(), {r.x(), r.y(), r.width(), r.height()}, &x, &y);
  window->move(x, y);
}
