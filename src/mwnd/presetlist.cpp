// The preset list without widgets.
#include "mwnd/presetlist.h"

#include <algorithm>
#include <cctype>

#include "main/model.h"
#include "main/startup.h"
#include "main/text.h"

bool ListLess(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i]));
    int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void FillPresetList(PresetList& l) {
  l.Entries.clear();
  l.Entries.reserve(static_cast<size_t>(NumPrograms));
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted) l.Entries.push_back({TextForLine(Program[i].Name), i});
  std::stable_sort(l.Entries.begin(), l.Entries.end(),
                   [](const ListEntry& a, const ListEntry& b) { return ListLess(a.Text, b.Text); });
}

int ListInsert(PresetList& l, const std::string& text, int index) {
  auto at = std::upper_bound(l.Entries.begin(), l.Entries.end(), text,
                             [](const std::string& t, const ListEntry& e) { return ListLess(t, e.Text); });
  at = l.Entries.insert(at, {text, index});
  return static_cast<int>(at - l.Entries.begin());
}

void ListRemoveAt(PresetList& l, int pos) {
  if (pos >= 0 && pos < static_cast<int>(l.Entries.size())) l.Entries.erase(l.Entries.begin() + pos);
}

int ListFindIndex(const PresetList& l, int index) {
  for (size_t i = 0; i < l.Entries.size(); ++i)
    if (l.Entries[i].Index == index) return static_cast<int>(i);
  return -1;
}

int ListFindPrefix(const PresetList& l, const std::string& prefix) {
  for (size_t i = 0; i < l.Entries.size(); ++i)
    if (StartsWithNoCase(l.Entries[i].Text, prefix)) return static_cast<int>(i);
  return -1;
}

ListIcon ListIconFor(bool isSchedule, bool isSelected, int waveOptChanged) {
  bool modified = isSelected && waveOptChanged != 0;
  if (isSchedule) return modified ? ICON_SCHEDULE_MODIFIED : ICON_SCHEDULE;
  return modified ? ICON_MODIFIED : ICON_NONE;
}
