// The folder of the running program file (where its libraries and, in a
// portable install, its preset store live). Any thread.
#pragma once
#include <string>

namespace plat {
// "." when it cannot be determined.
std::string ProgramFolder();
}  // namespace plat
