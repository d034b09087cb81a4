// Screen flashing in the desktop program: the colours of the playing preset
// at the visual frequency, in the main window's area below its controls
// (modes 10 and 11, 11 also on top) or over the whole screen the main
// window is on (mode 12, a frameless window on top; the main window's menu
// and toolbar are hidden meanwhile; an OpenGL window when the smooth path
// is available and "UseDirectDraw" is on). The flashing thread (visual/) decides
// what to show and when; it hands each colour to the GUI thread, which
// fills the surface.
//
// The first flashing start of a run warns about photosensitive seizures
// (1460, "DoNotShowFlashingWarning"); Esc on the full screen stops the
// playback.
//
// Main thread only.
#pragma once
#include <QWidget>

#include "main/model.h"

class MainWindow;

// Started and stopped by the main window with its playback: 0
// when the flashing started; -1 when it did not (no colours: 1322 shown;
// the warning declined), the playback going on without it.
int StartFlashing(QWidget* window, const VisOpt& colours);
void StopFlashing();

// The surface that shows the flashing (for tests): the area of the main
// window or the full-screen window; null when none flashes or the smooth
// path shows it.
QWidget* FlashingSurface();
// The OpenGL window of the smooth full-screen path; null when none shows.
class QWindow;
QWindow* FlashingSmoothWindow();
// Whether an OpenGL context swapping with the refresh can be created and
// made current here (the smooth path's availability). Needs the
// application object.
bool ProbeSmoothFlashing();
// The refresh rate of the display that flashes, in mHz; 0 when none flashes
// or the rate is unknown.
int32_t FlashingRefreshMilliHz();
// The colour index and level drawn last.
void FlashingShown(int* colour, int* level);
// Makes the next flashing start warn again, as in a new run (tests).
void ForgetFlashingWarning();
