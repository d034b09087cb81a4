#include "cli/commands.h"

#include <CLI/CLI.hpp>

int CliMain(int argc, char** argv) {
  CLI::App app{"Sonavel command-line tool"};
  app.require_subcommand(1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return 0;
}
