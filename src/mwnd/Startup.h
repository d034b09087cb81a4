// The program from start to exit: the single-instance rule and the hand-over
// of a second start's command line, the set-up of the engine and the
// settings, the main window, the event loop, and the end of the session.
//
// Main thread only.
#pragma once

// Runs the program; returns its exit code (100 asks for a restart).
int RunProgram(int argc, char** argv);

// Starts the program's own executable again without arguments (the exit
// code 100). Returns only when that fails.
void RestartProgram();

// Engine set-up shared by the program and its tests: parameter tables,
// preset array, background table, synthesis tables, the background
// libraries next to the program, the store's hooks. Once per process.
void StartEngine();

// Whether smooth full-screen flashing can be had (an OpenGL library is
// installed): the default of the UseDirectDraw setting.
bool SmoothFlashingAvailable();
