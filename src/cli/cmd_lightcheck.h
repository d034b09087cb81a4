// `sonavel-cli lightcheck`: the light signal a sound file carries, as
// goggles that follow the AudioStrobe carrier would show it. Exit codes: 0 a
// light signal was found, 1 none, 2 the file cannot be read.
#pragma once
#include <string>

#include "lightchk/lightfile.h"

namespace CLI {
class App;
}

void RegisterLightCheckCommand(CLI::App& app);
// -1 when the command was not chosen, else its exit code.
int RunLightCheckCommand();

// The first line of the summary: where the carrier is, its lowest level and
// the gaps; or that there is none (and why, for a rate that cannot carry it).
std::string LightSummaryText(const LightReport& r);
