// The parts of the store that depend on other modules: the earlier file
// format and the background libraries.
#include <string>

#include "file/fileformat.h"
#include "file/storeint.h"
#include "main/strtab.h"

int (*StoreBackgroundProbe)(const char* file, int number) = nullptr;

int ConvertOldStore(StoreUi*) { return FMSG_OLD_VERSION; }

int ImportOldFile(const std::string&, void (*)(void*, int, const Preset&), void*) { return FMSG_OLD_VERSION; }

void CheckPresetBackground(Preset& p, StoreUi* ui) {
  if (p.data.Background >= AMBIX_NONE || !StoreBackgroundProbe) return;
  int rc = StoreBackgroundProbe(p.data.BackgroundFile, p.data.Background);
  if (rc == 0) return;
  if (ui && ui->Inform) ui->Inform(ui->Ctx, 0, FormatMsg(rc, {p.data.BackgroundFile, p.data.Background}));
  p.data.Background = AMBIX_NONE;
}
