// The parts of the store that depend on other modules: the earlier file
// format and the background libraries.
#include "file/storeint.h"
#include "file/fileformat.h"

int ConvertOldStore(StoreUi*) { return FMSG_OLD_VERSION; }

int ImportOldFile(const std::string&, void (*)(void*, int, const Preset&), void*) { return FMSG_OLD_VERSION; }

void CheckPresetBackground(Preset&, StoreUi*) {}
