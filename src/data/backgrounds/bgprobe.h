// Whether a preset's library background exists, as the preset store checks
// it when it reads a preset's curves. Main thread.
#pragma once

// 0 when `file` (a library in the background library folder, or the program
// itself) loads and holds resource (RCDATA, number); 1331 when the library
// cannot be loaded; 1332 when it holds no such resource.
int ProbeLibraryBackground(const char* file, int number);
