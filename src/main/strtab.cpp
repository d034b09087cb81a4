#include "main/strtab.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "assert/check.h"
#include "main/text.h"

namespace {

// Sorted by id. Texts with %1/%2!d! inserts go through FormatMsg, the others
// (%s, %d, %%) are printf formats, except labels such as the unit "%" (159)
// and the easy-selection texts, which are shown as they are. 339 is the unit
// of the filter row, which has none; 4001-4050 are the easy-selection texts
// in the order of the EasyMode table. 1452-1459 are the plain sentence above
// the internal error report's line (1452 takes one of 1453-1457, the kind of
// fault).
// clang-format off
constexpr StrEntry kStrings[] = {
    {1, "BUILTIN: Relaxation 1 (general)"},
    {2, "Sonavel File"},
    {32, "Voice %d: volume %d%%, beat frequency: %sHz\n"},
    {33, "Voice %d: volume 0%%\n"},
    {34, "Voice %d: volume %d%%/%d%%, beat frequency: %sHz\n"},
    {35, "Visual: brightness %d%%, frequency: %sHz\n"},
    {36, "Visual: brightness %d%%/%d%%, frequency: %s/%sHz\n"},
    {37, "Time %s    "},
    {38, "Time %s\n"},
    {39, "(Parameters frozen) Time %s    "},
    {40, "(Parameters frozen) Time %s\n"},
    {41, "Play"},
    {42, "Stop"},
    {43, "Freeze parameters"},
    {44, "Restart"},
    {45, "Preset options"},
    {46, "Preset name"},
    {47, "Save preset"},
    {48, "New preset"},
    {49, "Delete preset"},
    {51, "Help topics"},
    {64, "Sonavel"},
    {66, "Are you sure you want to delete the preset '%s'?"},
    {67, "Do you want to save changes to the preset '%s'?"},
    {68, "Do you want to save changes to the preset '%s'?\nIf you select No, the preset name is reverted back to "
         "'%s'."},
    {69, "Do you want to save changes to the preset '%s'?\nThis preset has never been saved before, so if you "
         "select No, it will be discarded."},
    {70, "Not playing"},
    {72, "<new>"},
    {73, "Presets.tvk"},
    {74, "%d presets were successfully imported."},
    {75, "No presets were imported."},
    {76, "1 preset was successfully imported."},
    {77, "Import"},
    {78, "The imported preset '%s' already exists. Do you want to overwrite the existing preset?"},
    {79, "Sonavel File, created with version %d.%d\r\n\x1a"},
    {80, "Are you sure you want to overwrite the previous preset '%s'?"},
    {81, "NOTE: Changes to advanced options take effect only after restarting current playback."},
    {82, "%s minutes of output was successfully played to a .wav file."},
    {83, "The preset was successfully exported to a file."},
    {84, "Playing into .wav file was aborted."},
    {85, "Calculating preset data was aborted."},
    {86, "Playing into .wav file"},
    {87, "Calculating preset data"},
    {88, "Synchronizing"},
    {89, "Converting presets"},
    {90, "The file Presets.tvk was created with an earlier version of Sonavel. To be used with this version, it "
         "must be converted to the new file format.\n\nClick OK to convert the Presets.tvk file, or Cancel to "
         "quit. A backup of the original Presets.tvk file is automatically created."},
    {91, "Presets.bak"},
    {92, "The file %s already exists. Do you want to overwrite it?"},
    {93, "The file %s was created with an earlier version of Sonavel.\n\nIt will be converted to the new format."},
    {94, "This preset cannot be modified because it is a built-in preset. Please save it under a different name."},
    {95, "This preset already exists, and the existing preset is a built-in preset. You cannot overwrite built-in "
         "presets."},
    {96, "Are you sure you want to delete the built-in preset '%s'?"},
    {104, "Delaying for %s minutes"},
    {105, "Press Esc or choose Stop to cancel."},
    {150, "The number of memory blocks must be in range %1-%2."},
    {151, "The length of memory blocks must be in range %1-%2."},
    {152, "The number of samples per second must be in range %1-%2."},
    {153, "The memory consumed may not be over 5 MB."},
    {158, "Hz"},
    {159, "%"},
    {160, "s"},
    {161, "ms"},
    {162, "min"},
    {163, "%s%s, %s%s"},
    {164, "%s%s (Z: %s%s), %s%s    Hold down CTRL to change the Z value."},
    {165, "Binaural Beat Frequency"},
    {166, "Sound Volume"},
    {167, "Audible Pitch"},
    {170, "Background Volume"},
    {171, "(Background Param not in use)"},
    {172, "Visual Frequency"},
    {174, "Background Phase Shift"},
    {175, "Noise Volume"},
    {176, "Noise Smoothness"},
    {231, "The value must be in range %1-%2."},
    {232, "The weight must be in range %1-%2."},
    {233, "The start time must be in range %1-%2."},
    {234, "The end time must be in range %1-%2."},
    {235, "The Y intercept value is not valid."},
    {236, "The Y/X slope value is not valid."},
    {237, "The minimum limit must be in range %1-%2."},
    {238, "The maximum limit must be in range %1-%2."},
    {239, "Wave Files|*.wav|All Files|*.*|"},
    {240, "Sound Files|*.wav;*.flac;*.ogg;*.oga;*.opus;*.mp3|Wave Files|*.wav|All Files|*.*|"},
    {241, "Wave Files|*.wav|FLAC Files|*.flac|Ogg Vorbis Files|*.ogg|Opus Files|*.opus|MP3 Files|*.mp3|"},
    {251, "Sonavel Files|*.tvk|All Files|*.*|"},
    {252, "Select Export File"},
    {253, "Select Import File"},
    {254, "Select Background"},
    {259, "Are you sure you want to delete the segment %s from the preset?"},
    {260, "Visual Brightness"},
    {264, "The node you moved was restored back to its original value, because the adjacent segment does not "
          "contain a corresponding voice. A voice that is missing in the adjacent segment must have zero volume at "
          "the segment boundary."},
    {266, "Are you sure you want to delete the voice %s from segment %s of the preset?"},
    {269, "If you change preset settings while already playing a preset, your changes do not take effect "
          "immediately. You must stop the current playback and start it again to get the new preset settings in "
          "effect."},
    {270, "Waveform"},
    {271, "°"},
    {272, "Waveform Filter"},
    {273, "Visual Brightness, Color 2"},
    {274, "Sound Modulation Depth"},
    {275, "Sound Modulation Period"},
    {276, "Sound Modulation Phase"},
    {277, "Background Modulation Depth"},
    {278, "Background Modulation Period"},
    {279, "Background Modulation Phase"},
    {280, "Visual Modulation Depth"},
    {281, "Visual Modulation Period"},
    {282, "Visual Modulation Phase"},
    {283, "The global visual color options are set to override the visual color options of individual presets, so "
          "the colors of this preset are not used for flashing. To use them, turn off \"Override visual color "
          "options of individual presets\" in Visual Color Options of the Options menu."},
    {314, "User-defined..."},
    {315, "Visual Modulation Depth, Color 2"},
    {316, "Visual Modulation Period, Color 2"},
    {317, "Visual Modulation Phase, Color 2"},
    {330, "When the audible pitch is set separately for the left and right channel, the binaural beat frequency of "
          "this voice is not used: the beat frequency is the difference between the right and the left pitch. "
          "Parameters that track the binaural beat frequency of this voice stop tracking it.\n\nDo you want to set "
          "the left and right pitch separately?"},
    {332, "This preset does not end at the end of the last segment, because a volume is not zero at the end of the "
          "last segment (%s continues playing). When the preset has played to its end, the sound stops abruptly. "
          "To end the preset smoothly, set all volumes to zero at the end of the last segment, or select "
          "\"Continue playing after the end of all segments\".\n\nDo you want to accept the preset as it is?"},
    {339, ""},
    {343, "Te&st Preset (Play)"},
    {344, "&Stop Playing"},
    {345, "Noise Modulation Depth"},
    {346, "Noise Modulation Period"},
    {347, "Noise Modulation Phase"},
    {349, "The number of minutes to play must be in range %1-%2."},
    {355, "Background Interval"},
    {366, "The brightness zero level must be in range %1-%2."},
    {369, "This preset contains different visual settings for the left and right eye. Different left/right "
          "settings do not work for on-screen flashing (they only work for AudioStrobe compatible "
          "devices).\n\nOnly the settings for the left eye are used."},
    {373, "Visual Phase Difference"},
    {375, "You have modified this preset. Are you sure you want to discard the changes?"},
    {376, "The time value must be in range %1-%2."},
    {383, "The AudioStrobe light signalling system is patented. Commercial use of AudioStrobe signals written into "
          "a .wav file, such as selling or distributing the file, requires a license from the owner of the "
          "AudioStrobe patent.\n\nDo you want to continue?"},
    {384, "The maximum brightness level must be in range %1-%2."},
    {388, "The number of nodes must be 2 or 3."},
    {389, "Thank you for reporting this error.\n\nYour help in fine-tuning Sonavel is greatly appreciated!"},
    {390, "By clicking the Send Via Internet button, you can send information about this error to the author of "
          "Sonavel. This helps to fix this error in a future release.\n\nThe information sent includes the state "
          "of the program (internal variables), as well as the preset that was active. No personal information of "
          "any kind is sent."},
    {391, "The debug data was saved to the file '%1'.\n\nPlease send this file by e-mail to %2, so that this error "
          "can be fixed in a future release.\n\nYour help in fine-tuning Sonavel is greatly appreciated!"},
    {396, "The AudioStrobe duty cycle setting must be in range %1-%2."},
    {397, "Do you want to run this Configuration Wizard again when Sonavel starts?"},
    {1256, "Internal error. Unable to create a toolbar."},
    {1257, "Internal error. Unable to create a new thread."},
    {1258, "Not enough memory for the wave data. Set Advanced options for smaller memory use."},
    {1259, "The wave device is already in use by another application."},
    {1260, "Your sound card does not support the required wave format."},
    {1261, "The wave device could not allocate enough memory for sound output."},
    {1262, "Unable to open wave device (error code %1!d!)."},
    {1263, "No sound card found in your system. You must have a sound card installed to use Sonavel."},
    {1264, "Your sound card does not support 16-bit sound. Please select Advanced Options from the Options menu "
           "and set the Bits per sample value to 8."},
    {1265, "Your sound card does not support the specified sample frequency. Please select Advanced Options from "
           "the Options menu and change the Samples per second value (for example, to 44,100 or 40,000)."},
    {1266, "Your sound card does not support stereo sound. A stereo-capable sound card is required in order to use "
           "Sonavel."},
    {1272, "Preset too complex. Please make your preset simpler and try again."},
    {1273, "Waveform setting is too complex. Please make your preset's waveform (and the waveform filter) simpler "
           "and try again."},
    {1275, "The entered name is not valid. The name may not be empty."},
    {1276, "Unable to launch Internet browser."},
    {1280, "You can not set %1 to track %2, because %2 already tracks %1. This tracking may be direct or via a "
           "chain of tracking parameters."},
    {1281, "You have deleted the last segment from the preset. A new segment with default settings was created."},
    {1282, "You can not delete the last voice from the segment."},
    {1283, "You can not add more than %1!d! segments to the preset."},
    {1284, "You can not add more than %1!d! voices to a segment."},
    {1285, "You can not add more than %1!d! nodes."},
    {1286, "Unable to read the background file '%1'.\n\n%4"},
    {1287, "Unable to open the background file '%1'."},
    {1288, "Unable to load the background voice of this preset."},
    {1289, "Background file '%1' is not a valid wave file."},
    {1290, "Background file '%1' is corrupted."},
    {1291, "Background file '%1' is corrupted. Unable to read its format chunk."},
    {1292, "Background file '%1' format is not valid. The file must be in PCM format, contain 1-2 channels "
           "(mono/stereo) and use 8 or 16 bits per sample."},
    {1293, "Background file '%1' is corrupted. It has no data chunk."},
    {1294, "Background file '%1' is corrupted. Its data chunk has no data."},
    {1295, "Background file '%1' is too long. The maximum length for wave data is 50,000,000 bytes, and "
           "500,000,000 bytes once converted for playing."},
    {1296, "Background file '%1' is corrupted. Failed to read its data chunk."},
    {1297, "Writing to file '%1' failed."},
    {1298, "Reading file '%1' failed."},
    {1299, "Unable to open file '%1'."},
    {1300, "File '%1' is currently being used by Sonavel. You can not export over it."},
    {1301, "File '%1' is currently being used by Sonavel. You can not import it."},
    {1302, "You can not create any more presets. The maximum number of presets is %1!d!."},
    {1303, "You can not delete the last preset."},
    {1304, "%s#%d"},
    {1305, "You can not export a preset which has not been saved. Save the preset and try again."},
    {1306, "Sonavel was unable to close the wave output device properly. You may have to reboot your computer to "
           "get your sound system operational again."},
    {1307, "The file '%1' was created with a newer version of Sonavel. Please upgrade your Sonavel version, or "
           "check that the file is not corrupt."},
    {1308, "Writing to file %1 failed because there is not enough disk space. Please free some disk space and try "
           "again."},
    {1309, "This preset does not include any sound output. Please change the preset options so that not all "
           "volumes are zero."},
    {1310, "Unable to import file '%1'.\n\nSonavel is currently busy."},
    {1311, "The file '%1' was created with an old version of Sonavel. It cannot be converted to the current "
           "version."},
    {1312, "Unable to import file '%1'.\n\nPlease close any dialogs in Sonavel and try again."},
    {1314, "Unable to create the export file '%2'."},
    {1315, "Unable to write to the export file '%2'."},
    {1316, "The file '%1' is not a Sonavel file, or it is corrupt."},
    {1317, "Unable to write to the export file '%2' because there is not enough disk space. Please free some disk "
           "space and try again."},
    {1318, "The .wav file '%2' would be larger than 4 GB, more than a .wav file can hold. At these settings it "
           "can take at most %3 minutes."},
    {1321, "You can not delete the last color."},
    {1322, "This preset does not contain any visual color options.\n\nPlease modify the preset, select Visual "
           "Color Options from the General tab and set the desired options. If you accept the defaults, you have "
           "to click OK in the Visual Color Options and the Wave Options dialogs before the options are saved."},
    {1323, "You can not add more than %1!d! colors."},
    {1324, "You must select a tracking destination."},
    {1326, "You cannot set this parameter to track any other parameter because the tracking chain is too complex. "
           "Disable other trackings and try again."},
    {1327, "This parameter belongs to a deleted voice and can't be set as a tracking destination."},
    {1328, "Sonavel can't start with an old version of the Presets.tvk file.\n\nSonavel closes."},
    {1329, "Unable to create file Presets.bak. Please make sure that there is enough disk space available and that "
           "this file is not write protected."},
    {1330, "Unable to delete the old Presets.tvk file. Please make sure that this file is not write protected."},
    {1331, "The file '%1' containing the background of this preset was not found.\n\nThe background is set to None."},
    {1332, "The file '%1' does not contain the background #%2!d! specified in this preset. You may have a wrong "
           "version of the background file.\n\nThe background is set to None."},
    {1333, "Sonavel is already playing a preset in the main window. You cannot test a preset while another "
           "playback is in progress."},
    {1334, "The sample rate value is invalid. It must be a value between 10000 and 100000."},
    {1335, "The zero level value is invalid. It must be a value between 0 and 100."},
    {1336, "This instance of Sonavel is already playing a preset. It will not be synchronized with the current "
           "playback."},
    {1337, "Another instance of Sonavel is trying to synchronize at the same time, or previous synchronization "
           "failed. Synchronization cannot be completed."},
    {1339, "Another copy of Sonavel was running before this one was started. Changes to presets can only be done "
           "in the first copy. If you have quit the first copy already, quit this one as well, and restart Sonavel."},
    {1443, "There are not enough resources on your computer to use %1!d! colors with visual flashing. You can only "
           "use at most about %2!d! colors."},
    {1444, "There is not enough memory on your computer to complete this action."},
    {1446, "The file '%1' containing the background of this preset has not yet been loaded by Sonavel.\n\nPlease "
           "restart Sonavel and try again."},
    {1447, "Preset %1 was not found."},
    {1448, "The maximum brightness value is invalid. It must be a value between 0 and 100."},
    {1449, "Unable to send the debug data via Internet (error code %1!d!/%2!d!)."},
    {1450, "Unable to create file '%1'."},
    {1451, "Unable to write to file '%1'. The disk may be full or write-protected."},
    {1452, "The last time it ran, Sonavel stopped because of %s (signal %d)."},
    {1453, "a memory access fault"},
    {1454, "an arithmetic fault"},
    {1455, "an invalid instruction"},
    {1456, "an internal abort"},
    {1457, "an unexpected signal"},
    {1458, "The last time it ran, Sonavel stopped because of an error it could not handle."},
    {1459, "Sonavel has found an error in its own workings; it can go on running."},
    {1460, "The screen will now flash in the colours of this preset, several times a second.\n\nFlashing light "
           "can trigger seizures in people with photosensitive epilepsy. Do not use it if you or anyone in your "
           "family has had a seizure or epilepsy, and stop at once if you feel unwell or dizzy or your vision "
           "changes.\n\nTo stop the flashing at once, press Esc or choose Stop.\n\nStart the flashing now?"},
    {1461, "Note: this display cannot show flashing faster than %sHz faithfully (half its refresh rate)."},
    {1472, "1 preset was successfully imported. What the session has and a preset has not:\n\n%1"},
    {1473, "The session could not be imported:\n\n%1"},
    {1474, "The preset was written as a session file. What a session cannot hold is named in comments at its "
           "top."},
    {1480, "The file '%1' is being changed by another copy of Sonavel. Please try again in a moment."},
    {1481, "The file '%1' could not be compacted. Its presets are used as they are."},
    {1482, "The entered name is not valid. The name may not contain line breaks, tabs or other control characters."},
    {1490, "Sleep timer: %s left"},
    {1491, "Sleep timer: fading out, %s left"},
    {1492, "Fade-out at the end of the preset: %s left"},
    {1493, "Fading out to the end of the preset: %s left"},
    {1494, "The time to stop after is not valid. Enter minutes (for example 45) or hours and minutes (1:30), from "
           "1 minute to 24 hours."},
    {1495, "The fade-out length is not valid. Enter seconds (for example 60), from 0 to 3600."},
    {1496, "Background file '%1' has too few samples per second to be played. Converted for playing, its sound "
           "would take more than 500,000,000 bytes."},
    {1520, "The curve on the clipboard belongs to %2 and cannot be pasted into %1. A curve can be pasted only into a "
           "parameter with the same unit."},
    {1521, "The text on the clipboard is not a curve that can be pasted here:\n\n%1"},
    {1522, "The text on the clipboard is not a segment that can be pasted here:\n\n%1"},
    {1525, "Preset Files|*.tvk;*.json;*.sbg|Sonavel Files|*.tvk|JSON Presets|*.json|Sequence Files|*.sbg|All "
           "Files|*.*|"},
    {1526, "Sonavel Files|*.tvk|JSON Presets|*.json|Sequence Files|*.sbg|All Files|*.*|"},
    {4001, "Sine wave"},
    {4002, "Sine^2 wave"},
    {4003, "Sine^3 wave"},
    {4004, "Triangular wave"},
    {4005, "Filtered triangular wave"},
    {4006, "Rectangular wave"},
    {4007, "25% smoothed rectangular wave"},
    {4008, "50% smoothed rectangular wave"},
    {4009, "No filtering"},
    {4010, "First harmonic"},
    {4011, "Two harmonics"},
    {4012, "Three harmonics"},
    {4013, "In phase"},
    {4014, "90 degrees out of phase"},
    {4015, "-90 degrees out of phase"},
    {4016, "180 degrees out of phase"},
    {4017, "No modulation"},
    {4018, "Full volume range"},
    {4019, "Half of volume range"},
    {4020, "No modulation"},
    {4021, "Slow ocean waves"},
    {4022, "Normal ocean waves"},
    {4023, "Fast ocean waves"},
    {4024, "No modulation"},
    {4025, "Full brightness range"},
    {4026, "Half of brightness range"},
    {4027, "White noise"},
    {4028, "Pink noise"},
    {4029, "Brown noise"},
    {4030, "Every 10 seconds"},
    {4031, "At random intervals"},
    {4032, "No phase shift"},
    {4033, "Left 100ms ahead"},
    {4034, "Left 250ms ahead"},
    {4035, "Right 100ms ahead"},
    {4036, "Right 250ms ahead"},
    {4037, "Continuous"},
    {4038, "Every 5 seconds"},
    {4039, "Every 10 seconds"},
    {4040, "Every 15 seconds"},
    {4041, "Every 20 seconds"},
    {4042, "Full volume"},
    {4043, "Half volume"},
    {4044, "Zero volume"},
    {4045, "No noise background"},
    {4046, "Noise with full volume"},
    {4047, "Noise with half volume"},
    {4048, "Full brightness"},
    {4049, "Half brightness"},
    {4050, "Visual off"},
};
// clang-format on

constexpr bool SortedUnique(const StrEntry* begin, const StrEntry* end) {
  for (const StrEntry* p = begin; p + 1 < end; ++p)
    if (p->Id >= (p + 1)->Id) return false;
  return true;
}
static_assert(SortedUnique(std::begin(kStrings), std::end(kStrings)), "string ids must be unique and ascending");

const StrEntry* FindStr(int id) {
  const StrEntry* e =
      std::lower_bound(std::begin(kStrings), std::end(kStrings), id, [](const StrEntry& s, int v) { return s.Id < v; });
  return e != std::end(kStrings) && e->Id == id ? e : nullptr;
}

void PrintEscaped(FILE* f, const char* s) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
    switch (*p) {
      case '\\': std::fputs("\\\\", f); break;
      case '\n': std::fputs("\\n", f); break;
      case '\t': std::fputs("\\t", f); break;
      case '\r': std::fputs("\\r", f); break;
      default:
        if (*p < 0x20 || *p == 0x7f)
          std::fprintf(f, "\\x%02x", *p);
        else
          std::fputc(*p, f);
    }
  }
}

}  // namespace

const char* GetStr(int id) {
  const StrEntry* e = FindStr(id);
  if (!TVK_CHECK(e != nullptr, id)) return "";
  return e->Text;
}

bool HasStr(int id) { return FindStr(id) != nullptr; }

std::span<const StrEntry> StringTable() { return std::span<const StrEntry>(kStrings); }

void PrintStringTable(FILE* f) {
  for (const StrEntry& e : kStrings) {
    std::fprintf(f, "%d\t", e.Id);
    PrintEscaped(f, e.Text);
    std::fputc('\n', f);
  }
}

std::string FormatMsg(int id, std::initializer_list<MsgArg> args) { return FormatMsgText(GetStr(id), args); }

std::string FormatMsgShown(int id, std::initializer_list<MsgArg> args, size_t maxInsertChars, std::string* whole) {
  // The texts are kept here while the arguments refer to them.
  std::vector<std::string> texts;
  texts.reserve(2 * args.size());
  std::vector<MsgArg> shown, full;
  for (const MsgArg& a : args) {
    if (a.Type != MsgArg::Str) {
      shown.push_back(a), full.push_back(a);
      continue;
    }
    texts.push_back(TextForLine(a.Text));
    full.emplace_back(std::string_view(texts.back()));
    texts.push_back(ElideMiddle(texts.back(), maxInsertChars));
    shown.emplace_back(std::string_view(texts.back()));
  }
  if (whole) *whole = FormatMsgText(GetStr(id), std::span<const MsgArg>(full));
  return FormatMsgText(GetStr(id), std::span<const MsgArg>(shown));
}
