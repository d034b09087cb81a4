// The configuration wizard's rules without widgets: the test preset it plays
// and the sample-rate field's arithmetic.
//
// The test preset has six segments of one voice, 60.00 minutes each, no
// background and no colour options, and keeps playing after its end; every
// curve is constant (2 nodes):
//
//   SEGMENT           BEAT  PITCH      VOLUME (L / R)     OTHER
//   WIZSEG_ORIENT     0     400 Hz     0 / 0              background parameter 3600.00
//   WIZSEG_LEFT       0     400 Hz     default / 0
//   WIZSEG_RIGHT      0     400 Hz     0 / default
//   WIZSEG_RATE       0     412.34 Hz  default
//   WIZSEG_STROBE     0     400 Hz     0 / 0              visual frequency 5 Hz
//   WIZSEG_ZERO       0     400 Hz     0 / 0              visual frequency 0, brightness 1.00 %
//
// Main thread only (the preset memory and ParamDef are the main thread's).
#pragma once
#include "main/model.h"

enum WizardSegment { WIZSEG_ORIENT, WIZSEG_LEFT, WIZSEG_RIGHT, WIZSEG_RATE, WIZSEG_STROBE, WIZSEG_ZERO, WIZSEG_COUNT };

// Builds the test preset in p, which must be empty (FreePreset gives it back).
void BuildWizardTestPreset(Preset& p);
// The orientation test's background: the program's own spoken "left" and
// "right" (its background 27), or none.
void SetWizardSpeech(Preset& p, bool on);

// The sample-rate field's up-down: from 10000 to 100000 Hz, each click to
// the next multiple of 1000 Hz in its direction.
constexpr int WIZRATE_MIN = 10000, WIZRATE_MAX = 100000;
int WizardRateStep(int hz, int direction);
// Whether a rate (Hz) may be tested and stored.
bool WizardRateValid(int hz);
