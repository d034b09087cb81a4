// The editor's rules over a whole preset: linking of adjacent segments (with
// and without the voice, repeated segments, chains), segments and voices
// added, deleted and moved, the segment field edits, the background
// parameter and the end check.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/checks.h"
#include "main/preset.h"
#include "main/presetedit.h"

namespace {

constexpr int VOL = 39;                  // Sound Volume, left, voice 0
constexpr int VOL1 = VoicePidOf(1, 3);   // Sound Volume, left, voice 1
constexpr int BEAT1 = VoicePidOf(1, 0);  // Binaural Beat Frequency, voice 1

// A preset of segments with the given voices and repeats, built without
// linking, every curve as the defaults make it.
struct Built {
  Preset p{};
  EditRules link{true, 3, {}};
  Built(std::vector<int> voices, std::vector<int> repeats = {}) {
    NewDefaultPreset(p);
    EditRules off{false, 3, {}};
    for (size_t s = 1; s < voices.size(); ++s) AddSegment(p, 0, off);
    for (size_t s = 0; s < voices.size(); ++s) {
      while (p.data.Segment[s].NumVoices < voices[s]) AddVoice(p, int(s), 0, off);
      if (s < repeats.size()) p.data.Segment[s].Repeat = repeats[s];
    }
  }
  ~Built() { FreePreset(p); }
  Param& At(int s, int pid) { return SegParams(p, s)[pid]; }
  // Sets a three-node user-defined curve.
  void Set(int s, int pid, int32_t a, int32_t b, int32_t c) {
    Param& q = At(s, pid);
    q.NumNodes = 3;
    q.Node[0] = {a, 0, 10, 1};
    q.Node[1] = {b, 5000, 10, 1};
    q.Node[2] = {c, 10000, 10, 1};
    q.EasySel = 0;
    q.Tracking = 0;
  }
  int32_t First(int s, int pid) { return At(s, pid).Node[0].Value; }
  int32_t Last(int s, int pid) { return At(s, pid).Node[At(s, pid).NumNodes - 1].Value; }
};

TEST(Linking, EndsMeetTheNeighboursAndTrackedChannelsFollow) {
  Built b({1, 1, 1});
  b.Set(0, VOL, 100, 200, 300);
  b.Set(1, VOL, 400, 500, 600);
  b.Set(2, VOL, 700, 800, 900);
  b.At(2, VOL).EasySel = 42;
  LinkResult r = LinkAdjacent(BackgroundParamRow{}, b.p, 1, VOL, 2, 2, 2);  // last node of the middle segment
  EXPECT_EQ(b.First(2, VOL), 600);
  EXPECT_EQ(b.At(2, VOL).EasySel, 0);   // no longer the Easy curve
  EXPECT_EQ(b.First(2, VOL + 1), 600);  // the right channel tracks the left one
  EXPECT_EQ(b.Last(0, VOL), 300);       // the other side untouched
  EXPECT_FALSE(r.Restored);
  EXPECT_EQ(r.Range.First, 2);
  LinkAdjacent(BackgroundParamRow{}, b.p, 1, VOL, 0, 0, 0);
  EXPECT_EQ(b.Last(0, VOL), 400);
  // An inner node touches no neighbour.
  b.Set(0, VOL, 1, 2, 3);
  LinkAdjacent(BackgroundParamRow{}, b.p, 1, VOL, 1, 1, 1);
  EXPECT_EQ(b.Last(0, VOL), 3);
}

TEST(Linking, AVoiceMissingNextDoorIsSilentAtThatBoundary) {
  struct Case {
    std::vector<int> Voices;
    int Seg, Node;
    bool ZeroFirst, ZeroLast, Restored;
  };
  const Case cases[] = {
      {{2, 1}, 0, 2, false, true, true},    // last node, next segment lacks voice 2
      {{1, 2}, 1, 0, true, false, true},    // first node, previous segment lacks it
      {{2, 1}, 0, 1, false, false, false},  // an inner node: nothing at the ends
      {{2, 2}, 0, 2, false, false, false},  // both have it: linked, not zeroed
  };
  for (const Case& c : cases) {
    Built b(c.Voices);
    for (int s = 0; s < 2; ++s)
      if (b.p.data.Segment[s].NumVoices > 1) b.Set(s, VOL1, 500, 500, 500);
    LinkResult r = LinkAdjacent(BackgroundParamRow{}, b.p, c.Seg, VOL1, c.Node, c.Node, c.Node);
    EXPECT_EQ(b.First(c.Seg, VOL1) == 0, c.ZeroFirst) << c.Seg << " " << c.Node;
    EXPECT_EQ(b.Last(c.Seg, VOL1) == 0, c.ZeroLast) << c.Seg << " " << c.Node;
    EXPECT_EQ(r.Restored, c.Restored) << c.Seg << " " << c.Node;
  }
  // Only Sound Volume has the zero rule; other voice parameters stay.
  Built b({2, 1});
  b.Set(0, BEAT1, 5000, 6000, 7000);
  LinkResult r = LinkAdjacent(BackgroundParamRow{}, b.p, 0, BEAT1, 2, 2, 2);
  EXPECT_EQ(b.Last(0, BEAT1), 7000);
  EXPECT_FALSE(r.Restored);
}

TEST(Linking, RepeatedSegmentsEndWhereTheyStartAndPassItOnInChains) {
  // The moved node wins inside a repeated segment, and the other end carries
  // it on to the neighbour.
  Built b({1, 1, 1}, {1, 2, 1});
  b.Set(0, VOL, 0, 0, 100);
  b.Set(1, VOL, 100, 500, 100);
  b.Set(2, VOL, 100, 0, 0);
  b.At(1, VOL).Node[0].Value = 300;  // first node of the repeated segment moved
  LinkResult r = LinkAdjacent(BackgroundParamRow{}, b.p, 1, VOL, 0, 0, 0);
  EXPECT_EQ(b.Last(1, VOL), 300);
  EXPECT_EQ(b.First(2, VOL), 300);
  EXPECT_EQ(b.Last(0, VOL), 300);
  EXPECT_EQ(r.Range.First, 0);
  EXPECT_EQ(r.Range.Last, 2);        // widened to the node the rule wrote
  b.At(1, VOL).Node[2].Value = 800;  // now its last node
  LinkAdjacent(BackgroundParamRow{}, b.p, 1, VOL, 2, 2, 2);
  EXPECT_EQ(b.First(1, VOL), 800);
  EXPECT_EQ(b.Last(0, VOL), 800);

  // A chain of repeated segments: the change runs through all of them.
  Built c({1, 1, 1, 1}, {1, 2, 3, 1});
  for (int s = 0; s < 4; ++s) c.Set(s, VOL, 100, 100, 100);
  c.At(3, VOL).Node[0].Value = 4200;
  LinkAdjacent(BackgroundParamRow{}, c.p, 3, VOL, 0, 0, 0);
  for (int s : {1, 2}) {
    EXPECT_EQ(c.First(s, VOL), 4200) << s;
    EXPECT_EQ(c.Last(s, VOL), 4200) << s;
  }
  EXPECT_EQ(c.Last(0, VOL), 4200);
  EXPECT_EQ(c.First(0, VOL), 100);  // segment 0 does not repeat
}

TEST(Linking, ARepeatedSegmentNextToAMissingVoiceStaysSilentAtBothEnds) {
  // Voice 2 is missing before the repeated segment but present after it:
  // moving its last node cannot be kept (the segment must start at 0 and end
  // where it starts), so it returns to 0 everywhere and the move is restored.
  Built b({1, 2, 2}, {1, 2, 1});
  b.Set(1, VOL1, 0, 500, 0);
  b.Set(2, VOL1, 0, 500, 500);
  b.At(1, VOL1).Node[2].Value = 700;
  LinkResult r = LinkAdjacent(BackgroundParamRow{}, b.p, 1, VOL1, 2, 2, 2);
  EXPECT_EQ(b.First(1, VOL1), 0);
  EXPECT_EQ(b.Last(1, VOL1), 0);
  EXPECT_EQ(b.First(2, VOL1), 0);
  EXPECT_TRUE(r.Restored);
}

TEST(Linking, SegmentParametersLinkWhateverTheVoices) {
  Built b({3, 1});
  b.Set(0, PID_NOISEVOL, 0, 0, 2500);
  LinkAdjacent(BackgroundParamRow{}, b.p, 0, PID_NOISEVOL, 2, 2, 2);
  EXPECT_EQ(b.First(1, PID_NOISEVOL), 2500);
  EXPECT_EQ(b.First(1, PID_NOISEVOL + 1), 2500);
}

TEST(Segments, NewIdsFollowTheHighestInitial) {
  struct Case {
    std::vector<const char*> Ids;
    const char* Next;
  };
  const Case cases[] = {
      {{"A"}, "B"},      {{"A", "C"}, "D"}, {{"Z"}, "A"},       {{"c", "b"}, "A"},  // lower case does not count
      {{"1", "-"}, "A"}, {{"Y", "B"}, "Z"}, {{"B1", "A"}, "C"},
  };
  for (const Case& c : cases) {
    PresetFixed p{};
    p.data.NumSegments = static_cast<uint8_t>(c.Ids.size());
    for (size_t i = 0; i < c.Ids.size(); ++i) std::strncpy(p.data.Segment[i].Name, c.Ids[i], 2);
    EXPECT_EQ(NextSegmentId(p), c.Next) << c.Ids.size() << c.Ids[0];
  }
}

TEST(Segments, AddCopiesTheCurrentLengthAndLinksWithThePrevious) {
  for (bool link : {true, false}) {
    Built b({1});
    b.p.data.Segment[0].Length = 1234;
    b.p.data.Segment[0].NoiseInsideHead = 1;
    b.Set(0, 36, 15000, 9000, 7000);  // beat frequency ends at 7 Hz
    EditRules r{link, 2, {}};
    ASSERT_EQ(AddSegment(b.p, 0, r), 0);
    const Segment& s = b.p.data.Segment[1];
    EXPECT_STREQ(s.Name, "B");
    EXPECT_EQ(s.Length, 1234);
    EXPECT_EQ(s.NoiseInsideHead, 1);
    EXPECT_EQ(s.Repeat, 1);
    EXPECT_EQ(s.NumVoices, 1);
    EXPECT_EQ(b.At(1, 36).NumNodes, 2);
    EXPECT_EQ(b.First(1, 36), link ? 7000 : 15000);
    // The pitch tracks the beat frequency: 50 x 7 Hz.
    EXPECT_EQ(b.First(1, 37), link ? 35000 : 75000);
    EXPECT_EQ(b.Last(0, 36), 7000);  // nothing moves backwards
  }
  Built full({1});
  for (int i = 1; i < MAXSEGMENTS; ++i) AddSegment(full.p, 0, full.link);
  EXPECT_EQ(AddSegment(full.p, 0, full.link), 1283);
  EXPECT_EQ(full.p.data.NumSegments, MAXSEGMENTS);
}

TEST(Segments, DeleteShiftsLaterSegmentsAndRelinks) {
  Built b({1, 2, 1});
  for (int s = 0; s < 3; ++s) b.p.data.Segment[s].Length = 100 * (s + 1);
  b.Set(0, VOL, 0, 0, 100);
  b.Set(2, VOL, 900, 0, 0);
  int sel = -1;
  EXPECT_EQ(DeleteSegment(b.p, 1, b.link, &sel), 0);
  EXPECT_EQ(sel, 1);
  EXPECT_EQ(b.p.data.NumSegments, 2);
  EXPECT_EQ(b.p.data.Segment[1].Length, 300);
  EXPECT_EQ(b.p.data.Segment[1].NumVoices, 1);
  EXPECT_EQ(b.First(1, VOL), 100);  // the new neighbours are linked
  EXPECT_EQ(DeleteSegment(b.p, 1, b.link, &sel), 0);
  EXPECT_EQ(sel, 0);  // the last one went: the new last is selected
  std::strcpy(b.p.data.Segment[0].Name, "Q");
  b.p.data.Segment[0].Repeat = 5;
  EXPECT_EQ(DeleteSegment(b.p, 0, b.link, &sel), 1281);
  const Segment& s = b.p.data.Segment[0];
  EXPECT_EQ(b.p.data.NumSegments, 1);
  EXPECT_STREQ(s.Name, "A");
  EXPECT_EQ(s.Length, 1000);
  EXPECT_EQ(s.Repeat, 1);
  EXPECT_EQ(s.NumVoices, 1);
  EXPECT_EQ(b.At(0, VOL).EasySel, 42);  // default content
}

TEST(Segments, MoveSwapsRecordsAndCurves) {
  Built b({1, 3, 1});
  std::strcpy(b.p.data.Segment[1].Name, "M");
  b.Set(1, VOL1, 1, 2, 3);
  b.Set(0, VOL, 0, 0, 4400);
  EXPECT_FALSE(MoveSegment(b.p, 0, -1, b.link));
  ASSERT_TRUE(MoveSegment(b.p, 1, -1, b.link));
  EXPECT_STREQ(b.p.data.Segment[0].Name, "M");
  EXPECT_EQ(b.p.data.Segment[0].NumVoices, 3);
  EXPECT_EQ(b.At(0, VOL1).Node[1].Value, 2);
  EXPECT_EQ(b.p.data.Segment[1].NumVoices, 1);
  // The segment that moved down is linked: its first node now takes the
  // moved segment's last one.
  EXPECT_EQ(b.First(1, VOL), b.Last(0, VOL));
}

TEST(Segments, APastedSegmentGoesAfterTheCurrentOneWithAnAddedSegmentsRules) {
  Built b({1, 1});
  b.Set(0, VOL, 0, 0, 1100);
  b.Set(1, VOL, 2200, 0, 0);
  // The copy: segment 0 with two voices, a length and a repeat of its own.
  Built src({2});
  src.p.data.Segment[0].Length = 777;
  src.p.data.Segment[0].Repeat = 1;
  src.Set(0, VOL, 5000, 6000, 7000);
  src.Set(0, VOL1, 10, 20, 30);
  ASSERT_EQ(InsertSegment(b.p, 0, src.p.data.Segment[0], SegParams(src.p, 0), b.link), 0);
  ASSERT_EQ(b.p.data.NumSegments, 3);
  const Segment& s = b.p.data.Segment[1];
  EXPECT_STREQ(s.Name, "C");  // as an added segment: after the highest ID
  EXPECT_EQ(s.Length, 777);
  EXPECT_EQ(s.NumVoices, 2);
  EXPECT_EQ(b.At(1, VOL).Node[1].Value, 6000);
  EXPECT_EQ(b.First(1, VOL), 1100);  // starts where the one before ends
  EXPECT_EQ(b.Last(1, VOL), 2200);   // ends where the one after starts
  EXPECT_EQ(b.First(2, VOL), 2200);  // the later segment moved on, intact
  // Voice 2 is missing on both sides: it is silent at both ends.
  EXPECT_EQ(b.First(1, VOL1), 0);
  EXPECT_EQ(b.Last(1, VOL1), 0);
  for (int i = 3; i < MAXSEGMENTS; ++i) AddSegment(b.p, 0, b.link);
  EXPECT_EQ(InsertSegment(b.p, 0, src.p.data.Segment[0], SegParams(src.p, 0), b.link), 1283);
  EXPECT_EQ(b.p.data.NumSegments, MAXSEGMENTS);
}

TEST(Segments, FieldEditsKeepTheOldValueOnBadInput) {
  struct Len {
    const char* Text;
    int32_t Out;
  };
  for (const Len& c : std::vector<Len>{{"0", 777},
                                       {"-1", 777},
                                       {"abc", 777},
                                       {"", 777},
                                       {"20000", 1000000},
                                       {"12.345", 1234},
                                       {"0,5", 50},
                                       {" 3", 300}})
    EXPECT_EQ(SegmentLengthFromText(c.Text, 777), c.Out) << c.Text;
  for (const Len& c : std::vector<Len>{{"0", 7},
                                       {"-2", 7},
                                       {"x", 7},
                                       {"1.5", 7},
                                       {"", 7},
                                       {"20000", 10000},
                                       {"99999999999999", 10000},
                                       {" 12 ", 12}})
    EXPECT_EQ(SegmentRepeatFromText(c.Text, 7), c.Out) << c.Text;
  char id[3];
  EXPECT_TRUE(SegmentIdFromText("B", id));
  EXPECT_STREQ(id, "B");
  EXPECT_TRUE(SegmentIdFromText("\xC3\xA9", id));  // a two-byte character
  EXPECT_STREQ(id, "\xC3\xA9");
  for (const char* bad : {"", "AB", "\xE2\x82\xAC", "\xC3"}) EXPECT_FALSE(SegmentIdFromText(bad, id)) << bad;
}

TEST(Segments, StartingToRepeatLinksEveryParameterOnlyWithLinkingOn) {
  for (bool link : {true, false}) {
    Built b({2, 1});
    b.Set(0, VOL, 0, 5000, 10000);
    b.Set(0, BEAT1, 4000, 5000, 6000);
    SetSegmentRepeat(b.p, 0, 2, EditRules{link, 3, {}});
    EXPECT_EQ(b.p.data.Segment[0].Repeat, 2);
    EXPECT_EQ(b.Last(0, VOL), link ? 0 : 10000);
    EXPECT_EQ(b.Last(0, BEAT1), link ? 4000 : 6000);
    EXPECT_EQ(b.First(1, VOL), link ? 0 : 10000);
  }
}

TEST(Voices, AddCopiesFlattenedCurvesAndRedirectsTracking) {
  Built b({1, 1});
  b.Set(0, 36, 9000, 5000, 3000);  // beat frequency, user-defined
  b.At(0, VOL).ChannelMode = 2;
  b.At(0, VoicePidOf(0, VP_MODPERIOD)).TrackSource = PID_VISFREQ;
  ASSERT_EQ(AddVoice(b.p, 0, 0, EditRules{false, 2, {}}), 0);
  EXPECT_EQ(b.p.data.Segment[0].NumVoices, 2);
  const Param& beat = b.At(0, BEAT1);
  EXPECT_EQ(beat.NumNodes, 2);
  EXPECT_EQ(beat.Node[0].Value, 9000);
  EXPECT_EQ(beat.Node[1].Value, 9000);
  EXPECT_EQ(beat.Node[1].SweepTime, 10000);
  const Param& pitch = b.At(0, BEAT1 + 1);
  EXPECT_EQ(pitch.TrackSource, BEAT1);  // tracks its own voice now
  EXPECT_EQ(pitch.Node[1].Value, 45000);
  EXPECT_EQ(b.At(0, VOL1).ChannelMode, 1);
  EXPECT_EQ(b.At(0, VoicePidOf(1, VP_MODPERIOD)).TrackSource, PID_VISFREQ);  // outside the voice: kept
  for (int v = 2; v < MAXVOICES; ++v) ASSERT_EQ(AddVoice(b.p, 0, 0, b.link), 0);
  EXPECT_EQ(AddVoice(b.p, 0, 0, b.link), 1284);
  EXPECT_EQ(b.p.data.Segment[0].NumVoices, MAXVOICES);
}

TEST(Voices, ANewVoiceIsSilentWhereTheNeighboursLackIt) {
  Built b({1, 1, 1});
  ASSERT_EQ(AddVoice(b.p, 1, 0, b.link), 0);
  EXPECT_EQ(b.First(1, VOL1), 0);
  EXPECT_EQ(b.Last(1, VOL1), 0);
  EXPECT_EQ(b.First(1, VOL1 + 1), 0);  // the right channel follows
  EXPECT_EQ(b.At(1, VOL1).Node[1].Value, 10000);
  // With the voice in the next segment the end is linked instead.
  Built c({1, 2});
  c.Set(1, VOL1, 3000, 3000, 3000);
  ASSERT_EQ(AddVoice(c.p, 0, 0, c.link), 0);
  EXPECT_EQ(c.Last(1 - 1, VOL1), 10000);
  EXPECT_EQ(c.First(1, VOL1), 10000);
}

TEST(Voices, DeleteMovesLaterVoicesAndTheirSourcesDown) {
  Built b({4});
  Param* params = SegParams(b.p, 0);
  b.Set(0, VoicePidOf(2, 0), 1, 2, 3);
  params[PID_VISFREQ].TrackSource = static_cast<uint8_t>(VoicePidOf(2, 0));  // tracks voice 3's beat
  params[VoicePidOf(0, VP_MODPERIOD)].Tracking = 1;
  params[VoicePidOf(0, VP_MODPERIOD)].TrackSource = static_cast<uint8_t>(VoicePidOf(3, VP_MODPERIOD));
  int sel = -1;
  ASSERT_EQ(DeleteVoice(b.p, 0, 1, b.link, &sel), 0);
  EXPECT_EQ(sel, 1);
  EXPECT_EQ(b.p.data.Segment[0].NumVoices, 3);
  EXPECT_EQ(b.At(0, VoicePidOf(1, 0)).Node[1].Value, 2);  // voice 3 is voice 2 now
  EXPECT_EQ(params[PID_VISFREQ].TrackSource, VoicePidOf(1, 0));
  EXPECT_EQ(params[VoicePidOf(1, 1)].TrackSource, VoicePidOf(1, 0));  // its pitch too
  EXPECT_EQ(params[VoicePidOf(0, VP_MODPERIOD)].TrackSource, VoicePidOf(2, VP_MODPERIOD));
  // The last voice deleted: a parameter that tracked it stops tracking.
  ASSERT_EQ(DeleteVoice(b.p, 0, 2, b.link, &sel), 0);
  EXPECT_EQ(sel, 1);
  EXPECT_EQ(params[VoicePidOf(0, VP_MODPERIOD)].Tracking, 0);
  ASSERT_EQ(DeleteVoice(b.p, 0, 1, b.link, &sel), 0);
  EXPECT_EQ(DeleteVoice(b.p, 0, 0, b.link, &sel), 1282);
  EXPECT_EQ(b.p.data.Segment[0].NumVoices, 1);
}

TEST(Background, EndCheckOrderAndTheNoneBackground) {
  Built b({2});
  EXPECT_EQ(EndCheckPid(b.p), VOL);  // full volume by default
  for (int v = 0; v < 2; ++v)
    for (int c = 0; c < 2; ++c) b.Set(0, VoicePidOf(v, VP_VOLUME) + c, 100, 100, 0);
  b.Set(0, VOL1 + 1, 0, 0, 5);
  EXPECT_EQ(EndCheckPid(b.p), VOL1 + 1);
  b.Set(0, VOL1 + 1, 0, 0, 0);
  // Background Volume is full by default but the background is None.
  EXPECT_EQ(EndCheckPid(b.p), -1);
  b.p.data.Background = AMBIX_OTHER;
  EXPECT_EQ(EndCheckPid(b.p), PID_BGVOLUME);
  b.Set(0, PID_BGVOLUME, 0, 0, 0);
  b.Set(0, PID_BGVOLUME + 1, 0, 0, 0);
  b.Set(0, PID_NOISEVOL + 1, 0, 0, 1);
  EXPECT_EQ(EndCheckPid(b.p), PID_NOISEVOL + 1);
}

TEST(Background, ReductionAndRescaling) {
  Built b({1, 1});
  b.Set(1, PID_BGPARAM, 700, 800, 900);
  ReduceBackgroundParam(b.p);
  const Param& q = b.At(1, PID_BGPARAM);
  EXPECT_EQ(q.NumNodes, 2);
  EXPECT_EQ(q.Node[1].Value, 700);
  EXPECT_EQ(q.Node[1].SweepTime, 10000);
  EXPECT_EQ(b.At(0, PID_BGPARAM + 1).NumNodes, 2);

  // From "(Background Param not in use)" (0..100, 2 digits, no Easy group)
  // to a row of 1 digit, 0..50, Easy group 10: values scaled and clamped,
  // limits taken over, the Easy choice of another group replaced.
  ParamDefType oldRow = ParamDefSpare[0], newRow = ParamDefSpare[1];
  newRow.Digits = 1;
  newRow.Max = 50;
  b.Set(0, PID_BGPARAM, 2000, 9000, 100);
  b.At(1, PID_BGPARAM).EasySel = 42;  // a group-11 choice
  RescaleBackgroundParam(b.p, oldRow, newRow, 3);
  const Param& r = b.At(0, PID_BGPARAM);
  EXPECT_EQ(r.Node[0].Value, 200);
  EXPECT_EQ(r.Node[1].Value, 500);  // clamped to 50.0
  EXPECT_EQ(r.Node[2].Value, 10);
  EXPECT_EQ(r.MaxLimit, 50);
  EXPECT_EQ(b.At(0, PID_BGPARAM + 1).MaxLimit, 50);
  EXPECT_EQ(b.At(1, PID_BGPARAM).EasySel, 37);  // "Continuous", the first of group 10
  EXPECT_EQ(b.At(1, PID_BGPARAM).NumNodes, 3);
}

}  // namespace
