// The preset files the desktop program imports and exports.
#include "mwnd/presetformats.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "dialog/strids.h"
#include "main/preset.h"
#include "presetjson/jsonfile.h"
#include "presetjson/presetjson.h"
#include "sbg/sbg.h"

namespace {

bool HasExtension(const std::string& path, const char* ext) {
  const size_t n = std::strlen(ext);
  return path.size() > n && strcasecmp(path.c_str() + path.size() - n, ext) == 0;
}

}  // namespace

PresetFormat ImportFormatOf(const std::string& path) {
  if (IsSequenceFileName(path)) return PresetFormat::Session;
  if (HasExtension(path, ".json") || LooksLikeJson(path)) return PresetFormat::Json;
  return PresetFormat::Tvk;
}

PresetFormat ExportFormatOf(const std::string& path) {
  if (IsSequenceFileName(path)) return PresetFormat::Session;
  return HasExtension(path, ".json") ? PresetFormat::Json : PresetFormat::Tvk;
}

int ImportFilterId() { return strid::PresetImportFilter; }
int ExportFilterId() { return strid::PresetExportFilter; }

int ImportPresetFile(const std::string& path, StoreUi* ui, ImportReport* report, std::string* error) {
  error->clear();
  switch (ImportFormatOf(path)) {
    case PresetFormat::Tvk:
    case PresetFormat::Session: return ImportPresets(path, ui, report);
    case PresetFormat::Json: {
      std::vector<Preset> presets;
      int rc = 0;
      if (ReadJsonPresetFile(path, presets, error))
        rc = ImportPresetList(presets.data(), static_cast<int>(presets.size()), path, ui, report);
      for (Preset& p : presets) FreePreset(p);
      return rc;
    }
  }
  return 0;
}

int ExportPresetFile(int i, const std::string& path) {
  switch (ExportFormatOf(path)) {
    case PresetFormat::Tvk: return ExportPreset(i, path);
    case PresetFormat::Session: return ExportSessionFile(Program[i], path);
    case PresetFormat::Json:
      // As `show --json` prints it: `build` reads it back.
      return ExportPresetAs(i, path, [](const Preset& p) {
        return PresetToJson(p).dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
      });
  }
  return 0;
}
