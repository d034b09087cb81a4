#pragma once
// Exit codes: 0 success, 1 the system refused with one of its messages, 2 usage.
int CliMain(int argc, char** argv);
