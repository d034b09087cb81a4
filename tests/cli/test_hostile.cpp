// The command-line tool on what an ordinary user or a hostile neighbour can
// hand it: damaged background sounds (streamed, cut, appended, lying
// headers, very high and very low rates), FIFOs and devices where a file is
// read, endless standard input, arguments with control characters. Each
// case runs the real program and checks its outcome and its peak memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "main/strtab.h"

namespace {

namespace fs = std::filesystem;

struct CliResult {
  int Code = -1;  // the exit code; 128 + signal when killed
  std::string Err;
  long PeakKb = 0;
};

// Runs sonavel-cli with `args` through a shell (for redirections), fed by
// the command `feed` when there is one, with a time-out, and takes the peak
// resident memory of the processes.
CliResult HostileCli(const std::string& dir, const std::string& args, const std::string& feed = "") {
  std::string errPath = dir + "/stderr.txt";
  std::string cmd = (feed.empty() ? "" : feed + " | ") + "exec timeout 120 " + std::string(SONAVEL_BIN_DIR) +
                    "/sonavel-cli " + args + " 2>" + errPath;
  CliResult r;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage ru{};
  if (::wait4(pid, &status, 0, &ru) != pid) return r;
  r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.PeakKb = ru.ru_maxrss;
  std::ifstream e(errPath);
  r.Err.assign(std::istreambuf_iterator<char>(e), {});
  return r;
}

bool Sh(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

std::vector<unsigned char> Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}
void Put(const std::string& path, const std::vector<unsigned char>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// A FLAC file whose header says `rate` and `frames` (STREAMINFO; frames 0 is
// what a streaming encoder leaves, "not known").
void SetStreamInfo(std::vector<unsigned char>& f, uint64_t rate, uint64_t frames) {
  ASSERT_GE(f.size(), 42u);
  ASSERT_EQ(std::string(f.begin(), f.begin() + 4), "fLaC");
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i) v = v << 8 | f[18 + i];
  const uint64_t keep = v & (uint64_t(0xFF) << 36);  // channels and bits
  v = rate << 44 | keep | (frames & 0xFFFFFFFFFULL);
  for (size_t i = 8; i-- > 0; v >>= 8) f[18 + i] = static_cast<unsigned char>(v);
  std::fill(f.begin() + 26, f.begin() + 42, 0);  // the MD5 of the whole stream
}

// A mono 16-bit WAV file of `frames` frames at 1 Hz.
std::vector<unsigned char> OneHertzWave(uint32_t frames) {
  std::vector<unsigned char> b;
  b.reserve(44 + 2 * size_t{frames});
  auto put = [&b](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  auto tag = [&b](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(t[i]));
  };
  tag("RIFF"), put(36 + 2 * frames, 4), tag("WAVE");
  tag("fmt "), put(16, 4), put(1, 2), put(1, 2), put(1, 4), put(2, 4), put(2, 2), put(16, 2);
  tag("data"), put(2 * frames, 4);
  for (uint32_t i = 0; i < frames; ++i) put(i * 97 % 20000, 2);
  return b;
}

class Hostile : public ::testing::Test {
 protected:
  static std::string Dir;
  static void SetUpTestSuite() {
    char t[] = "/tmp/sonavel-hostile-XXXXXX";
    Dir = ::mkdtemp(t);
    const std::string cli = std::string(SONAVEL_BIN_DIR) + "/sonavel-cli";
    // A preset, and the sounds: made here, the large ones never kept.
    ASSERT_TRUE(Sh(cli + " new -o " + Dir + "/p.tvk"));
    ASSERT_TRUE(
        Sh(cli + " render " + Dir + "/p.tvk --index 0 --minutes 0.05 --seed 1 -o " + Dir + "/ok.opus 2>/dev/null"));
    const std::string sox = "sox -D -n -r 44100 -c 2 ";
    ASSERT_TRUE(Sh(sox + "-b 16 -t flac - synth 2 sine 440 2>/dev/null | cat > " + Dir + "/streamed.flac"));
    ASSERT_TRUE(Sh(sox + "-b 16 " + Dir + "/ok.flac synth 2 sine 440"));
    ASSERT_TRUE(Sh(sox + Dir + "/ok.ogg synth 2 sine 440"));
    ASSERT_TRUE(Sh(sox + "-b 24 " + Dir + "/w24.wav synth 1 sine 440"));
    ASSERT_TRUE(Sh(sox + "-b 16 -t wav - synth 1 sine 440 2>/dev/null | cat > " + Dir + "/streamed.wav"));
    // 30 s at 768 kHz (silence, a small file): 92 MB as 16-bit frames.
    ASSERT_TRUE(Sh("sox -D -n -r 768000 -c 2 -b 16 -C 0 " + Dir + "/hi.flac synth 30 sine 0 vol 0"));
    // 20000 frames at 1 Hz: 40 KB of data, five and a half hours.
    Put(Dir + "/onehz.wav", OneHertzWave(20000));
    std::vector<unsigned char> b = Bytes(Dir + "/ok.flac");
    std::vector<unsigned char> cut(b.begin(), b.begin() + std::ptrdiff_t(b.size() / 2));
    Put(Dir + "/cut.flac", cut);
    SetStreamInfo(b, 1048575, 2900000000ULL);
    Put(Dir + "/lying.flac", b);
    for (const char* ext : {"ogg", "opus"}) {
      std::vector<unsigned char> o = Bytes(Dir + "/ok." + ext);
      ASSERT_GT(o.size(), 1000u);
      Put(Dir + "/cut1." + ext, {o.begin(), o.end() - 1});
      for (int i = 0; i < 1000; ++i) o.push_back(static_cast<unsigned char>(i * 37 + 11));
      Put(Dir + "/appended." + ext, o);
    }
    // A 24-bit file whose data chunk is gone: damaged, not of a refused format.
    std::vector<unsigned char> w = Bytes(Dir + "/w24.wav");
    std::string text(w.begin(), w.end());
    ASSERT_NE(text.find("data"), std::string::npos);
    Put(Dir + "/w24-nodata.wav", {w.begin(), w.begin() + std::ptrdiff_t(text.find("data"))});
    ASSERT_EQ(::mkfifo((Dir + "/fifo").c_str(), 0600), 0);
  }
  static void TearDownTestSuite() { fs::remove_all(Dir); }
};
std::string Hostile::Dir;

// Every shape of background file: the outcome, and at most the converted
// sound held (a 768 kHz source is never held whole), far below 1.2 GB.
TEST_F(Hostile, BackgroundShapesGiveTheirOutcomeInBoundedMemory) {
  const CliResult plain = HostileCli(Dir, "render " + Dir + "/p.tvk --index 0 --minutes 0.02 -o /dev/null");
  ASSERT_EQ(plain.Code, 0) << plain.Err;
  struct Case {
    const char* File;
    const char* Says;  // "" plays; else a part of the message
  } cases[] = {
      {"streamed.flac", ""},  // header: 0 frames, "not known"
      {"cut.flac", ""},       // plays what it has
      {"cut1.ogg", ""},
      {"appended.ogg", ""},
      {"cut1.opus", ""},
      {"appended.opus", ""},
      {"lying.flac", ""},  // header: 1,048,575 Hz and 2.9e9 frames
      {"hi.flac", ""},
      {"streamed.wav", ""},  // data size 0x7FFFF000
      {"onehz.wav", "has too few samples per second to be played"},
      {"w24-nodata.wav", "Unable to read the background file"},
      {"fifo", "Unable to open the background file"},
  };
  for (const Case& c : cases) {
    CliResult r = HostileCli(Dir, "render " + Dir + "/p.tvk --index 0 --minutes 0.02 --seed 1 --background " + Dir +
                                      "/" + c.File + " -o /dev/null");
    EXPECT_EQ(r.Code, *c.Says ? 1 : 0) << c.File << ": " << r.Err;
    if (*c.Says) {
      EXPECT_NE(r.Err.find(c.Says), std::string::npos) << c.File << ": " << r.Err;
    }
    EXPECT_EQ(r.Err.find("8 or 16 bits"), std::string::npos) << c.File;
    EXPECT_LT(r.PeakKb, 1200L * 1024) << c.File;
    // The 768 kHz source is 92 MB as frames; 30 s at 44100 Hz are 5 MB.
    EXPECT_LT(r.PeakKb - plain.PeakKb, 48L * 1024) << c.File;
  }
}

// FIFOs and devices where a file is read are refused at once; standard input
// is read with "-", as far as a valid file goes.
TEST_F(Hostile, PipesDevicesAndStandardInput) {
  const std::string json = Dir + "/one.json";
  const std::string cli = std::string(SONAVEL_BIN_DIR) + "/sonavel-cli";
  ASSERT_TRUE(Sh(cli + " show " + Dir + "/p.tvk --index 0 --json > " + json));
  struct Case {
    std::string Args;
    int Code;
    const char* Says;  // a part of stderr
    std::string Feed = "";
  } cases[] = {
      {"list " + Dir + "/fifo", 1, "It is not a regular file."},
      {"show " + Dir + "/fifo --index 0", 1, "It is not a regular file."},
      {"build /dev/zero -o " + Dir + "/x.tvk", 1, "It is not a regular file."},
      {"convert " + Dir + "/fifo -o " + Dir + "/x.tvk", 1, "It is not a regular file."},
      {"store --dir " + Dir + "/store import " + Dir + "/fifo", 1, "It is not a regular file."},
      {"list - < " + Dir + "/p.tvk", 0, ""},
      {"build - -o " + Dir + "/y.tvk < " + json, 0, ""},
      // Endless input: read no further than the header says it is no preset
      // file, or than a JSON file may be.
      {"list - < /dev/zero", 1, "is not a Sonavel file"},
      {"build - -o " + Dir + "/z.tvk < /dev/zero", 1, "not valid JSON"},
      {"build - -o " + Dir + "/z.tvk", 1, "larger than a JSON file", "(echo [; yes 1,)"},
  };
  for (const Case& c : cases) {
    CliResult r = HostileCli(Dir, c.Args, c.Feed);
    EXPECT_EQ(r.Code, c.Code) << c.Args << ": " << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << c.Args << ": " << r.Err;
    EXPECT_LT(r.PeakKb, 1200L * 1024) << c.Args;
  }
  EXPECT_EQ(Bytes(Dir + "/y.tvk"), Bytes(Dir + "/p.tvk"));
}

// An argument echoed in a message is one line, its control characters
// escaped as names from files are.
TEST_F(Hostile, EchoedArgumentsAreEscaped) {
  const std::string odd = "'" + Dir + "/a\x1b[31mb\nc'";
  for (const std::string& args : {"list " + odd, "render " + Dir + "/p.tvk --index 0 -o " + odd + ".xyz",
                                  "render " + Dir + "/p.tvk --index 0 -o x.wav --minutes " + odd}) {
    CliResult r = HostileCli(Dir, args);
    EXPECT_NE(r.Code, 0) << args;
    EXPECT_EQ(r.Err.find('\x1b'), std::string::npos) << args << ": " << r.Err;
    EXPECT_NE(r.Err.find("a\\x1B[31mb\\nc"), std::string::npos) << args << ": " << r.Err;
  }
}

}  // namespace
