// Undo and redo of the editor's copy: every kind of edit stepped back and
// forth to the exact states it passed through, merged steps, redo dropped by
// a new edit, and the cost of a curve edit on the largest preset.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "main/history.h"
#include "main/preset.h"
#include "main/presetedit.h"

namespace {

struct Copy {
  Preset p{};
  explicit Copy(const Preset& src) { CopyPreset(p, src); }
  ~Copy() { FreePreset(p); }
};

struct History : ::testing::Test {
  Preset p{};
  EditRules rules{true, 3, {}};
  void SetUp() override {
    NewDefaultPreset(p);
    EnsureDescription(p);
  }
  void TearDown() override { FreePreset(p); }
};

TEST_F(History, EveryKindOfEditStepsBackAndForth) {
  const std::vector<std::function<void()>> edits = {
      [&] { SegParams(p, 0)[VoicePidOf(0, VP_PITCH)].Node[1].Value += 500; },  // a node
      [&] { AddSegment(p, 0, rules); },
      [&] { AddVoice(p, 1, 0, rules); },
      [&] {
        SetFromEasySelection(BackgroundParamRow{}, SegParams(p, 1), p.data.Segment[1], VoicePidOf(1, VP_WAVEFORM), 3, 0,
                             3);
      },
      [&] { MoveSegment(p, 1, -1, rules); },
      [&] {
        int sel = 0;
        DeleteVoice(p, 0, 0, rules, &sel);
      },
      [&] { std::strcpy(p.Description, "Evening"); },
      [&] {
        p.data.Background = AMBIX_NONE;
        p.data.Segment[0].Length = 4200;
      },
      [&] {
        int sel = 0;
        DeleteSegment(p, 1, rules, &sel);
      },
  };
  PresetHistory h(p);
  std::vector<std::unique_ptr<Copy>> states;
  states.push_back(std::make_unique<Copy>(p));
  for (const auto& edit : edits) {
    edit();
    ASSERT_TRUE(h.Record(p));
    states.push_back(std::make_unique<Copy>(p));
  }
  for (size_t i = states.size() - 1; i-- > 0;) {
    ASSERT_TRUE(h.Undo(p));
    ASSERT_EQ(ComparePresets(p, states[i]->p), 0) << "undo to state " << i;
  }
  EXPECT_FALSE(h.Undo(p));
  // Back at the opened preset, byte for byte.
  EXPECT_FALSE(CopyPreset(states[0]->p, p));
  for (size_t i = 1; i < states.size(); ++i) {
    ASSERT_TRUE(h.Redo(p));
    ASSERT_EQ(ComparePresets(p, states[i]->p), 0) << "redo to state " << i;
  }
  EXPECT_FALSE(h.Redo(p));
}

TEST_F(History, MergedStepsAndNewEditsAfterUndo) {
  PresetHistory h(p);
  Copy opened(p);
  EXPECT_FALSE(h.Record(p));  // nothing changed
  Param& pitch = SegParams(p, 0)[VoicePidOf(0, VP_PITCH)];
  pitch.Node[0].Value = 30000;
  ASSERT_TRUE(h.Record(p));
  pitch.EasySel = 7;  // part of the same edit
  ASSERT_TRUE(h.Record(p, true));
  EXPECT_EQ(h.Steps(), 1);
  ASSERT_TRUE(h.Undo(p));
  EXPECT_EQ(ComparePresets(p, opened.p), 0);
  // A new edit after an undo: the undone step cannot come back.
  SegParams(p, 0)[VoicePidOf(0, VP_VOLUME)].Node[2].Value = 0;
  ASSERT_TRUE(h.Record(p));
  EXPECT_FALSE(h.CanRedo());
  ASSERT_TRUE(h.Undo(p));
  EXPECT_EQ(ComparePresets(p, opened.p), 0);
}

TEST_F(History, CurveEditOnTheLargestPresetKeepsOnlyThatCurve) {
  for (int s = 1; s < MAXSEGMENTS; ++s) AddSegment(p, s - 1, EditRules{false, 3, {}});
  for (int s = 0; s < MAXSEGMENTS; ++s)
    while (p.data.Segment[s].NumVoices < MAXVOICES) AddVoice(p, s, 0, EditRules{false, 3, {}});
  PresetHistory h(p);
  SegParams(p, 24)[VoicePidOf(9, VP_BEAT)].Node[1].Value = 4000;
  ASSERT_TRUE(h.Record(p));
  EXPECT_LE(h.Bytes(), 2 * sizeof(Param) + 256);
}

}  // namespace
