// Reserved and committed address ranges.
//
// Large work buffers are reserved once for the life of the process and backed
// by memory only as they fill, so an idle program stays small. A reserved
// range is inaccessible until committed; committed pages read as zero the
// first time and again after a decommit. Any thread may call these.
#pragma once
#include <cstddef>

namespace plat {

// Reserves `bytes` of address space without backing memory; nullptr on failure.
void* MemReserve(size_t bytes);
// Makes [addr, addr+bytes) usable (rounded out to whole pages). Committing an
// already committed range keeps its contents. false on failure (errno set).
bool MemCommit(void* addr, size_t bytes);
// Gives the backing memory of [addr, addr+bytes) back; whole pages inside the
// range only, so a neighbour sharing a page keeps its data.
bool MemDecommit(void* addr, size_t bytes);
// Releases a whole reservation made by MemReserve.
void MemRelease(void* addr, size_t bytes);
size_t PageSize();

// A reservation that tracks how far it is committed from its start; the
// common pattern for buffers that fill from the front.
struct Region {
  unsigned char* Base = nullptr;
  size_t Reserved = 0;
  size_t Committed = 0;
};
bool RegionReserve(Region& r, size_t bytes);
// Ensures the first `bytes` are committed; false when beyond the reservation
// or out of memory.
bool RegionEnsure(Region& r, size_t bytes);
// Decommits everything.
void RegionReset(Region& r);
void RegionFree(Region& r);

}  // namespace plat
