// `sonavel-cli play`: a preset played in real time on the wave device.
#pragma once

namespace CLI {
class App;
}

void RegisterPlayCommand(CLI::App& app);
// -1 when the play command was not chosen, else its exit code.
int RunPlayCommand();
