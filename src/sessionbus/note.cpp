#include "sessionbus/note.h"

#include <cstdio>

namespace {
bool gWritten = false;
}

void NoteOnce(const QString& text) {
  if (gWritten) return;
  gWritten = true;
  std::fprintf(stderr, "Sonavel: %s\n", text.toLocal8Bit().constData());
}

bool NoteWritten() { return gWritten; }
void ResetNote() { gWritten = false; }
