// `sonavel-cli params`: every parameter of a segment and of a voice by the
// display name the JSON authoring form uses, with its unit, range, channels
// and easy choices.
#pragma once

namespace CLI {
class App;
}

void RegisterParamsCommand(CLI::App& app);
// -1 when the command was not chosen, else its exit code.
int RunParamsCommand();
