// The dialog placement helper: a window moved to a requested position stays
// inside the screen's work area (never right of or below it, never left of
// or above its origin); a window opening without a saved placement is
// centred over its owner, and a saved placement is used only while it is
// still on a screen.
#pragma once
#include <cstdint>
#include <vector>

struct WorkArea {
  int32_t X = 0, Y = 0, W = 0, H = 0;
};

// The position a window of w x h pixels takes when asked to move to (x, y).
void KeepInWorkArea(int32_t x, int32_t y, int32_t w, int32_t h, const WorkArea& area, int32_t* outX, int32_t* outY);

// Where a window opens, without any widgets: `frame` is its frame (the
// saved position and size, or only the size); the result is the frame it
// takes. A saved frame whose top edge, where the title bar is, lies on one
// of `screens` (at least 100 pixels of it, or all of a narrower window,
// and 16 pixels down) is kept, moved inside that area; anything else is
// centred over `owner` inside `ownerArea`. A window larger than its area is
// made as large as the area.
struct OpenRequest {
  WorkArea Owner;                 // the owner's frame
  WorkArea OwnerArea;             // the available area of the owner's screen
  std::vector<WorkArea> Screens;  // the available area of every screen
  bool Saved = false;             // `frame`'s position is a saved one
};
WorkArea PlaceOpening(const OpenRequest& r, WorkArea frame);

class QWidget;
class QPoint;
struct Placement;
// Moves a top-level window to `pos` within the work area of the screen that
// holds that point (or the window's screen).
void MoveInsideScreen(QWidget* window, const QPoint& pos);
// Places a top-level window before it first shows: at `saved` (a position
// relative to the owner's and a size; X = CW_USEDEFAULT for none) while that
// is still on a screen, else centred over `owner` (the screen's middle
// without one), by PlaceOpening. The frame the window manager will add is
// taken to be the owner's.
void PlaceWindow(QWidget* window, QWidget* owner, const Placement& saved);
// The placement to save: the window's position relative to the owner's and
// its size.
Placement SavedPlacement(const QWidget* window, const QWidget* owner);
