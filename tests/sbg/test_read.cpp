// Reading sessions: the corpus under tests/data/sbg imports into valid
// presets of the right length and voices with warnings on the right lines;
// the malformed ones are refused at the right place; times resolve as the
// format says.
#include <string>
#include <vector>

#include "sbg/session.h"
#include "sbgtest.h"

namespace {

struct CorpusCase {
  const char* File;
  double Minutes;  // first to last time line
  int Voices;
  std::vector<int> WarningLines;
  const char* Description;  // its first line, "" for none
};

// Every curve of every segment: 2-100 nodes from time 0 to 10000, never
// going back.
void ExpectWellFormed(const Preset& p, const char* file) {
  ASSERT_GE(p.data.NumSegments, 1) << file;
  ASSERT_LE(p.data.NumSegments, MAXSEGMENTS) << file;
  for (int s = 0; s < p.data.NumSegments; ++s) {
    const Segment& seg = p.data.Segment[s];
    EXPECT_GE(seg.Length, 1) << file;
    for (int pid = 0; pid < SegParamCount(seg); ++pid) {
      const Param& q = SegParams(p, s)[pid];
      ASSERT_GE(q.NumNodes, 2) << file << " segment " << s << " pid " << pid;
      ASSERT_LE(q.NumNodes, MAXNODES) << file;
      EXPECT_EQ(q.Node[0].SweepTime, 0) << file << " pid " << pid;
      EXPECT_EQ(q.Node[q.NumNodes - 1].SweepTime, 10000) << file << " pid " << pid;
      for (int i = 1; i < q.NumNodes; ++i) EXPECT_LE(q.Node[i - 1].SweepTime, q.Node[i].SweepTime) << file;
    }
  }
}

TEST(SbgCorpus, EverySessionImportsWithItsLengthVoicesAndWarnings) {
  const std::vector<CorpusCase> cases = {
      {"alloff.sbg", 3, 2, {}, "'alloff' is silence"},
      {"basic.sbg", 6, 1, {}, "Basic session"},
      {"blocks.sbg", 6, 1, {}, "Blocks: bursts"},
      {"channels.sbg", 4, 8, {}, "Fourteen channels"},
      {"clock.sbg", 6, 1, {}, "Clock times"},
      {"crlf.sbg", 2, 1, {}, "Windows line ends"},
      {"fades.sbg", 8, 1, {}, "Fade marks"},
      {"isochronic.sbg", 3, 1, {}, "Isochronic tones"},
      {"leftout.sbg", 4, 1, {3, 4, 5, 6}, "Bells, spinning noise"},
      {"mix.sbg", 4, 1, {}, "A background file"},
      {"nested-relative.sbg", 4, 1, {}, "Relative times"},
      {"noise.sbg", 4, 1, {5}, "Noise colours"},
      {"normalize.sbg", 4, 2, {}, "Sets louder"},
      {"options.sbg", 2, 1, {2, 5, 5, 6}, "Options"},
      {"slides.sbg", 6, 1, {}, "A tape"},
      {"tentones.sbg", 2, 10, {}, "Ten tones"},
      {"waveforms.sbg", 4, 1, {6}, "Waveform prefixes"},
  };
  for (const CorpusCase& c : cases) {
    Imported im(c.File);
    ASSERT_TRUE(im.Ok) << c.File << ": " << im.Info.Error.Text;
    ExpectWellFormed(im.P, c.File);
    // Whole 0.6 s steps of segment length, the session's length rounded up.
    EXPECT_NEAR(LengthSeconds(im.P), c.Minutes * 60, 0.6) << c.File;
    EXPECT_GE(LengthSeconds(im.P), c.Minutes * 60) << c.File;
    EXPECT_EQ(Voices(im.P), c.Voices) << c.File;
    std::vector<int> lines;
    for (const SbgMessage& w : im.Info.Warnings) lines.push_back(w.Line);
    EXPECT_EQ(lines, c.WarningLines) << c.File;
    EXPECT_EQ(std::string(im.P.Description).rfind(c.Description, 0), 0u) << c.File << ": " << im.P.Description;
    EXPECT_EQ(im.P.data.ContinuePlaying, 0) << c.File;
  }
}

TEST(SbgCorpus, OptionsWithAMeaningAreApplied) {
  Imported opt("options.sbg");
  ASSERT_TRUE(opt.Ok);
  EXPECT_EQ(opt.Info.Rate, 22050);
  Imported mix("mix.sbg");
  ASSERT_TRUE(mix.Ok);
  EXPECT_EQ(mix.P.data.Background, AMBIX_OTHER);
  EXPECT_EQ(std::string(mix.P.data.BackgroundFile), Corpus("rain.ogg"));
}

struct BadCase {
  const char* File;
  int Line, Column;
  const char* Expected;
};

TEST(SbgCorpus, MalformedSessionsAreRefusedAtTheirPlace) {
  const std::vector<BadCase> cases = {
      {"bad/undefined.sbg", 3, 8, "'b' is not defined"},
      {"bad/bad-time.sbg", 4, 5, "minutes 0-59 expected"},
      {"bad/no-colon.sbg", 1, 2, "':' expected after the name 'a'"},
      {"bad/unterminated.sbg", 3, 1, "'}' expected to end the block 'burst'"},
      {"bad/no-amplitude.sbg", 1, 18, "'/amplitude' expected after '200+10'"},
      {"bad/relative-first.sbg", 3, 1, "an absolute time (NOW or hh:mm) expected"},
      {"bad/eleven-tones.sbg", 1, 87, "at most 10 tones at once"},
      {"bad/backwards.sbg", 5, 1, "goes backwards"},
      {"bad/one-line.sbg", 2, 1, "a second time line expected"},
      {"bad/bad-tone.sbg", 1, 7, "'+beat', '-beat', '@pulse' or '/amplitude' expected"},
  };
  for (const BadCase& c : cases) {
    Imported im(c.File);
    EXPECT_FALSE(im.Ok) << c.File;
    EXPECT_EQ(im.P.ParamMem, nullptr) << c.File;
    EXPECT_EQ(im.Info.Error.Line, c.Line) << c.File;
    EXPECT_EQ(im.Info.Error.Column, c.Column) << c.File;
    EXPECT_NE(im.Info.Error.Text.find(c.Expected), std::string::npos) << c.File << ": " << im.Info.Error.Text;
    EXPECT_EQ(SbgMessageText("x.sbg", im.Info.Error).rfind("x.sbg:" + std::to_string(c.Line) + ":", 0), 0u);
  }
}

struct TimesCase {
  const char* Text;
  std::vector<double> Seconds;  // of each time line, first at 0
  std::vector<bool> Slides;
};

TEST(SbgRead, TimesResolveAsTheFormatSays) {
  const char* sets = "a: 200+4/10\nb: 300+4/10\n";
  const std::vector<TimesCase> cases = {
      // Clock times run on through midnight.
      {"23:59:55 == a ->\n0:00 == b ->\n0:06 a\n", {0, 5, 365}, {true, true, false}},
      // Relative times count from the last absolute time, not the last line.
      {"NOW+00:10 a\n+00:20 b\n+00:30 a\n", {0, 600, 1200}, {false, false, false}},
      {"NOW+04:00+01:12:04 a\n12:00+00:00:20 b\n", {}, {}},  // NOW and clock times do not mix
      {"12:00+00:00:20 a\n12:01:00 b\n+00:02:30 a\n", {0, 40, 190}, {false, false, false}},
      // Blocks stamp their lines at the calling line's time, nested too.
      {"x: {\n +00:00 a\n +00:01 b ->\n}\ny: {\n +0:00 x\n +0:05 x\n}\nNOW y\n+00:20 a\n",
       {0, 60, 300, 360, 1200},
       {false, true, false, true, false}},
      // Seconds and a fade mark; "->" may touch the name.
      {"NOW <> a->\n+00:00:30 -= b\n", {0, 30}, {true, false}},
      // 'alloff' is silence unless defined.
      {"NOW a\n+00:01 alloff\n", {0, 60}, {false, false}},
  };
  for (const TimesCase& c : cases) {
    sbg::Session s;
    std::vector<SbgMessage> w;
    SbgMessage e;
    bool ok = sbg::ParseSession(std::string(sets) + c.Text, &s, &w, &e);
    if (c.Seconds.empty()) {
      EXPECT_FALSE(ok) << c.Text;
      continue;
    }
    ASSERT_TRUE(ok) << c.Text << ": " << e.Text;
    std::vector<double> got;
    std::vector<bool> slides;
    for (const sbg::TimeLine& l : s.Lines) {
      got.push_back(l.Ms / 1000);
      slides.push_back(l.Slide);
    }
    EXPECT_EQ(got, c.Seconds) << c.Text;
    EXPECT_EQ(slides, c.Slides) << c.Text;
  }
}

TEST(SbgRead, FadeMarksAndTonesAreReadAsWritten) {
  sbg::Session s;
  std::vector<SbgMessage> w;
  SbgMessage e;
  ASSERT_TRUE(
      sbg::ParseSession("t: square:150.5-4.25/12.5 triangle:300@8/10 brown/20 - mix/30\n"
                        "NOW <= t\n+00:01 => t ->\n",
                        &s, &w, &e))
      << e.Text;
  ASSERT_EQ(s.Sets.size(), 1u);
  const auto& ch = s.Sets[0].Channels;
  ASSERT_EQ(ch.size(), 5u);
  EXPECT_EQ(ch[0].Kind, sbg::ToneKind::Binaural);
  EXPECT_EQ(ch[0].Shape, sbg::Wave::Square);
  EXPECT_DOUBLE_EQ(ch[0].Carrier, 150.5);
  EXPECT_DOUBLE_EQ(ch[0].Beat, -4.25);
  EXPECT_DOUBLE_EQ(ch[0].Amp, 12.5);
  EXPECT_EQ(ch[1].Kind, sbg::ToneKind::Isochronic);
  EXPECT_EQ(ch[1].Shape, sbg::Wave::Triangle);
  EXPECT_DOUBLE_EQ(ch[1].Beat, 8);
  EXPECT_EQ(ch[2].Kind, sbg::ToneKind::Noise);
  EXPECT_EQ(ch[2].Color, sbg::NoiseColor::Brown);
  EXPECT_EQ(ch[3].Kind, sbg::ToneKind::Off);
  EXPECT_EQ(ch[4].Kind, sbg::ToneKind::Mix);
  ASSERT_EQ(s.Lines.size(), 2u);
  EXPECT_EQ(s.Lines[0].FadeIn, '<');
  EXPECT_EQ(s.Lines[0].FadeOut, '=');
  EXPECT_EQ(s.Lines[1].FadeIn, '=');
  EXPECT_EQ(s.Lines[1].FadeOut, '>');
  EXPECT_TRUE(s.Lines[1].Slide);
}

}  // namespace
