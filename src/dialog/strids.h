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
inline constexpr int TestPresetButton = 343;      // "Te&st Preset (Play)"
inline constexpr int PercentUnit = 159;           // "%"
inline constexpr int MinutesUnit = 162;           // "min"
inline constexpr int NodeTip = 163;               // value and time of a node
inline constexpr int NodeTipWithZ = 164;          // the same with its Z value

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
inline constexpr int AskDeleteSegment = 259;
inline constexpr int AskDeleteVoice = 266;
inline constexpr int AskDiscardChanges = 375;
inline constexpr int AudioStrobePatent = 383;  // asked before writing the signal
inline constexpr int AskRunWizardAgain = 397;

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
inline constexpr int NodeRestored = 264;  // the adjacent segment keeps the value
inline constexpr int GlobalVisualOverride = 283;
inline constexpr int PitchLeftRight = 330;
inline constexpr int SegmentEndNotZero = 332;

// Refusals and errors.
inline constexpr int MemoryOver = 153;  // the advanced options' blocks
inline constexpr int BuiltInReadOnly = 94;
inline constexpr int BuiltInExists = 95;
inline constexpr int NoThread = 1257;
inline constexpr int NoWaveMemory = 1258;
inline constexpr int EmptyName = 1275;
inline constexpr int BrowserFailed = 1276;
inline constexpr int TrackingLoop = 1280;
inline constexpr int LastVoice = 1282;
inline constexpr int TooManyNodes = 1285;
inline constexpr int BackgroundFileUnopened = 1287;
inline constexpr int TooManyPresets = 1302;
inline constexpr int LastPreset = 1303;
inline constexpr int ExportUnsaved = 1305;
inline constexpr int DeviceNotClosed = 1306;
inline constexpr int ImportBusy = 1310;
inline constexpr int ImportDialogOpen = 1312;
inline constexpr int LastColor = 1321;
inline constexpr int NoVisualColors = 1322;
inline constexpr int TooManyColors = 1323;
inline constexpr int NoTrackingDestination = 1324;
inline constexpr int DeletedVoiceDestination = 1327;
inline constexpr int SampleRateInvalid = 1334;
inline constexpr int ZeroLevelInvalid = 1335;
inline constexpr int AlreadyPlayingAlone = 1336;  // a leader's request while playing
inline constexpr int StoreReadOnly = 1339;        // another copy was running first
inline constexpr int OutOfMemory = 1444;
inline constexpr int PresetNotFound = 1447;
inline constexpr int MaxBrightnessInvalid = 1448;
inline constexpr int DebugSendFailed = 1449;
inline constexpr int SessionImportFailed = 1473;
inline constexpr int SleepTimeInvalid = 1494;
inline constexpr int FadeOutInvalid = 1495;
inline constexpr int CurveClipOtherParam = 1520;
inline constexpr int CurveClipBad = 1521;
inline constexpr int SegmentClipBad = 1522;

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
