// Copied curves on the system clipboard: the program's own type
// (application/x-sonavel-curve, every field exact) beside JSON text in the
// authoring form `sonavel-cli build` reads, which a person can edit in a
// text editor and paste back.
//
// Main thread only.
#pragma once
#include <QString>

#include "main/curveclip.h"

namespace CurveClipboard {

extern const char* const kMimeType;

// Puts a clip on the clipboard in both forms.
void put(const CurveClip& c);
// What the clipboard holds: CLIP_CURVE (*out set), CLIP_NONE, or
// CLIP_BAD_TEXT for JSON text that is not a curve (*error: why, with the
// line and column of a syntax error). JSON text is read for a chart of a
// preset whose background row is `bg`.
enum Result { CLIP_NONE, CLIP_CURVE, CLIP_BAD_TEXT };
Result take(const BackgroundParamRow& bg, CurveClip* out, QString* error);
// Whether the clipboard may hold a curve (our type, or text that starts
// like JSON), for enabling Paste without reading it all.
bool offers();
// Text that a person may mean as JSON: an object after white space.
bool looksLikeJsonText(const QString& text);

}  // namespace CurveClipboard
