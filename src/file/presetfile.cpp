#include "file/presetfile.h"

#include <unistd.h>

#include "file/fileformat.h"
#include "file/fileread.h"
#include "file/filewalk.h"
#include "file/filewrite.h"
#include "file/storefile.h"
#include "main/preset.h"
#include "main/text.h"

namespace {

PresetFixed* ListEntry(void* ctx, int index) {
  auto* list = static_cast<std::vector<PresetFixed>*>(ctx);
  if (static_cast<int>(list->size()) <= index) list->resize(static_cast<size_t>(index) + 1);
  return &(*list)[static_cast<size_t>(index)];
}

struct Pick {
  int Ordinal;  // live ordinal wanted
  Preset* Dest;
  bool Found;
};

void PickSink(void* ctx, int ordinal, const Preset& p) {
  auto* pick = static_cast<Pick*>(ctx);
  if (ordinal != pick->Ordinal || pick->Found) return;
  CopyPreset(*pick->Dest, p);
  pick->Found = true;
}

}  // namespace

int ReadRecordList(const std::string& path, std::vector<PresetFixed>* list) {
  ByteDev dev;
  int rc = OpenPresetFile(dev, path.c_str(), DEV_OPEN_READ, -1, nullptr);
  if (rc) return rc;
  WalkHooks hooks;
  hooks.Ctx = list;
  hooks.Entry = ListEntry;
  rc = WalkPresetList(dev, hooks, nullptr);
  DevClose(dev);
  return rc;
}

int LoadPresetAt(const std::string& path, int index, const std::string& name, Preset& p, bool* notFound) {
  *notFound = false;
  // The list and the preset come from one open file: a file replaced between
  // two opens (a store another process changed) would give the preset that
  // the new file holds at the list's place.
  ByteDev dev;
  if (int rc = OpenPresetFile(dev, path.c_str(), DEV_OPEN_READ, -1, nullptr)) return rc;
  std::vector<PresetFixed> list;
  WalkHooks hooks;
  hooks.Ctx = &list;
  hooks.Entry = ListEntry;
  int rc = WalkPresetList(dev, hooks, nullptr);
  int ordinal = -1, live = 0;
  for (int i = 0; !rc && i < static_cast<int>(list.size()); ++i) {
    if (list[static_cast<size_t>(i)].Deleted) continue;
    const char* n = list[static_cast<size_t>(i)].Name;
    if ((index >= 0 && i == index) || (index < 0 && (name == n || name == TextToUtf8(n)))) {
      ordinal = live;
      break;
    }
    ++live;
  }
  Pick pick{ordinal, &p, false};
  if (!rc && ordinal >= 0)
    rc = DevSeek(dev, 0, SEEK_SET) == 0 ? ReadPresetFile(dev, PickSink, &pick) : FMSG_READ_FAILED;
  DevClose(dev);
  if (rc) {
    FreePreset(p);
    return rc;
  }
  *notFound = !pick.Found;
  return 0;
}

int WriteExportFile(const std::string& path, Preset* presets, int n) {
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  if (int rc = WritePresetFile(dev, 0, presets, n)) return rc;
  if (path == "-") {
    ByteDev out = DevFromFd(STDOUT_FILENO);
    return WriteMessage(DevWrite(out, image.data(), image.size()));
  }
  return ReplaceFileWith(path, image.data(), image.size());
}
