// The dynamic layout's rule: template coordinates split into a fraction and
// a fixed part, controls recorded or left alone, and the slot table.
#include <gtest/gtest.h>

#include "common/checks.h"
#include "dlggen/dynpos.h"

namespace {

// Pixels of 1024 dialog units for a 6 x 13 pixel base (1536 and 1664).
constexpr int32_t P = 1024 * 6 / 4, Q = 1024 * 13 / 8;
int32_t PxX(int32_t units) { return units * 6 / 4; }
int32_t PxY(int32_t units) { return units * 13 / 8; }

TEST(DynPos, RelValueTable) {
  const int32_t want[] = {0,       0x80000, 0x40000, 0x2AAAA, 0x55555, 0x20000, -1,
                          0x60000, 0x19999, 0x33333, 0x4CCCC, 0x66666, 0x15555, 0x140000};
  for (int k = 0; k <= 13; ++k) {
    if (k == 6) continue;
    EXPECT_EQ(RelValue(k), want[k]) << k;
  }
  ExpectCheckFailures expect;
  EXPECT_EQ(RelValue(6), 0);
  EXPECT_EQ(RelValue(14), 0);
  EXPECT_TRUE(expect.Saw("RelValue"));
}

TEST(DynPos, SplitGivesTheValueBack) {
  struct Case {
    int32_t V, K, D;
  };
  // With P = 1024 the template examples: 1010 is k 1, d -14; 3049 is k 3,
  // d -23; 2023 is k 2, d -25; 511 stays fixed, 512 rounds up.
  const Case cases[] = {{1010, 1, -14}, {3049, 3, -23}, {2023, 2, -25}, {511, 0, 511}, {512, 1, -512}, {4, 0, 4}};
  for (const Case& c : cases) {
    int k = 0;
    int32_t d = 0;
    SplitPixels(c.V, 1024, &k, &d);
    EXPECT_EQ(k, c.K) << c.V;
    EXPECT_EQ(d, c.D) << c.V;
  }
  for (int32_t v = -3000; v <= 3000; v += 7) {
    int k = 0;
    int32_t d = 0;
    SplitPixels(v, 999, &k, &d);
    EXPECT_EQ(k * 999 + d, v);
    EXPECT_LE(2 * d, 999);
    EXPECT_GE(2 * d, -999);
  }
}

TEST(DynPos, SmallControlIsNotRecordedAndNeverMoves) {
  // x = 4, width = 100 units: both below 512.
  DynRect r{PxX(4), PxY(7), PxX(100), PxY(12)};
  EXPECT_FALSE(NeedsRecording(r, P, Q));
}

TEST(DynPos, StretchingControlKeepsItsMargins) {
  // x = 4 with width 1010: the left edge stays at 4 units, the right margin
  // is 10 units, whatever the client width.
  DynRect r{PxX(4), PxY(7), PxX(1010), PxY(12)};
  ASSERT_TRUE(NeedsRecording(r, P, Q));
  DynPos e = RecordControl(nullptr, r, P, Q);
  for (int32_t W : {300, 451, 900}) {
    DynRect l = LayoutDynPos(e, W, 200);
    EXPECT_EQ(l.X, PxX(4));
    EXPECT_EQ(W - (l.X + l.W), PxX(10)) << W;
    EXPECT_EQ(l.Y, PxY(7));
  }
}

TEST(DynPos, RightAnchoredButtonFollowsTheMiddle) {
  // x = 2003 (k 2, d -45): at half the width the button stands 45 units
  // left of the new middle.
  DynRect r{PxX(2003), PxY(1003), PxX(50), PxY(14)};
  DynPos e = RecordControl(nullptr, r, P, Q);
  // (Units map to whole pixels: 2003 units are 3004 pixels here, so the
  // offset is 68 pixels rather than 67.5.)
  for (int32_t W : {600, 300}) {
    EXPECT_EQ(LayoutDynPos(e, W, 200).X, W / 2 + PxX(2003) - 2 * P) << W;
    EXPECT_NEAR(LayoutDynPos(e, W, 200).X, W / 2 - PxX(45), 1) << W;
  }
  // And below: y = 1003 keeps 21 units above the bottom edge.
  EXPECT_EQ(LayoutDynPos(e, 600, 200).Y, 200 + PxY(1003) - Q);
}

TEST(DynPos, LargeFractionDoesNotOverflow) {
  DynPos e;
  e.FrW = RelValue(13);  // 5/2
  EXPECT_EQ(LayoutDynPos(e, 2000, 100).W, 5000);
}

TEST(DynPos, NinthDialogIsAnInternalError) {
  int dialogs[MAXDYNPOSARRAYS + 1];
  for (int i = 0; i < MAXDYNPOSARRAYS; ++i) EXPECT_EQ(RegisterDynSlot(&dialogs[i]), i);
  {
    ExpectCheckFailures expect;
    EXPECT_EQ(RegisterDynSlot(&dialogs[MAXDYNPOSARRAYS]), MAXDYNPOSARRAYS - 1);
    EXPECT_TRUE(expect.Saw("dpa<MAXDYNPOSARRAYS"));
  }
  // The last slot went to the ninth; the eighth is no longer known.
  {
    ExpectCheckFailures expect;
    EXPECT_EQ(FindDynSlot(&dialogs[MAXDYNPOSARRAYS - 1]), -1);
  }
  for (int& d : dialogs) UnregisterDynSlot(&d);
  EXPECT_EQ(RegisterDynSlot(&dialogs[0]), 0);
  UnregisterDynSlot(&dialogs[0]);
}

TEST(DynPos, EntriesAreLimited) {
  int dialog = 0;
  int slot = RegisterDynSlot(&dialog);
  for (int i = 0; i < MAXDYNPOSES; ++i) ASSERT_TRUE(AddDynEntry(slot, DynPos{}));
  ExpectCheckFailures expect;
  EXPECT_FALSE(AddDynEntry(slot, DynPos{}));
  EXPECT_TRUE(expect.Saw("NumDynPoses[dpa]<MAXDYNPOSES"));
  UnregisterDynSlot(&dialog);
}

}  // namespace
