// `sonavel-cli play`: the main window's part of a playback on a terminal.
//
// The main thread runs a loop like the main window's: statuses, the end of
// the preset and the stopped device arrive through the engine's notice ring
// (its descriptor is polled), keys as messages from a reader thread. Space
// freezes and restarts; q, Esc or Ctrl+C stops once the queued sound has been
// heard (q or Esc again cuts it short).
#include "cli/cmd_play.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "cli/cliutil.h"
#include "cli/playargs.h"
#include "cli/progress.h"
#include "data/playback/audiothread.h"
#include "data/playback/devplay.h"
#include "data/playback/fade.h"
#include "data/playback/playevents.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"
#include "main/arith.h"
#include "main/duration.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"

namespace {

constexpr uint32_t WM_KEY = 0x8001;

struct PlayArgs {
  PresetSource Src;
  std::string Device = "default", Delay, Minutes, Background, Sleep, Fade;
  OutputFormat Format;
  int Blocks = 4;
  int StallMs = 0;  // soak runs: the loop sleeps this long once a second
  bool ImmediatePause = true, TimeCritical = false, Stats = false, SoftStop = true;
  CLI::App* Cmd = nullptr;
} gPlay;

plat::MsgQueue gMain;               // keys
std::atomic<bool> gKeyQuit{false};  // q or Esc during the calculation or the delay
std::atomic<bool> gReaderStop{false};
bool gTty = false;
int gShownLines = 0;  // status lines on screen, to redraw in place
int64_t gLastPlainPrint = -1;

// --- What the window shows --------------------------------------------------
void ShowStatus(const char* text) {
  if (gTty) {
    FinishProgress();  // the first text arrives under the calculation's bar
    if (gShownLines > 0) std::fprintf(stderr, "\x1b[%dF", gShownLines);
    std::fprintf(stderr, "\x1b[J%s", text);
    int n = 0;
    for (const char* p = text; *p; ++p) n += *p == '\n';
    if (text[0] && text[std::strlen(text) - 1] != '\n') {
      std::fprintf(stderr, "\n");
      n++;
    }
    gShownLines = n;
  } else {
    // Into a log: one text every ten seconds (records may change with
    // every block).
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    int64_t s = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    if (gLastPlainPrint >= 0 && s - gLastPlainPrint < 10) return;
    gLastPlainPrint = s;
    std::string t = text;
    if (!t.empty() && t.back() != '\n') t += '\n';
    std::fprintf(stderr, "%s", t.c_str());
  }
  std::fflush(stderr);
}

// --- Terminal ------------------------------------------------------------
struct Terminal {
  termios Saved{};
  bool Raw = false;
} gTerm;

void EnterRaw() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &gTerm.Saved) != 0) return;
  termios t = gTerm.Saved;
  t.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));  // keep ISIG: Ctrl+C stays a signal
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  gTerm.Raw = tcsetattr(STDIN_FILENO, TCSANOW, &t) == 0;
}

void LeaveRaw() {
  if (gTerm.Raw) tcsetattr(STDIN_FILENO, TCSANOW, &gTerm.Saved);
  gTerm.Raw = false;
}

void KeyReader() {
  while (!gReaderStop.load()) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int r = poll(&p, 1, 100);
    if (r <= 0) continue;
    unsigned char c;
    if (read(STDIN_FILENO, &c, 1) != 1) return;  // end of input: keys are over
    if (c == 'q' || c == 'Q' || c == 27) gKeyQuit.store(true);
    plat::PostMsg(gMain, WM_KEY, c, 0);
  }
}

// --- Progress ------------------------------------------------------------
PlaybackUi gTermUi;
int gDelayMax = 0;
int32_t gDelayTime = 0;  // the delay asked for (PlayDelayTime), shown as it starts
bool gDelaying = false;

void PlayShow(void* ctx, int caption, int max) {
  gDelaying = caption == 104;
  if (!gDelaying) {
    gTermUi.ShowProgress(ctx, caption, max);
    return;
  }
  FinishProgress();
  gDelayMax = max > 0 ? max : 1;
  std::fprintf(stderr, "%s\n", FormatPrintf(GetStr(104), FormatNumber(gDelayTime, 3, 3, 0, true)).c_str());
}

bool PlayProgress(void* ctx, int pos) {
  if (gDelaying) {
    if (gTty) std::fprintf(stderr, "\r%3d%%", static_cast<int>(static_cast<int64_t>(pos) * 100 / gDelayMax));
    return AbortRequested() || gKeyQuit.load();
  }
  return gTermUi.Progress(ctx, pos) || gKeyQuit.load();
}

void PrintStats(plat::WaveDevice* dev, plat::FakeWave* fake, int32_t lenOfBlocks) {
  int64_t worst = 0, blocks = 0;
  AudioBlockStats(&worst, &blocks);
  std::fprintf(stderr, "underruns: %lld\nblocks generated: %lld\nworst block generation: %.3f ms of %d ms blocks\n",
               static_cast<long long>(plat::WaveUnderruns(dev)), static_cast<long long>(blocks),
               static_cast<double>(worst) / 1000.0, lenOfBlocks);
  std::fprintf(stderr, "statuses dropped while the loop was busy: %lld\n",
               static_cast<long long>(PlayStatusesDropped()));
  static const char* const prio[] = {"real-time", "raised", "normal"};
  std::fprintf(stderr, "audio thread priority: %s\n", prio[AudioThreadPriority()]);
  if (fake)
    std::fprintf(stderr, "fake device's longest clock step: %.1f ms\n",
                 static_cast<double>(plat::FakeWorstStepUs(fake)) / 1000.0);
}

// The loop from the restarted device to the closed one.
int PlayLoop(PlaybackState& pb, plat::WaveDevice* dev, plat::FakeWave* fake, const AdvancedOptions& o,
             int32_t stopAfterMinutes, int stallMs) {
  bool stopping = false, finishing = false, frozen = false;
  int64_t start = plat::ClockMs(), lastStall = start;
  auto stop = [&] {
    if (!stopping) RequestStop();
    stopping = true;
  };
  // The first request lets the queued sound play out; a second one cuts it.
  auto finish = [&] {
    if (finishing) stop();
    finishing = true;
    RequestFinish();
  };
  bool interrupted = false;
  pollfd events{PlayEventFd(), POLLIN, 0};
  for (;;) {
    // Keys wait at most this long, notices not at all.
    poll(&events, 1, 50);
    if (stallMs > 0 && plat::ClockMs() - lastStall >= 1000) {
      // A window that is busy elsewhere (a repaint, a save, a dialog).
      plat::ClockSleep(stallMs);
      lastStall = plat::ClockMs();
    }
    if (AbortRequested() && !interrupted) {
      interrupted = true;
      finish();
    }
    if (!finishing && stopAfterMinutes > 0 && plat::ClockMs() - start >= int64_t(stopAfterMinutes) * 600) finish();
    PlayEvent e;
    while (TakePlayEvent(&e)) {
      switch (e.Kind) {
        case WM_PLAYSTATUS: {
          char text[1024], sleep[128];
          FormatPlayStatus(e.Status, text, sizeof text);
          std::string shown = text;
          if (FormatSleepLine(e.Status, sleep, sizeof sleep)) {
            if (!shown.empty() && shown.back() != '\n') shown += '\n';
            shown += sleep;
          }
          ShowStatus(shown.c_str());
          break;
        }
        case WM_PLAYEND: stop(); break;
        case WM_PLAYSTOPPED: {
          if (gPlay.Stats) PrintStats(dev, fake, o.LenOfBlocks);
          int error = plat::WaveClose(dev);
          if (error != plat::WAVE_OK && error != plat::WAVE_INVALHANDLE) {
            std::fprintf(stderr, "%s\n", GetStr(1306));
            return EXIT_REFUSED;
          }
          return EXIT_OK;
        }
        default: break;
      }
    }
    plat::Msg m;
    while (plat::GetMsgTimeout(gMain, &m, 0, nullptr)) {
      if (m.Id != WM_KEY) continue;
      if (m.WParam == ' ' && !stopping) {
        frozen = !frozen;
        RequestFreeze(pb, frozen, o.ImmediatePause != 0);
      } else if (m.WParam == 'q' || m.WParam == 'Q' || m.WParam == 27) {
        finish();
      }
    }
  }
}

int RunPlay() {
  PlayArgs& a = gPlay;
  Preset p{};
  int sessionRate = 0;
  if (int rc = LoadPresetFromSource(gPlay.Src, p, &sessionRate)) return rc;
  AdvancedOptions o;
  // A session's own rate (-r) unless --rate says otherwise.
  if (sessionRate >= 8000 && sessionRate <= 100000 && a.Cmd->get_option("--rate")->count() == 0)
    a.Format.Rate = sessionRate;
  ApplyOutputFormat(a.Format, o);
  o.MemoryBlocks = a.Blocks;
  o.ImmediatePause = a.ImmediatePause;
  o.ThreadTimeCritical = a.TimeCritical;
  uint32_t tick = 0;
  if (!a.Delay.empty()) {
    o.PlayDelayTime = ParseMinutesOption(a.Delay, 3, "--delay", false);
    if (o.PlayDelayTime < 0) {
      FreePreset(p);
      return EXIT_USAGE;
    }
    tick = PlayTickCount();
  }
  int32_t stopAfter = 0;
  if (!a.Minutes.empty() && (stopAfter = ParseMinutesOption(a.Minutes, 2, "--minutes", false)) < 0) {
    FreePreset(p);
    return EXIT_USAGE;
  }
  if (int rc = ApplyBackgroundOption(a.Background, p)) {
    FreePreset(p);
    return rc;
  }
  PlaybackFades fades;
  if (a.SoftStop) fades.FadeInMs = fades.StopFadeMs = SOFT_STOP_MS;
  if (!a.Sleep.empty() || !a.Fade.empty()) {
    // --sleep alone fades over a minute; --fade alone fades the preset's end.
    int64_t after = a.Sleep.empty() ? 0 : ParseDuration(a.Sleep, 60000);
    int64_t fade = a.Fade.empty() ? 60000 : ParseDuration(a.Fade, 1000);
    if (after < 0 || (after == 0 && !a.Sleep.empty()) || fade < 0 || fade > INT32_MAX) {
      bool sleep = after <= 0 && !a.Sleep.empty();
      std::fprintf(stderr, "%s: '%s' is not a length of time (write 30m, 90s or 1h30m).\n",
                   sleep ? "--sleep" : "--fade", sleep ? a.Sleep.c_str() : a.Fade.c_str());
      FreePreset(p);
      return EXIT_USAGE;
    }
    fades.Sleep = a.Sleep.empty() ? SLEEP_AT_END : SLEEP_AFTER;
    fades.SleepAfterMs = after;
    fades.SleepFadeMs = static_cast<int32_t>(fade);
  }
  std::string background = p.data.BackgroundFile;

  gTty = isatty(STDERR_FILENO) != 0;
  plat::ResetMsgQueue(gMain);
  PlaybackWindow w;
  // The record the audio thread plays on; it outlives the thread, which ends
  // below. On the heap: it holds the device's block headers.
  auto playbackOwned = std::make_unique<PlaybackState>();
  PlaybackState& playback = *playbackOwned;
  playback.AudioStrobeOn.store(a.Format.Strobe ? 1 : 0);
  if (!CreateAudioThread(w, o.ThreadTimeCritical != 0)) {
    FreePreset(p);
    std::fprintf(stderr, "%s\n", GetStr(1257));
    return EXIT_REFUSED;
  }
  plat::SetEvent(hWaveEvent);
  plat::WaitEvent(hWaveEvent2, 6000);

  plat::WaveTarget target;
  plat::FakeWave* fake = nullptr;
  if (a.Device == "fake") {
    // A sink that plays at the pace of real time and keeps nothing.
    plat::FakeWaveConfig fc;
    fc.Record = false;
    fc.Paced = true;
    fake = plat::CreateFakeWave(fc);
    target.Fake = fake;
  } else {
    target.Pcm = a.Device;
  }
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  int rc = OpenWaveDevice(target, o.SamplesPerSec, o.Bits16 != 0, &dev, &code);
  int result = EXIT_OK;
  if (rc) {
    std::fprintf(stderr, "%s\n", FormatMsg(rc, {code}).c_str());
    // The program looked at one ALSA device only.
    if (rc == 1263)
      std::fprintf(stderr, "No ALSA device '%s' could be opened: --device picks another one (aplay -L lists them).\n",
                   Shown(a.Device).c_str());
    result = EXIT_REFUSED;
  } else {
    playback.FreezeState.store(0);
    SetStatusDisplay(true);
    ResetAudioBlockStats();
    gTermUi = TerminalProgress();
    PlaybackUi ui;
    ui.ShowProgress = PlayShow;
    ui.Progress = PlayProgress;
    gReaderStop = false;
    gKeyQuit = false;
    EnterRaw();
    std::thread reader(KeyReader);
    if (gTty) std::fprintf(stderr, "Space: freeze/restart, q: stop (twice: at once)\n");
    gDelayTime = o.PlayDelayTime;
    rc = StartPlayback(playback, dev, p, o, fades, nullptr, 0, tick, &ui);
    FinishProgress();
    if (gDelaying && gTty && rc != 0) std::fprintf(stderr, "\n");
    if (rc == 0) {
      result = PlayLoop(playback, dev, fake, o, stopAfter, a.StallMs);
    } else {
      plat::WaveReset(dev);
      plat::WaveClose(dev);
      // Stopped by the user before the sound began: not a failure.
      if (rc != -1 && rc != 85) {
        std::fprintf(stderr, "%s\n", PlayResultText(rc, background, "", "").c_str());
        result = EXIT_REFUSED;
      }
    }
    gReaderStop = true;
    reader.join();
    LeaveRaw();
  }
  plat::PostQuit(gMain);
  EndAudioThread();
  if (fake) plat::DestroyFakeWave(fake);
  FreePreset(p);
  return result;
}

}  // namespace

void RegisterPlayCommand(CLI::App& app) {
  PlayArgs& a = gPlay;
  CLI::App* r = app.add_subcommand("play", "play a preset in real time (Space freezes, q stops)");
  a.Cmd = r;
  AddPresetSource(r, a.Src);
  r->add_option("--device", a.Device, "ALSA PCM to play on (\"fake\": a silent real-time sink)");
  AddOutputFormat(r, a.Format, 8000);
  WholeNumber(r->add_option("--blocks", a.Blocks, "blocks queued on the device"), 2, MAXWAVEBLOCKS);
  r->add_flag("--immediate-pause,!--no-immediate-pause", a.ImmediatePause,
              "freezing takes effect at once by dropping the queued blocks (default on)");
  r->add_option("--delay", a.Delay, "wait this many minutes before playing");
  r->add_option("--minutes", a.Minutes, "stop after this many minutes");
  r->add_option("--sleep", a.Sleep,
                "sleep timer: fade out and stop this long after the start (30m, 1h30m, 90 = minutes)");
  r->add_option("--fade", a.Fade,
                "the sleep timer's fade-out (60s, 2m, 90 = seconds; default 60s); without --sleep the preset's "
                "end fades out");
  r->add_flag("--soft-stop,!--no-soft-stop", a.SoftStop,
              "fade in at the start and out when stopped, over 40 ms, instead of cutting the wave (default on)");
  r->add_option("--background", a.Background,
                "a sound file (WAV, FLAC, Ogg Vorbis, Opus, MP3) to play as the background instead of the preset's");
  r->add_flag("--time-critical", a.TimeCritical, "real-time priority for the audio thread where permitted");
  r->add_flag("--stats", a.Stats, "print underruns and the worst block generation time at the end");
  // Soak runs: the loop that shows the statuses stalls like a busy window.
  WholeNumber(r->add_option("--stall-ms", a.StallMs, "sleep this long once a second in the loop (soak runs)"), 0, 900)
      ->group("");
}

int RunPlayCommand() {
  if (!gPlay.Cmd || !*gPlay.Cmd) return -1;
  return RunPlay();
}
