// Standard input as a file: "-" where the command-line tool reads a preset
// file, a file of the earlier format or JSON presets. It is read once, at the
// first open, and only as far as a valid file can go, so an endless stream
// (/dev/zero, `yes`) stops early: a preset file's header, then its records as
// their size fields frame them, up to MAXPROGRAMS records of at most
// MAX_RECORD_SIZE, stopping at the end mark or at a size no record has; JSON
// text (its first character '{' or '[') up to MAX_JSON_INPUT bytes. Main thread.
#pragma once
#include <cstddef>
#include <vector>

// Largest JSON text read, from standard input or a file: many thousand
// ordinary presets, or several of the largest legal ones.
constexpr size_t MAX_JSON_INPUT = 64u << 20;

// The command-line tool allows it; in the desktop program "-" stays a name.
void AllowStandardInput(bool allow);
bool StandardInputAllowed();
// The image of standard input, read at the first call. false with errno set
// when reading failed (E2BIG: JSON text longer than MAX_JSON_INPUT).
bool StandardInputImage(const std::vector<unsigned char>** image);
