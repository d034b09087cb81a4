// The main window's playback commands: play, play with delay, stop,
// freeze, play into a WAV file, the visual modes and the status display.
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "data/backgrounds/bgload.h"
#include "data/playback/audiothread.h"
#include "data/playback/devplay.h"
#include "data/playback/fade.h"
#include "data/synthesis/state.h"
#include "dialog/FileDialog.h"
#include "dialog/LightCheckDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/PlayDelayDialog.h"
#include "dialog/PlayWavDialog.h"
#include "dialog/SleepTimerDialog.h"
#include "dialog/WarningBox.h"
#include "dialog/strids.h"
#include "lightchk/lightcmp.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "mwnd/EngineLink.h"
#include "mwnd/Flashing.h"
#include "mwnd/MainWindow.h"
#include "mwnd/ProgressLine.h"
#include "platform/regfile.h"
#include "platform/riff.h"
#include "platform/soundfile.h"
#include "reg/settings.h"

const plat::WaveTarget* TestWaveTarget();

namespace {

constexpr int UI_PLAYING = 2, UI_FROZEN = 4, UI_SHOWPARAMS = 8, UI_VISUAL = 16;

// Whether any segment sets the visual parameters apart for the two eyes,
// which on-screen flashing cannot show.
bool HasLeftRightVisual(const Preset& p) {
  static constexpr int kPids[] = {PID_VISFREQ, PID_VISBRIGHT, PID_VISMODDEPTH, PID_VISMODPERIOD};
  for (int s = 0; s < p.data.NumSegments; ++s) {
    const Param* params = SegParams(p, s);
    if (!params) continue;
    for (int pid : kPids)
      if (params[pid].ChannelMode != 0) return true;
  }
  return false;
}

// The fades and the sleep timer of a start, from the listening settings.
PlaybackFades ListeningFades(const ListeningSettings& l) {
  PlaybackFades f;
  if (l.SoftStartStop) f.FadeInMs = f.StopFadeMs = SOFT_STOP_MS;
  f.Sleep = l.SleepTimer == SLEEP_AFTER || l.SleepTimer == SLEEP_AT_END ? l.SleepTimer : SLEEP_OFF;
  f.SleepAfterMs = int64_t{std::max(l.SleepMinutes, 1)} * 60000;
  f.SleepFadeMs = std::clamp(l.SleepFadeSeconds, 0, 3600) * 1000;
  return f;
}

// Length of a file the codec library reads, in hundredths of a minute
// (rounded up), or 0.
int32_t DecodedFileMinutes(const char* path) {
  plat::DecodedSound info;
  std::string reason;
  plat::SoundReader* r = plat::DecoderOpen(path, &info, &reason);
  if (!r) return 0;
  plat::DecoderClose(r);
  // A length the header does not know (-1) is none; one it makes up is
  // bounded before the arithmetic.
  if (info.Frames <= 0 || info.Rate <= 0) return 0;
  const int64_t most = int64_t(info.Rate) * 60 * 600;  // 600 minutes, the most told
  if (info.Frames >= most) return 60000;
  int64_t hundredths = (info.Frames * 100 + int64_t(info.Rate) * 60 - 1) / (int64_t(info.Rate) * 60);
  return static_cast<int32_t>(std::min<int64_t>(hundredths, 60000));
}

// Length of a background file in hundredths of a minute (rounded up), or 0
// when it cannot be read: a WAV file by its header, others decoded.
int32_t WavFileMinutes(const char* path) {
  // Only a regular file, opened without waiting: a FIFO would hold the
  // window.
  int fd = plat::OpenRegularFile(path);
  if (fd < 0) return 0;
  std::vector<unsigned char> head(65536);
  size_t n = 0;
  for (ssize_t r; n < head.size() && (r = ::read(fd, head.data() + n, head.size() - n)) > 0;) n += size_t(r);
  ::close(fd);
  plat::RiffChunk riff, fmt, data;
  if (n < 12 || !plat::RiffFind(head.data(), n, "RIFF", &riff) || riff.Size < 4) return DecodedFileMinutes(path);
  const unsigned char* body = riff.Data + 4;
  size_t size = riff.Size - 4;
  if (!plat::RiffFind(body, size, "fmt ", &fmt) || fmt.Size < 16 || !plat::RiffFind(body, size, "data", &data))
    return 0;
  uint32_t byteRate = plat::GetLE32(fmt.Data + 8);
  if (byteRate == 0) return 0;
  int64_t hundredths = (int64_t(data.DeclaredSize) * 100 + int64_t(byteRate) * 60 - 1) / (int64_t(byteRate) * 60);
  return static_cast<int32_t>(std::min<int64_t>(hundredths, 60000));
}

}  // namespace

void MainWindow::cmdCheckLight() {
  QString file =
      FileDialog::openFile(this, tr("Select Sound File to Check"), strid::SoundFileFilter, QStringLiteral("wav"));
  if (file.isEmpty()) return;
  // The selected preset's curves are offered to lay over the light.
  const Preset* preset = nullptr;
  if (SelProgram >= 0 && SelProgram < NumPrograms) {
    StoreUi ui = storeUi();
    if (EnsureLoaded(SelProgram, &ui) == 0) preset = &Program[SelProgram];
  }
  LightLevels levels{Cfg.Advanced.AudioStrobeZeroLevel, Cfg.Advanced.AudioStrobeMaxLevel};
  LightCheckDialog::checkFile(this, file, levels, preset);
}

plat::WaveTarget MainWindow::waveTarget() {
  plat::WaveTarget target;
  if (TestWaveTarget()) {
    target = *TestWaveTarget();
  } else if (Cfg.Device == "fake") {
    // As with the command-line tool: a silent sink that keeps real time.
    if (!PacedSink) {
      plat::FakeWaveConfig c;
      c.Record = false;
      c.Paced = true;
      PacedSink = plat::CreateFakeWave(c);
    }
    target.Fake = PacedSink;
  } else {
    target.Pcm = Cfg.Device;
  }
  return target;
}

std::string MainWindow::backgroundName(const Preset& p) const {
  int bg = p.data.Background;
  if (bg == AMBIX_OTHER || bg == AMBIX_LONG)
    return QFileInfo(QString::fromUtf8(p.data.BackgroundFile)).fileName().toStdString();
  return FormatPrintf(GetStr(strid::BackgroundFileEntry), p.data.BackgroundFile, bg);
}

void MainWindow::cmdPlay() {
  if (!Playing) startPlaying(0);
}

void MainWindow::cmdPlayDelay() {
  if (Playing) return;
  if (!PlayDelayDialog::askPlayDelay(this, &Cfg.Advanced.PlayDelayTime)) return;
  startPlaying(PlayTickCount());
}

void MainWindow::cmdStop() {
  // During the play delay Stop cancels it, as Esc does.
  if (Progress->active() && Progress->captionId() == 104) {
    Progress->requestAbort();
    return;
  }
  if (Playing) RequestStop();
}

void MainWindow::cmdFreeze() {
  if (!Playing) return;
  // The window's own view: 1 or 2 is frozen (or about to be), 0 or -1
  // running, so the button shows at once what was asked for.
  bool freeze = freezeState() <= 0;
  RequestFreeze(Link->playback(), freeze, Link->playback().Options.ImmediatePause != 0);
  updateUi(UI_FROZEN);
}

void MainWindow::cmdSleepTimer() {
  ListeningSettings l = Cfg.Listening;
  if (!SleepTimerDialog::askSleepTimer(this, &l)) return;
  Cfg.Listening = l;
  // A timer set while playing counts from now.
  if (Playing)
    RequestSleep(l.SleepTimer, int64_t{l.SleepMinutes} * 60000,
                 l.SleepTimer == SLEEP_OFF ? 0 : l.SleepFadeSeconds * 1000);
  updateUi(0);
}

void MainWindow::cmdShowParams() {
  Cfg.ShowParams = Cfg.ShowParams ? 0 : 1;
  applyShowParams();
  updateUi(UI_SHOWPARAMS);
}

void MainWindow::cmdVisual(int mode) {
  int previous = VisualMode;
  VisualMode = mode;
  if (Playing) {
    if (previous >= VISUAL_WINDOW) StopFlashing();
    if (mode >= VISUAL_WINDOW) {
      const Preset& p = Program[SelProgram];
      if (StartFlashing(this, Cfg.VisualOptions.Override ? Cfg.VisualOptions : p.data.VisOpt) != 0)
        VisualMode = VISUAL_NONE;
    }
    bool strobe = VisualMode == VISUAL_AUDIOSTROBE;
    if (strobe != (previous == VISUAL_AUDIOSTROBE)) SetPlaybackAudioStrobe(Link->playback(), strobe);
  }
  Cfg.VisualOutput = VisualMode;
  updateUi(UI_VISUAL);
  update();
}

int MainWindow::startPlaying(uint32_t delayTick, bool follower) {
  if (Playing || SelProgram < 0 || SelProgram >= NumPrograms) return PLAY_NOT_STARTED;
  StoreUi ui = storeUi();
  if (int rc = EnsureLoaded(SelProgram, &ui)) {
    showStoreError(rc);
    return rc;
  }
  if (follower) {
    Synch.Mode = SYNCH_FOLLOWER;
  } else if (!askSynchronize()) {
    return PLAY_NOT_STARTED;
  }
  const Preset& p = Program[SelProgram];
  if (!follower && VisualMode != VISUAL_NONE && VisualMode != VISUAL_AUDIOSTROBE && HasLeftRightVisual(p))
    WarningBox::ask(this, strid::LeftRightVisual, QString(), &Cfg.DoNotShowVisualLeftRightWarning, true);

  AdvancedOptions options = Cfg.Advanced;
  // Settings are not range-checked when read: a block size of nothing would
  // keep the audio thread turning empty blocks.
  if (ComputeBlockBytes(options) <= 0) {
    MessageBox::show(this, strid::NoWaveMemory);
    return strid::NoWaveMemory;
  }
  plat::WaveTarget target = waveTarget();
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  if (int rc = OpenWaveDevice(target, options.SamplesPerSec, options.Bits16 != 0, &dev, &code)) {
    MessageBox::show(this, rc, {code});
    return rc;
  }
  Device = dev;
  Playing = true;
  RefreshNotice = FlashRefreshNotice{};
  Link->playback().FreezeState.store(0);
  Link->playback().AudioStrobeOn.store(VisualMode == VISUAL_AUDIOSTROBE ? 1 : 0);
  if (VisualMode >= VISUAL_WINDOW) {
    int v = StartFlashing(this, Cfg.VisualOptions.Override ? Cfg.VisualOptions : p.data.VisOpt);
    if (v > 0) {
      plat::WaveReset(dev);
      plat::WaveClose(dev);
      Device = nullptr;
      Playing = false;
      MessageBox::show(this, v);
      return v;
    }
    if (v < 0) {
      VisualMode = VISUAL_NONE;
      updateUi(UI_VISUAL);
    }
  }
  PlaybackUi pui = playbackUi();
  int rc = StartPlayback(Link->playback(), dev, p, options, ListeningFades(Cfg.Listening), nullptr, 0, delayTick, &pui);
  Progress->finish();
  if (rc == 0) {
    updateUi(UI_PLAYING | UI_FROZEN);
  } else {
    Playing = false;
    plat::WaveReset(dev);
    plat::WaveClose(dev);
    Device = nullptr;
    StopFlashing();
    if (rc != -1) MessageBox::show(this, rc, {backgroundName(p), "", "", BackgroundReadReason()});
    updateUi(UI_PLAYING | UI_FROZEN);
  }
  closeWhenIdle();
  return rc;
}

void MainWindow::cmdPlayWav() {
  if (Playing || SelProgram < 0) return;
  StoreUi ui = storeUi();
  if (int rc = EnsureLoaded(SelProgram, &ui)) {
    showStoreError(rc);
    return;
  }
  const Preset& p = Program[SelProgram];
  PlayWavRequest req;
  req.Minutes = PresetLength(p);
  if (p.data.Background == AMBIX_LONG) {
    // The file's own length, so that "in full" writes all of it.
    req.LongFileMinutes = WavFileMinutes(p.data.BackgroundFile);
    if (req.LongFileMinutes <= 0) req.LongFileMinutes = 1000;
  }
  req.SamplesPerSec = Cfg.Advanced.SamplesPerSec;
  req.Bits16 = Cfg.Advanced.Bits16 != 0;
  if (!PlayWavDialog::askPlayIntoWav(this, &req)) return;
  // The formats are offered as filters: a name that ends in one of their
  // extensions is that format, any other takes the filter chosen.
  int filter = -1;
  QString file =
      FileDialog::saveFile(this, strid::SelectExportFile, strid::WavOutputFilter,
                           QString::fromStdString(TextToUtf8(p.Name)) + ".wav", QStringLiteral("wav"), &filter);
  if (file.isEmpty()) return;
  static const plat::SoundFormat kFilterFormats[] = {plat::SOUND_WAV, plat::SOUND_FLAC, plat::SOUND_VORBIS,
                                                     plat::SOUND_OPUS, plat::SOUND_MP3};
  FileOutput out;
  out.Format = plat::SoundFormatOfName(file.toUtf8().constData());
  bool hasExtension = !QFileInfo(file).suffix().isEmpty();
  if ((out.Format == plat::SOUND_UNKNOWN || !hasExtension) && filter >= 0 && filter < 5)
    out.Format = kFilterFormats[filter];
  if (out.Format == plat::SOUND_UNKNOWN) out.Format = plat::SOUND_WAV;
  AdvancedOptions options = Cfg.Advanced;
  options.MemoryBlocks = 2;
  options.LenOfBlocks = 10;
  options.SamplesPerSec = req.SamplesPerSec;
  options.Bits16 = req.Bits16 ? 1 : 0;
  int32_t minutes = req.Minutes < 0 ? req.LongFileMinutes : req.Minutes;
  // A lossy encoder may cut the AudioStrobe carrier: it gets the setting
  // that keeps it, and the file is read back and compared with the blocks
  // that went into it.
  const LightLevels levels{options.AudioStrobeZeroLevel, options.AudioStrobeMaxLevel};
  LightDecoder* written = nullptr;
  if (req.AudioStrobe && LosesCarrier(out.Format)) {
    out.Quality = CarrierQuality(out.Format);
    written = LightDecoderCreate(plat::EncoderRate(out.Format, options.SamplesPerSec), 2, levels);
    out.BlockWritten = LightFeedBlock;
    out.BlockCtx = written;
  }
  // The window's record makes the file; its live setting comes back after.
  std::atomic<int>& strobeOn = Link->playback().AudioStrobeOn;
  int savedStrobe = strobeOn.load();
  strobeOn.store(req.AudioStrobe ? 1 : 0);
  PlaybackUi pui = playbackUi();
  std::string path = file.toStdString();
  int rc = StartPlayback(Link->playback(), nullptr, p, options, PlaybackFades{}, path.c_str(), minutes, 0, &pui, out);
  strobeOn.store(savedStrobe);
  QString light;
  bool lost = false;
  if (rc == 0 && written) {
    LightDecoderFinish(written);
    LightReport before, after;
    SummarizeLight(written, &before);
    Progress->start(tr("Checking the light signal"), 10000);
    ProgressSink sink{[](void* ctx, int pos) {
                        auto* line = static_cast<ProgressLine*>(ctx);
                        line->setPosition(pos);
                        return line->pump();
                      },
                      Progress};
    std::string reason;
    int check = CheckLightFile(path.c_str(), levels, &sink, &after, &reason);
    if (check == 0) {
      LightSurvival s = CompareLight(before, after);
      light = QString::fromStdString(LightSurvivalText(s, out.Format));
      lost = !s.Survived;
    } else if (check == LIGHT_UNREADABLE) {
      light = tr("The file cannot be read back to check its light signal: %1").arg(QString::fromStdString(reason));
      lost = true;
    } else {
      light = tr("The check of the AudioStrobe light signal in the file was stopped.");
    }
  }
  if (written) LightDecoderFree(written);
  Progress->finish();
  if (rc == 0) {
    QString done =
        QString::fromStdString(FormatPrintf(GetStr(strid::WavFileWritten), FormatNumber(minutes, 2, 2, 2, true)));
    MessageBox::showText(this, light.isEmpty() ? done : done + "\n\n" + light, MessageBox::Ok, 0,
                         lost ? MessageBox::Warning : MessageBox::Information);
  } else if (rc != -1) {
    MessageBox::show(this, rc, {backgroundName(p), path, "", BackgroundReadReason()});
  }
  closeWhenIdle();
}
