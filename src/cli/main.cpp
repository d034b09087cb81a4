// sonavel-cli: command-line access to preset files and the engine.
#include "cli/commands.h"

int main(int argc, char** argv) { return CliMain(argc, argv); }
