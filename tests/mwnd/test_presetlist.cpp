// The preset list without widgets (order, prefix search, icons) and the
// modification state's transitions and questions.
#include <gtest/gtest.h>

#include "mwnd/presetlist.h"
#include "mwnd/wavestate.h"

namespace {

TEST(PresetList, SortsWithoutRegardToCaseNewPresetFirst) {
  PresetList l;
  ListInsert(l, "beta", 1);
  ListInsert(l, "Alpha", 2);
  ListInsert(l, "BUILTIN: Sleep", 3);
  ListInsert(l, " <new>", 4);
  ListInsert(l, "alpha", 5);
  std::vector<std::string> order;
  for (const ListEntry& e : l.Entries) order.push_back(e.Text);
  EXPECT_EQ(order, (std::vector<std::string>{" <new>", "Alpha", "alpha", "beta", "BUILTIN: Sleep"}));
  EXPECT_EQ(ListFindIndex(l, 3), 4);
  EXPECT_EQ(ListFindIndex(l, 99), -1);
  ListRemoveAt(l, 0);
  EXPECT_EQ(ListFindIndex(l, 4), -1);
}

TEST(PresetList, PrefixSearchFindsTheFirstEntry) {
  PresetList l;
  for (const char* n : {"Relax deeply", "Relaxation 2", "Relaxation 1", "Sleep"}) ListInsert(l, n, 0);
  EXPECT_EQ(l.Entries[static_cast<size_t>(ListFindPrefix(l, "relaxation"))].Text, "Relaxation 1");
  EXPECT_EQ(l.Entries[static_cast<size_t>(ListFindPrefix(l, "RELAX"))].Text, "Relax deeply");
  EXPECT_EQ(ListFindPrefix(l, "Medit"), -1);
  EXPECT_EQ(ListFindPrefix(l, ""), 0);
}

TEST(PresetList, IconsFollowScheduleSelectionAndState) {
  struct Case {
    bool Schedule, Selected;
    int State;
    ListIcon Want;
  };
  const Case cases[] = {
      {false, false, 0, ICON_NONE},
      {false, true, 0, ICON_NONE},
      {false, true, 1, ICON_MODIFIED},
      {false, false, 1, ICON_NONE},
      {true, false, 0, ICON_SCHEDULE},
      {true, true, 0, ICON_SCHEDULE},
      {true, true, 5, ICON_SCHEDULE_MODIFIED},
      {true, false, 2, ICON_SCHEDULE},
  };
  for (const Case& c : cases) EXPECT_EQ(ListIconFor(c.Schedule, c.Selected, c.State), c.Want);
}

TEST(WaveState, EditorTransitions) {
  struct Case {
    int State, Result;
    bool Renamed;
    int Want;
  };
  const Case cases[] = {
      {0, EDITOR_CHANGED, false, 1},   {0, EDITOR_CHANGED, true, 2},    {1, EDITOR_CHANGED, false, 1},
      {1, EDITOR_CHANGED, true, 2},    {2, EDITOR_CHANGED, false, 2},   {2, EDITOR_CHANGED, true, 2},
      {3, EDITOR_CHANGED, false, 3},   {4, EDITOR_CHANGED, false, 4},   {4, EDITOR_CHANGED, true, 3},
      {5, EDITOR_CHANGED, false, 4},   {5, EDITOR_CHANGED, true, 3},    {5, EDITOR_CANCELLED, false, 0},
      {4, EDITOR_CANCELLED, false, 4}, {1, EDITOR_CANCELLED, false, 1}, {5, EDITOR_UNCHANGED, false, 5},
      {0, EDITOR_UNCHANGED, false, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WaveOptAfterEditor(c.State, c.Result, c.Renamed), c.Want) << c.State << " " << c.Result;
}

TEST(WaveState, UnsavedQuestion) {
  EXPECT_EQ(UnsavedQuestionId(0, false), 0);
  EXPECT_EQ(UnsavedQuestionId(1, false), 67);
  EXPECT_EQ(UnsavedQuestionId(2, false), 67);
  EXPECT_EQ(UnsavedQuestionId(2, true), 68);
  for (int s : {3, 4, 5}) EXPECT_EQ(UnsavedQuestionId(s, true), 69);
}

}  // namespace
