// `sonavel-cli lightcheck`: the light signal a sound file carries, as
// goggles that follow the AudioStrobe carrier would show it. Exit codes: 0 a
// light signal was found, 1 none, 2 the file cannot be read.
#pragma once
#include <string>

#include "lightchk/lightcmp.h"
#include "lightchk/lightfile.h"

namespace CLI {
class App;
}

void RegisterLightCheckCommand(CLI::App& app);
// -1 when the command was not chosen, else its exit code.
int RunLightCheckCommand();

// After a render with AudioStrobe into a lossy format: reads the written
// file back and compares its light with the blocks fed into `written`
// (finished here). Prints the outcome; EXIT_OK when the light survived,
// EXIT_REFUSED when not (or the file cannot be read back).
int CheckRenderedLight(const std::string& file, plat::SoundFormat format, LightDecoder* written,
                       const LightLevels& levels);
