// Lets the preset store convert files of the earlier format: an old store at
// start and old files on import. The program calls this once at start-up.
#pragma once
void InstallOldFormatConversion();
