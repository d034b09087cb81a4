// The colours the parameter chart and the waveform preview draw with. On a
// light palette they are the chart's own fixed colours (navy curves, a grey
// read-only curve, maroon weight handles, a silver Z band, a red play line,
// a black and blue preview); on any other palette each takes the same hue,
// lightened or darkened until it stands out against the palette's base by
// the contrast ratio its role needs. Grounds, grid and text come from the
// palette itself.
//
// Main thread only (palettes are the GUI's; the last palette's colours are
// kept).
#pragma once
#include <QColor>

class QPalette;

struct ChartColours {
  QColor Ground;    // the plot's and the preview's background: Base
  QColor Curve;     // an editable curve and its node boxes
  QColor ReadOnly;  // a curve that follows another parameter
  QColor Handle;    // the weight handles
  QColor Band;      // the waveform's Z band, behind the curve
  QColor PlayLine;  // where a test playback plays
  QColor Ink;       // the preview's wave and unfiltered bars: Text
  QColor Filtered;  // the preview's filtered bars
};
ChartColours ChartColoursFor(const QPalette& palette);

// The contrast ratio of two colours (1 to 21), from their relative
// luminance in sRGB.
double ContrastRatio(const QColor& a, const QColor& b);
// `want` when it stands out from `ground` by `ratio`, else the nearest mix
// of it with white (on a dark ground) or black (on a light one) that does.
QColor Readable(const QColor& want, const QColor& ground, double ratio);
