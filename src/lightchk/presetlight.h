// A preset's own light over time, from its curves: what a file rendered
// from it should show, to lay over the light read from a file.
//
// Reads the preset's curves (resident) and nothing of the engine's state,
// so it may run while another preset plays. Main thread.
#pragma once
#include <vector>

#include "lightchk/lightfile.h"
#include "main/model.h"

struct LightCurvePoint {
  double T = 0;                  // seconds from the start
  float Frequency[2] = {0, 0};   // visual frequency per eye, Hz
  float Brightness[2] = {0, 0};  // visual brightness per eye, percent
};

// The visual frequency and brightness of each eye in the middle of every
// `step` seconds from 0 up to `seconds`: segments one after another, each as often as it is
// repeated; after the last, the values at its end while the preset
// continues playing, else nothing.
std::vector<LightCurvePoint> PresetLightCurve(const Preset& p, double step, double seconds);

// Whether a file's light follows a preset's curve (PresetLightCurve): the
// flash frequency of at least 90 % of the eye-seconds with a carrier (three
// at least) lies within 0.5 Hz of the curve's mean over that second (a
// second the curve does not cover does not). The
// levels a file was rendered with change its brightness, not its flash, so
// only the flash is compared.
bool LightFollowsCurve(const LightReport& r, const std::vector<LightCurvePoint>& curve);
