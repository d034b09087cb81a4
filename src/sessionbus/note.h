// The one line the program writes when the desktop's session bus or its
// services are missing: playback goes on as before, nothing is shown to the
// user, and only the first such note of a run is written (to stderr).
// Main thread.
#pragma once
#include <QString>

void NoteOnce(const QString& text);
// Tests: whether a note has been written, and a fresh start.
bool NoteWritten();
void ResetNote();
