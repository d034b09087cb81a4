// The dynamic dialog layout's rule, without any widgets: a control's
// position and size are each a fixed offset plus a fraction of the dialog's
// client width or height.
//
// A dialog describes its controls in dialog units (a quarter of the average
// character width, an eighth of the character height), and a coordinate c
// encodes both parts: c = k x 1024 + d with d in -512..511. k picks the
// fraction from RelValue; d is the fixed part. Examples: x = 1010 is 14 units
// left of the right edge (k 1, d -14); a height of 3049 is a third of the
// client height less 23 units (k 3, d -23); x = 2023 is 25 units left of the
// middle (k 2, d -25).
//
// Fractions are fixed point with REL_ONE = 0x80000 standing for 1:
//
//   k   1        2        3        4        5        7        8
//       1        1/2      1/3      2/3      1/4      3/4      1/5
//       0x80000  0x40000  0x2AAAA  0x55555  0x20000  0x60000  0x19999
//   k   9        10       11       12       13       0
//       2/5      3/5      4/5      1/6      5/2      0
//       0x33333  0x4CCCC  0x66666  0x15555  0x140000 0
//
// Any other k is an internal error ("RelValue") and counts as 0.
//
// At most MAXDYNPOSARRAYS dialogs are registered at a time, each with at
// most MAXDYNPOSES recorded controls. Main thread only.
#pragma once
#include <cstdint>
#include <vector>

constexpr int32_t REL_ONE = 0x80000;
constexpr int32_t DYN_KEEP = 0x20000;  // SetControlFixed/SetControlFractions: keep this value
constexpr int MAXDYNPOSARRAYS = 8;
constexpr int MAXDYNPOSES = 196;

int32_t RelValue(int k);

struct DynRect {
  int32_t X = 0, Y = 0, W = 0, H = 0;
};

// One recorded control: fixed parts in pixels, fractions in fixed point.
struct DynPos {
  const void* Control = nullptr;
  DynRect Fixed;
  int32_t FrX = 0, FrY = 0, FrW = 0, FrH = 0;
};

// Splits a pixel value v with P pixels per 1024 dialog units into k (v / P
// rounded, a remainder of P / 2 or more rounding up) and the fixed part d,
// so that k x P + d = v.
void SplitPixels(int32_t v, int32_t P, int* k, int32_t* d);
// Whether a control is recorded: any of x, width (against P / 2) or y,
// height (against Q / 2) is that large. Controls with only small
// coordinates are left where they are.
bool NeedsRecording(const DynRect& r, int32_t P, int32_t Q);
// The entry for a control at pixel rectangle r.
DynPos RecordControl(const void* control, const DynRect& r, int32_t P, int32_t Q);
// The control's rectangle for a client area of W x H pixels.
DynRect LayoutDynPos(const DynPos& e, int32_t W, int32_t H);

// --- Registered dialogs ----------------------------------------------------
// Takes the first free slot for `dialog`; with none free an internal error
// ("dpa<MAXDYNPOSARRAYS") and the last slot is taken over. Returns the slot.
int RegisterDynSlot(const void* dialog);
// Frees the dialog's slot (its entry array is kept for reuse).
void UnregisterDynSlot(const void* dialog);
// The dialog's slot, or -1 with an internal error when it is not registered.
int FindDynSlot(const void* dialog);
// The slot's entries.
std::vector<DynPos>& DynSlotEntries(int slot);
// Records an entry; more than MAXDYNPOSES is an internal error
// ("NumDynPoses[dpa]<MAXDYNPOSES") and the entry is dropped.
bool AddDynEntry(int slot, const DynPos& e);
// The entry of `control` in the slot, or null.
DynPos* FindDynEntry(int slot, const void* control);
