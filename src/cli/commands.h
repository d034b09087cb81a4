#pragma once
namespace CLI {
class App;
}
// Exit codes: 0 success, 1 the system refused with one of its messages, 2 usage.
int CliMain(int argc, char** argv);
// The subcommands that drive the synthesis engine (render, ...), registered
// beside the file commands; RunEngineCommands runs whichever was chosen.
void RegisterEngineCommands(CLI::App& app);
int RunEngineCommands(CLI::App& app);
