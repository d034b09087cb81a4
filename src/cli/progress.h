// Progress display of the command-line tool on stderr: a bar that redraws in
// place on a terminal, plain percentage lines otherwise; Ctrl+C asks to abort.
#pragma once
#include "data/playback/playback.h"

// Installs the SIGINT handler and returns a PlaybackUi drawing on stderr.
PlaybackUi TerminalProgress();
// Ends the current bar line.
void FinishProgress();
// Whether Ctrl+C was pressed.
bool AbortRequested();
