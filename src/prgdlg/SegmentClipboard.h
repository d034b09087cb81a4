// Copied segments on the system clipboard: the program's own type
// (application/x-sonavel-segment: a preset file image of one preset holding
// the segment, read back with every check of the file reader) beside JSON
// text (that preset in the form `sonavel-cli show --json` prints and `build`
// reads), which a person can edit and paste back.
//
// The preset carries the background of the one copied from, so that a
// segment pasted into a preset of another background can have its
// background parameter rescaled.
//
// Main thread only.
#pragma once
#include <QString>

#include "main/model.h"

namespace SegmentClipboard {

extern const char* const kMimeType;

// Puts segment s of p on the clipboard in both forms.
void put(const Preset& p, int s);
// What the clipboard holds: CLIP_SEGMENT (*out: a preset whose one segment
// is the copy; the caller frees it), CLIP_NONE, or CLIP_BAD_TEXT for JSON
// text that is not one segment (*error: why).
enum Result { CLIP_NONE, CLIP_SEGMENT, CLIP_BAD_TEXT };
Result take(Preset* out, QString* error);
// Whether the clipboard may hold a segment, for enabling Paste.
bool offers();

}  // namespace SegmentClipboard
