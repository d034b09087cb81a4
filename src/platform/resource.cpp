#include "platform/resource.h"

namespace plat {

namespace {
// Filled during static initialisation, before any thread exists; a fixed
// table avoids depending on the construction order of other statics.
constexpr int kMaxResources = 64;
const ResourceEntry* gEntries[kMaxResources];
int gCount = 0;
}  // namespace

bool RegisterResource(const ResourceEntry* entry) {
  if (gCount >= kMaxResources) return false;
  gEntries[gCount++] = entry;
  return true;
}

bool FindResource(int type, int id, const unsigned char** data, size_t* size) {
  for (int i = 0; i < gCount; ++i)
    if (gEntries[i]->Type == type && gEntries[i]->Id == id) {
      *data = gEntries[i]->Data;
      *size = gEntries[i]->Size;
      return true;
    }
  return false;
}

}  // namespace plat
