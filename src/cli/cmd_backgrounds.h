// `sonavel-cli backgrounds [--libdir DIR]`: the table of background
// libraries as the program builds it at start-up.
#pragma once
#include <string>

// Loads the libraries of `libdir` ("" = the program's folder) and prints one
// line per background: index, library file, number, name, parameter name or
// "-", separated by tabs. Exit code 0. Main thread.
int CmdBackgrounds(const std::string& libdir);
