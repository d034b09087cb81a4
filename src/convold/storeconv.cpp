// The preset store's use of the earlier format: converting an old store at
// start (with its backup) and importing an old file.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convold/convold.h"
#include "file/fileformat.h"
#include "file/filewrite.h"
#include "file/storefile.h"
#include "file/storeint.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

struct ProgressCtx {
  StoreUi* Ui;
};

bool ReportProgress(void* ctx, int position) {
  auto* c = static_cast<ProgressCtx*>(ctx);
  if (c->Ui && c->Ui->Progress) c->Ui->Progress(c->Ui->Ctx, 89, position, 1000);
  return false;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The backup "Presets.bak" beside the store: 0, 1328 (the user declined to
// overwrite an old backup) or 1329.
int BackUpStore(const std::string& store, StoreUi* ui) {
  std::string dir = store.substr(0, store.find_last_of('/') + 1);
  std::string bak = dir + GetStr(91);
  if (Exists(bak)) {
    std::string q = FormatPrintf(GetStr(92), bak.c_str());
    if (!ui || !ui->Ask || ui->Ask(ui->Ctx, 0, q, false) != STORE_YES) return 1328;
  }
  std::ifstream in(store, std::ios::binary);
  std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
  if (!in.good() && !in.eof()) return 1329;
  return ReplaceFileWith(bak, bytes.data(), bytes.size()) ? 1329 : 0;
}

int ConvertStore(StoreUi* ui) {
  const std::string store = StorePath();
  if (ui && ui->Confirm && !ui->Confirm(ui->Ctx, GetStr(90))) return 1328;
  if (int rc = BackUpStore(store, ui)) return rc;
  ProgressCtx pc{ui};
  ConvertProgress progress{&pc, ReportProgress};
  ReportProgress(&pc, 0);
  Preset* presets = nullptr;
  int count = 0;
  SetStoreMessagePath(store);
  int rc = ConvertOldToArray(store.c_str(), &presets, &count, &progress);
  if (rc == CONVERT_ABORTED) rc = 1328;
  if (rc) return rc;
  if (count == 0) return FMSG_NOT_VALID;
  // The new store (header store flag 1) is built whole and renamed over the
  // old one, so the old store is never lost to a failed conversion.
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  rc = WriteFileHeader(dev, 1);
  for (int i = 0; i < count && rc == 0; ++i) {
    rc = WritePresetRecord(dev, presets[i]);
    ReportProgress(&pc, CONVERT_DONE + 200 * i / count);
  }
  FreeConvertedPresets(presets, count);
  if (rc) return rc;
  if (::access(store.c_str(), W_OK) != 0) return 1330;
  rc = ReplaceFileWith(store, image.data(), image.size());
  ReportProgress(&pc, 1000);
  return rc ? 1330 : 0;
}

int ImportOld(const std::string& path, PresetSink sink, void* ctx) {
  int count = 0;
  return ConvertOldPresets(path.c_str(), sink, ctx, nullptr, &count);
}

}  // namespace

void InstallOldFormatConversion() {
  StoreConvertOldStore = ConvertStore;
  StoreImportOldFile = ImportOld;
}

void RemoveOldFormatConversion() {
  StoreConvertOldStore = nullptr;
  StoreImportOldFile = nullptr;
}
