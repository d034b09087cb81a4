// Sessions in the .sbg sequence format of the command-line generators of
// binaural beats: reading one into a preset, and writing a preset as one.
//
// Import: the session plays from its first time line to its last, as the
// generators render it. Its tone-sets become voices, noise and the
// background's volume, its time lines and change-overs curve nodes, packed
// into as few segments as fit (docs/sbg-format.md has the mapping). What has
// no counterpart in a preset (bells, spinning noise, effects on the mix,
// options about the player) is left out with a warning naming its line; a
// file that is not a session, or a session too dense for 25 segments of 100
// nodes, is refused with the line and column where it stops.
//
// Export: every curve is sampled into slides ("->") between tone-sets so that
// the generators play each parameter within 1 % of its range; what the format
// cannot say is listed in comments at the top of the file.
//
// Main thread only (the preset records and the parameter tables).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "main/model.h"

// A place in a session file and what is wrong or left out there. Line 0: the
// file as a whole.
struct SbgMessage {
  int Line = 0;
  int Column = 0;
  std::string Text;
};

struct SbgImport {
  std::vector<SbgMessage> Warnings;
  SbgMessage Error;  // why nothing was imported
  int Rate = 0;      // the session's -r (samples per second), 0 when none
};

// Whether a path names a session file (".sbg", any case).
bool IsSequenceFileName(std::string_view path);

// Reads the session in `text` into p, which must be empty: named `name`,
// with a -m background found relative to `folder`. False with out->Error
// (p left empty) when it cannot be imported.
bool ImportSessionText(std::string_view text, const std::string& name, const std::string& folder, Preset& p,
                       SbgImport* out);
// The same for a file; the preset is named after the file.
bool ImportSessionFile(const std::string& path, Preset& p, SbgImport* out);

// "FILE:LINE:COLUMN: text" (a warning: "FILE:LINE:COLUMN: warning: text").
std::string SbgMessageText(const std::string& file, const SbgMessage& m, bool warning = false);

// The session that plays preset p.
std::string SessionText(const Preset& p);
// Writes it into `path` through the safe output ("-": standard output). 0 or
// a file message id (1297, 1299, 1308, 1450).
int ExportSessionFile(const Preset& p, const std::string& path);
