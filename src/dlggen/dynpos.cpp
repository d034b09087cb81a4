// The offset-plus-fraction rule and the table of registered dialogs.
#include "dlggen/dynpos.h"

#include <array>
#include <cstddef>

#include "assert/check.h"

namespace {

struct DynSlot {
  const void* Dialog = nullptr;
  std::vector<DynPos> Entries;
};
std::array<DynSlot, MAXDYNPOSARRAYS> gSlots;
// Slot numbers are ints 0..MAXDYNPOSARRAYS-1, as the dialogs keep them.
DynSlot& SlotAt(int slot) { return gSlots[static_cast<size_t>(slot)]; }

// Floor division, so that negative values split like positive ones.
int32_t FloorDiv(int32_t a, int32_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

int32_t RelValue(int k) {
  switch (k) {
    case 0: return 0;
    case 1: return 0x80000;
    case 2: return 0x40000;
    case 3: return 0x2AAAA;
    case 4: return 0x55555;
    case 5: return 0x20000;
    case 7: return 0x60000;
    case 8: return 0x19999;
    case 9: return 0x33333;
    case 10: return 0x4CCCC;
    case 11: return 0x66666;
    case 12: return 0x15555;
    case 13: return 0x140000;
    default: TVK_CHECK_AS(false, "RelValue", k); return 0;
  }
}

void SplitPixels(int32_t v, int32_t P, int* k, int32_t* d) {
  if (P <= 0) {
    *k = 0;
    *d = v;
    return;
  }
  int32_t q = FloorDiv(v, P);
  int32_t rem = v - q * P;
  // A remainder of half or more rounds up, and the fixed part is then
  // negative, so that k x P + d always gives v back.
  if (2 * rem >= P) {
    ++q;
    rem -= P;
  }
  *k = q;
  *d = rem;
}

bool NeedsRecording(const DynRect& r, int32_t P, int32_t Q) {
  return r.X >= P / 2 || r.W >= P / 2 || r.Y >= Q / 2 || r.H >= Q / 2;
}

DynPos RecordControl(const void* control, const DynRect& r, int32_t P, int32_t Q) {
  DynPos e;
  e.Control = control;
  int k = 0;
  SplitPixels(r.X, P, &k, &e.Fixed.X);
  e.FrX = RelValue(k);
  SplitPixels(r.W, P, &k, &e.Fixed.W);
  e.FrW = RelValue(k);
  SplitPixels(r.Y, Q, &k, &e.Fixed.Y);
  e.FrY = RelValue(k);
  SplitPixels(r.H, Q, &k, &e.Fixed.H);
  e.FrH = RelValue(k);
  return e;
}

DynRect LayoutDynPos(const DynPos& e, int32_t W, int32_t H) {
  // 64-bit products: a fraction of 5/2 times a client size of 1700 pixels
  // would overflow 32 bits.
  auto part = [](int32_t size, int32_t fr) { return static_cast<int32_t>(int64_t(size) * fr / REL_ONE); };
  DynRect r;
  r.X = e.Fixed.X + part(W, e.FrX);
  r.Y = e.Fixed.Y + part(H, e.FrY);
  r.W = e.Fixed.W + part(W, e.FrW);
  r.H = e.Fixed.H + part(H, e.FrH);
  return r;
}

int RegisterDynSlot(const void* dialog) {
  int dpa = 0;
  while (dpa < MAXDYNPOSARRAYS && SlotAt(dpa).Dialog) ++dpa;
  if (!TVK_CHECK_AS(dpa < MAXDYNPOSARRAYS, "dpa<MAXDYNPOSARRAYS", dpa)) dpa = MAXDYNPOSARRAYS - 1;
  SlotAt(dpa).Dialog = dialog;
  SlotAt(dpa).Entries.clear();
  SlotAt(dpa).Entries.reserve(MAXDYNPOSES);
  return dpa;
}

void UnregisterDynSlot(const void* dialog) {
  for (DynSlot& s : gSlots)
    if (s.Dialog == dialog) {
      s.Dialog = nullptr;
      s.Entries.clear();
    }
}

int FindDynSlot(const void* dialog) {
  int dpa = 0;
  while (dpa < MAXDYNPOSARRAYS && SlotAt(dpa).Dialog != dialog) ++dpa;
  if (!TVK_CHECK_AS(dpa < MAXDYNPOSARRAYS, "dpa<MAXDYNPOSARRAYS", dpa)) return -1;
  return dpa;
}

std::vector<DynPos>& DynSlotEntries(int slot) { return SlotAt(slot).Entries; }

bool AddDynEntry(int slot, const DynPos& e) {
  std::vector<DynPos>& v = SlotAt(slot).Entries;
  int n = static_cast<int>(v.size());
  if (!TVK_CHECK_AS(n < MAXDYNPOSES, "NumDynPoses[dpa]<MAXDYNPOSES", n)) return false;
  v.push_back(e);
  return true;
}

DynPos* FindDynEntry(int slot, const void* control) {
  for (DynPos& e : SlotAt(slot).Entries)
    if (e.Control == control) return &e;
  return nullptr;
}
