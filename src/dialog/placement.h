// The dialog placement helper: a window moved to a requested position stays
// inside the screen's work area (never right of or below it, never left of
// or above its origin).
#pragma once
#include <cstdint>

struct WorkArea {
  int32_t X = 0, Y = 0, W = 0, H = 0;
};

// The position a window of w x h pixels takes when asked to move to (x, y).
void KeepInWorkArea(int32_t x, int32_t y, int32_t w, int32_t h, const WorkArea& area, int32_t* outX, int32_t* outY);

class QWidget;
class QPoint;
// Moves a top-level window to `pos` within the work area of the screen that
// holds that point (or the window's screen).
void MoveInsideScreen(QWidget* window, const QPoint& pos);
