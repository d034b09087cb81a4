// The preset list as the main window shows it, without widgets: one entry per
// live preset, sorted without regard to case, each carrying its preset
// index. A never-saved new preset is listed as " " followed by its name, so
// that it sorts first.
//
// Main thread only.
#pragma once
#include <string>
#include <vector>

struct ListEntry {
  std::string Text;
  int Index = -1;  // into Program
};

struct PresetList {
  std::vector<ListEntry> Entries;
};

// Order of the list: case-insensitive, then byte order.
bool ListLess(const std::string& a, const std::string& b);
// Fills the list from Program (live presets).
void FillPresetList(PresetList& l);
// Inserts an entry at its sorted position and returns the position.
int ListInsert(PresetList& l, const std::string& text, int index);
void ListRemoveAt(PresetList& l, int pos);
// Position of the entry for a preset index, or -1.
int ListFindIndex(const PresetList& l, int index);
// Position of the first entry whose text begins with prefix (without regard
// to case), or -1.
int ListFindPrefix(const PresetList& l, const std::string& prefix);

// The icon an entry shows.
enum ListIcon {
  ICON_NONE = -1,
  ICON_SCHEDULE = 0,
  ICON_MODIFIED = 1,           // the selected preset has unsaved changes
  ICON_SCHEDULE_MODIFIED = 2,  // a schedule with unsaved changes
};
ListIcon ListIconFor(bool isSchedule, bool isSelected, int waveOptChanged);
