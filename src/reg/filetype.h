// Registration of the preset file type with the desktop: a shared-mime-info
// type application/x-sonavel-preset for *.tvk (recognised also by the header
// text) and text/x-sbg-sequence for *.sbg sessions (which the program
// imports), a desktop entry that opens such files with the program, and the
// program's icon in the hicolor theme. `cmake --install` installs the same
// files system-wide; at start-up the program registers them for the user
// only when no program owns .tvk yet (another program's association is left
// alone).
//
// Plain files and a detached update-mime-database; no errors are shown.
// Main thread.
#pragma once
#include <string>

constexpr const char* PRESET_MIME_TYPE = "application/x-sonavel-preset";

enum FileTypeState {
  FILETYPE_FREE,   // nobody claims *.tvk
  FILETYPE_OURS,   // our type claims it
  FILETYPE_OTHER,  // another type claims it: left alone
};

// Which type claims *.tvk in the mime databases of `dataHome` and `dataDirs`
// (colon-separated, as XDG_DATA_DIRS), or in a user mime package not yet
// compiled.
FileTypeState PresetFileTypeState(const std::string& dataHome, const std::string& dataDirs);

// The texts of the registration files. `exec` is the program path (quoted
// as a desktop entry needs it); `iconName` the icon's theme name.
std::string MimePackageText();
std::string DesktopEntryText(const std::string& exec, const std::string& iconName);

// Registers the type for the user under `dataHome` when nobody claims *.tvk:
// writes mime/packages/sonavel.xml, applications/sonavel.desktop and the
// icon (from `iconSvg`), and starts update-mime-database in the background
// when it is installed. Returns the state found before (FILETYPE_OTHER, and
// nothing written, for an empty `dataHome`).
FileTypeState RegisterFileType(const std::string& programPath, const std::string& iconSvg, const std::string& dataHome,
                               const std::string& dataDirs);

// $XDG_DATA_HOME (or ~/.local/share, the home from the password database
// when HOME is unset; "" without any) and $XDG_DATA_DIRS (or
// /usr/local/share:/usr/share).
std::string UserDataHome();
std::string SystemDataDirs();
