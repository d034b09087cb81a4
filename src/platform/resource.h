// Resources: read-only blobs (type, id) carried inside the program or a
// library, standing in for RCDATA resources.
//
// The program's own resources are generated at build time from files (see
// cmake/Embed.cmake: sonavel_embed_resource) into sources that are compiled
// into the executable itself; each registers its blob before main() runs.
// A library hands out its resources through its own exported function (see
// docs/background-libraries.md). Any thread may look resources up once
// main() has started.
#pragma once
#include <cstddef>

namespace plat {

constexpr int RT_RCDATA = 10;

struct ResourceEntry {
  int Type;
  int Id;
  const unsigned char* Data;
  size_t Size;
};

// Registers one resource of the program (called from generated sources
// during static initialisation). Entries must stay valid for the process.
bool RegisterResource(const ResourceEntry* entry);
// Finds a resource of the program; false when there is none.
bool FindResource(int type, int id, const unsigned char** data, size_t* size);

}  // namespace plat
