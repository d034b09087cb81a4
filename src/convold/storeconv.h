// Lets the preset store convert files of the earlier format: an old store at
// start and old files on import. The engine's start-up installs it
// (EngineStartup); main thread.
#pragma once
void InstallOldFormatConversion();
// Takes the conversion away again (the engine's shutdown): the store then
// refuses old files with 1311.
void RemoveOldFormatConversion();
