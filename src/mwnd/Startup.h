// The program from start to exit: the single-instance rule and the hand-over
// of a second start's command line, the engine's start-up (EngineStartup)
// and the settings, the main window, the event loop, the end of the session
// and the engine's shutdown.
//
// Main thread only.
#pragma once

// Runs the program; returns its exit code (100 asks for a restart). An
// exception thrown while an event is handled never ends it: a failed
// allocation shows 1444, anything else the internal error report.
int RunProgram(int argc, char** argv);

// Whether SIGTERM, SIGINT or SIGHUP has arrived (the window closes at the
// event loop's next turn; a wait that blocks the loop gives up on it).
bool SessionEndRequested();

// Starts the program's own executable again without arguments (the exit
// code 100). Returns only when that fails.
void RestartProgram();

// Whether smooth full-screen flashing can be had (an OpenGL context can be
// created; probed once a run): the default of the UseDirectDraw setting.
bool SmoothFlashingAvailable();
// The probe's answer when it has been made, else false; never probes.
bool SmoothFlashingKnown();
// Takes `available` (0 or 1) as the probe's answer; -1 probes again (tests).
void SetSmoothFlashingAvailable(int available);
// When the settings did not hold UseDirectDraw, its default (the probe's
// answer) is taken now; it is taken once the window has painted, and before
// anything reads or writes the option (the flashing, the option dialogs,
// the settings saved).
void ResolveSmoothFlashingDefault();
