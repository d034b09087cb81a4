// `sonavel-cli store`: the preset store from the command line.
#pragma once
#include <string>

namespace CLI {
class App;
}

void RegisterStoreCommand(CLI::App& app);
// -1 when the store command was not chosen, else its exit code.
int RunStoreCommand();
// Loads the store of `dir` (empty: the program's default store).
int OpenStoreForCli(const std::string& dir);
