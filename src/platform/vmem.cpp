#include "platform/vmem.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace plat {

size_t PageSize() {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

void* MemReserve(size_t bytes) {
  if (bytes == 0) return nullptr;
  void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

bool MemCommit(void* addr, size_t bytes) {
  if (bytes == 0) return true;
  uintptr_t page = PageSize();
  uintptr_t a = reinterpret_cast<uintptr_t>(addr) & ~(page - 1);
  uintptr_t e = (reinterpret_cast<uintptr_t>(addr) + bytes + page - 1) & ~(page - 1);
  return mprotect(reinterpret_cast<void*>(a), e - a, PROT_READ | PROT_WRITE) == 0;
}

bool MemDecommit(void* addr, size_t bytes) {
  uintptr_t page = PageSize();
  uintptr_t a = (reinterpret_cast<uintptr_t>(addr) + page - 1) & ~(page - 1);
  uintptr_t e = (reinterpret_cast<uintptr_t>(addr) + bytes) & ~(page - 1);
  if (e <= a) return true;
  void* p = reinterpret_cast<void*>(a);
  // MADV_DONTNEED on a private anonymous mapping drops the pages; they read as
  // zero when committed again.
  if (madvise(p, e - a, MADV_DONTNEED) != 0) return false;
  return mprotect(p, e - a, PROT_NONE) == 0;
}

void MemRelease(void* addr, size_t bytes) {
  if (addr) munmap(addr, bytes);
}

bool RegionReserve(Region& r, size_t bytes) {
  if (r.Base) return true;
  r.Base = static_cast<unsigned char*>(MemReserve(bytes));
  if (!r.Base) return false;
  r.Reserved = bytes;
  r.Committed = 0;
  return true;
}

bool RegionEnsure(Region& r, size_t bytes) {
  if (bytes <= r.Committed) return true;
  if (!r.Base || bytes > r.Reserved) {
    errno = ENOMEM;
    return false;
  }
  // Commit in 64 KiB steps so that a buffer filling a little at a time does
  // not make a system call per step.
  size_t step = 65536;
  size_t want = (bytes + step - 1) / step * step;
  if (want > r.Reserved) want = r.Reserved;
  if (!MemCommit(r.Base + r.Committed, want - r.Committed)) return false;
  r.Committed = want;
  return true;
}

void RegionReset(Region& r) {
  if (r.Base && r.Committed) MemDecommit(r.Base, r.Committed);
  r.Committed = 0;
}

void RegionFree(Region& r) {
  MemRelease(r.Base, r.Reserved);
  r = Region{};
}

}  // namespace plat
