// Shared set-up of the fuzz targets and their replay programs.
//
// Every target calls FuzzInit() before its first input: the engine starts
// once (EngineStartup, without scanning for background libraries), and a
// failed internal check aborts, so that libFuzzer (and the replay run under
// ctest) reports the input that reached it.
#pragma once
#include <cstddef>
#include <cstdint>

void FuzzInit();

// libFuzzer's entry point; the replay main() calls it for every corpus file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
