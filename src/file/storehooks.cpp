// The parts of the store that depend on modules above it: the earlier file
// format (installed by the conversion module) and the background libraries
// (installed by the program).
#include <cstring>
#include <string>

#include "file/fileformat.h"
#include "file/storeint.h"
#include "main/strtab.h"
#include "main/text.h"

int (*StoreBackgroundProbe)(const char* file, int number) = nullptr;
int (*StoreConvertOldStore)(StoreUi* ui) = nullptr;
int (*StoreImportOldFile)(const std::string& path, PresetSink sink, void* ctx) = nullptr;

void StoreWarn(StoreUi* ui, const std::string& text) {
  if (!ui) return;
  if (ui->Warn)
    ui->Warn(ui->Ctx, text);
  else if (ui->Inform)
    ui->Inform(ui->Ctx, 0, text);
}

int ConvertOldStore(StoreUi* ui) { return StoreConvertOldStore ? StoreConvertOldStore(ui) : FMSG_OLD_VERSION; }

int ImportOldFile(const std::string& path, PresetSink sink, void* ctx) {
  return StoreImportOldFile ? StoreImportOldFile(path, sink, ctx) : FMSG_OLD_VERSION;
}

void CheckPresetBackground(Preset& p, StoreUi* ui) {
  if (p.data.Background >= AMBIX_NONE || !StoreBackgroundProbe) return;
  int rc = StoreBackgroundProbe(p.data.BackgroundFile, p.data.Background);
  if (rc == 0) return;
  StoreWarn(ui, FormatMsg(rc, {TextForLine({p.data.BackgroundFile, strnlen(p.data.BackgroundFile, NAMELEN)}),
                               p.data.Background}));
  p.data.Background = AMBIX_NONE;
}
