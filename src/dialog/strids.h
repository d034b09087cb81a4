// Names for the string-table ids (main/strtab.h) the desktop program's code
// passes to the message helper, GetStr and FormatMsg, so a call reads as
// what it says. The table keeps the texts; a name here is only its number.
#pragma once

namespace strid {
// Window texts and captions.
inline constexpr int PresetNameLabel = 46;        // "Preset name"
inline constexpr int ProgramName = 64;            // "Sonavel"
inline constexpr int NotPlaying = 70;             // "Not playing"
inline constexpr int NewPresetName = 72;          // "<new>"
inline constexpr int BackgroundFileEntry = 1304;  // "%s#%d": file and entry
inline constexpr int FlashingRefreshNote = 1461;  // the display's refresh limit

// File dialogs: titles and filters.
inline constexpr int SoundFileFilter = 240;
inline constexpr int WavOutputFilter = 241;
inline constexpr int SelectExportFile = 252;
inline constexpr int SelectImportFile = 253;
inline constexpr int PresetImportFilter = 1525;
inline constexpr int PresetExportFilter = 1526;

// Questions.
inline constexpr int AskDeletePreset = 66;
inline constexpr int AskSaveChanges = 67;     // modified
inline constexpr int AskSaveRenamed = 68;     // modified and renamed
inline constexpr int AskSaveNeverSaved = 69;  // new, never saved
inline constexpr int AskOverwritePreset = 80;

// News.
inline constexpr int NoPresetsImported = 75;
inline constexpr int OnePresetImported = 76;
inline constexpr int AdvancedAfterRestart = 81;
inline constexpr int WavFileWritten = 82;
inline constexpr int PresetExported = 83;
inline constexpr int SessionImportNotes = 1472;
inline constexpr int SessionExported = 1474;

// Warnings that can be turned off.
inline constexpr int OptionsWhilePlaying = 269;
inline constexpr int LeftRightVisual = 369;
inline constexpr int FlashingWarning = 1460;

// Refusals and errors.
inline constexpr int BuiltInReadOnly = 94;
inline constexpr int BuiltInExists = 95;
inline constexpr int NoThread = 1257;
inline constexpr int NoWaveMemory = 1258;
inline constexpr int EmptyName = 1275;
inline constexpr int TooManyPresets = 1302;
inline constexpr int LastPreset = 1303;
inline constexpr int ExportUnsaved = 1305;
inline constexpr int DeviceNotClosed = 1306;
inline constexpr int ImportBusy = 1310;
inline constexpr int ImportDialogOpen = 1312;
inline constexpr int NoVisualColors = 1322;
inline constexpr int AlreadyPlayingAlone = 1336;  // a leader's request while playing
inline constexpr int StoreReadOnly = 1339;        // another copy was running first
inline constexpr int OutOfMemory = 1444;
inline constexpr int PresetNotFound = 1447;
inline constexpr int SessionImportFailed = 1473;

// The crash of the last run.
inline constexpr int CrashedBySignal = 1452;  // "... because of %s (signal %d)."
inline constexpr int SignalMemoryFault = 1453;
inline constexpr int SignalArithmetic = 1454;
inline constexpr int SignalBadInstruction = 1455;
inline constexpr int SignalAbort = 1456;
inline constexpr int SignalOther = 1457;
inline constexpr int CrashedUnknown = 1458;
inline constexpr int InternalErrorGoesOn = 1459;
}  // namespace strid
