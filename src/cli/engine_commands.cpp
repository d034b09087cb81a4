// Subcommands that drive the synthesis engine.
#include <CLI/CLI.hpp>

#include "cli/cliutil.h"
#include "cli/commands.h"

void RegisterEngineCommands(CLI::App&) {}
int RunEngineCommands(CLI::App&) { return EXIT_USAGE; }
