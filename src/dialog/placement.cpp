// The dialog placement helper.
#include "dialog/placement.h"

#include <QGuiApplication>
#include <QPoint>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "main/startup.h"

void KeepInWorkArea(int32_t x, int32_t y, int32_t w, int32_t h, const WorkArea& a, int32_t* outX, int32_t* outY) {
  // Right and bottom first, then left and top win for a window larger than
  // the area, so its title bar stays reachable.
  int64_t nx = std::min<int64_t>(x, int64_t(a.X) + a.W - w);
  int64_t ny = std::min<int64_t>(y, int64_t(a.Y) + a.H - h);
  *outX = static_cast<int32_t>(std::max<int64_t>(nx, a.X));
  *outY = static_cast<int32_t>(std::max<int64_t>(ny, a.Y));
}

namespace {

// How much of the strip (x, y, w, h) lies on the area.
int64_t Overlap(int64_t x, int64_t y, int64_t w, int64_t h, const WorkArea& a, int64_t* height) {
  const int64_t left = std::max<int64_t>(x, a.X), right = std::min<int64_t>(x + w, int64_t(a.X) + a.W);
  const int64_t top = std::max<int64_t>(y, a.Y), bottom = std::min<int64_t>(y + h, int64_t(a.Y) + a.H);
  *height = std::max<int64_t>(bottom - top, 0);
  return std::max<int64_t>(right - left, 0);
}

WorkArea Fit(WorkArea f, const WorkArea& area) {
  f.W = std::min(f.W, area.W);
  f.H = std::min(f.H, area.H);
  KeepInWorkArea(f.X, f.Y, f.W, f.H, area, &f.X, &f.Y);
  return f;
}

WorkArea AreaOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

WorkArea PlaceOpening(const OpenRequest& r, WorkArea frame) {
  if (r.Saved) {
    const int64_t need = std::min<int64_t>(frame.W, 100);
    for (const WorkArea& a : r.Screens) {
      int64_t down = 0;
      if (Overlap(frame.X, frame.Y, frame.W, 16, a, &down) >= need && down >= 16) return Fit(frame, a);
    }
  }
  frame.X = static_cast<int32_t>(int64_t(r.Owner.X) + (int64_t(r.Owner.W) - frame.W) / 2);
  frame.Y = static_cast<int32_t>(int64_t(r.Owner.Y) + (int64_t(r.Owner.H) - frame.H) / 2);
  return Fit(frame, r.OwnerArea);
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

void PlaceWindow(QWidget* window, QWidget* owner, const Placement& saved) {
  const bool hasSaved = saved.X != CW_USEDEFAULT;
  if (hasSaved && saved.Width > 0 && saved.Height > 0) window->resize(saved.Width, saved.Height);
  QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  OpenRequest r;
  r.OwnerArea = AreaOf(screen->availableGeometry());
  r.Owner = owner ? AreaOf(owner->frameGeometry()) : r.OwnerArea;
  for (QScreen* s : QGuiApplication::screens()) r.Screens.push_back(AreaOf(s->availableGeometry()));
  r.Saved = hasSaved;
  // The frame this window will get, as the owner has it.
  QMargins m;
  if (owner) {
    const QRect f = owner->frameGeometry(), g = owner->geometry();
    m = QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
  }
  const QPoint base = owner ? owner->pos() : QPoint(0, 0);
  WorkArea frame{hasSaved ? base.x() + saved.X : 0, hasSaved ? base.y() + saved.Y : 0,
                 window->width() + m.left() + m.right(), window->height() + m.top() + m.bottom()};
  const WorkArea placed = PlaceOpening(r, frame);
  const QSize client(placed.W - m.left() - m.right(), placed.H - m.top() - m.bottom());
  if (client != window->size()) window->resize(client.expandedTo(window->minimumSize()));
  window->move(placed.X, placed.Y);
}

Placement SavedPlacement(const QWidget* window, const QWidget* owner) {
  const QPoint rel = window->pos() - (owner ? owner->pos() : QPoint(0, 0));
  return Placement{rel.x(), rel.y(), window->width(), window->height()};
}
