// Preparing a playback and writing it into a WAV file.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "assert/check.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/engine.h"
#include "data/playback/fade.h"
#include "data/playback/playback.h"
#include "data/synthesis/state.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"
#include "main/preset.h"
#include "platform/riff.h"

namespace {

void Show(PlaybackUi* ui, int caption, int max) {
  if (ui && ui->ShowProgress) ui->ShowProgress(ui->Ctx, caption, max);
}
bool Poll(PlaybackUi* ui, int pos) { return ui && ui->Progress && ui->Progress(ui->Ctx, pos); }

// The calculation reports 0..10000 through the playback's own bar.
bool CalcProgress(void* ctx, int position) { return Poll(static_cast<PlaybackUi*>(ctx), position); }

// "fmt " chunk, 18 bytes:
//   OFFSET SIZE CONTENT
//   0      2    format tag 1 (PCM)
//   2      2    channels 2
//   4      4    samples per second
//   8      4    average bytes per second
//   12     2    block align (bytes per frame)
//   14     2    bits per sample
//   16     2    extra size 0
void MakeFormat(unsigned char fmt[18], const AdvancedOptions& o) {
  int bytes = o.Bits16 ? 2 : 1;
  plat::PutLE16(fmt + 0, 1);
  plat::PutLE16(fmt + 2, 2);
  plat::PutLE32(fmt + 4, static_cast<uint32_t>(o.SamplesPerSec));
  plat::PutLE32(fmt + 8, static_cast<uint32_t>(o.SamplesPerSec * 2 * bytes));
  plat::PutLE16(fmt + 12, static_cast<uint16_t>(2 * bytes));
  plat::PutLE16(fmt + 14, static_cast<uint16_t>(8 * bytes));
  plat::PutLE16(fmt + 16, 0);
}

int WriteFailure(plat::RiffResult r) { return r == plat::RIFF_DISKFULL ? PLAY_WAV_DISKFULL : PLAY_WAV_WRITE; }

}  // namespace

int PreparePlayback(PlaybackState& pb, const Preset& preset, const AdvancedOptions& options, bool toDevice,
                    PlaybackUi* ui) {
  Show(ui, 87, 10000);
  Poll(ui, 0);
  TakeEngineOptions(pb, options);
  if (static_cast<int64_t>(pb.Options.MemoryBlocks) * pb.BlockBytes > static_cast<int64_t>(DATABLOCKMEM_BYTES))
    return PLAY_NO_BLOCK_MEMORY;
  // The background is looked up once; loading it makes it the playback's,
  // with its own definition of the background parameter (the generator is
  // idle here).
  BackgroundChoice background;
  if (int rc = ResolveBackground(preset, &background)) return rc;
  {
    std::lock_guard<std::mutex> lock(pb.hBackgroundMutex);
    if (int rc = LoadBackground(pb, background)) return rc;
  }
  pb.ExtraSourceShare = pb.BackgroundFrames > 0 ? 1 : 0;
  if (Poll(ui, 500)) return -1;
  ProgressSink sink{CalcProgress, ui};
  if (int rc = CalculatePreset(pb, preset, toDevice, &sink)) return rc;
  Poll(ui, 9500);
  SweepRecord* first = FirstSweepRecord(pb);
  if (!first || first->Blocks == -1) return PLAY_NO_SOUND;
  ResetOscillators(pb);
  StartSweepWalk(pb, first);
  return 0;
}

namespace {

// Where the blocks go: the RIFF writer's "data" chunk, or an encoder.
struct BlockSink {
  plat::RiffWriter Riff;
  plat::SoundWriter* Encoder = nullptr;
  plat::RiffResult Write(const unsigned char* block, size_t bytes) {
    return Encoder ? plat::EncoderWrite(Encoder, block, bytes) : plat::RiffWrite(Riff, block, bytes);
  }
  // Ends the file; its first failure.
  plat::RiffResult Finish() {
    if (Encoder) return plat::EncoderClose(Encoder);
    plat::RiffResult ar = plat::RiffAscend(Riff);
    if (!ar) ar = plat::RiffAscend(Riff);
    plat::RiffResult cr = plat::RiffClose(Riff);
    return ar ? ar : cr;
  }
};

// Opens the RIFF/WAVE file with its header up to the "data" chunk, for
// `blocks` blocks of the playback `pb`. 0 or a result id.
int StartWave(const PlaybackState& pb, BlockSink& s, const char* name, bool toStdout, int64_t blocks) {
  if (toStdout)
    plat::RiffAttach(s.Riff, STDOUT_FILENO);
  else if (!plat::RiffCreate(s.Riff, name))
    return PLAY_WAV_CREATE;

  uint32_t dataBytes = static_cast<uint32_t>(static_cast<int64_t>(blocks) * pb.BlockBytes);
  // Sizes are declared up front so that a stream that cannot seek back
  // (standard output into a pipe) still carries them; they are patched with
  // the actual sizes when the chunks are closed.
  unsigned char fmt[18];
  MakeFormat(fmt, pb.Options);
  plat::RiffResult r = plat::RiffCreateChunk(s.Riff, "RIFF", "WAVE", 4 + 8 + 18 + 8 + dataBytes);
  if (!r) r = plat::RiffCreateChunk(s.Riff, "fmt ", nullptr, 18);
  if (!r) r = plat::RiffWrite(s.Riff, fmt, sizeof fmt);
  if (!r) r = plat::RiffAscend(s.Riff);
  if (!r) r = plat::RiffCreateChunk(s.Riff, "data", nullptr, dataBytes);
  if (r) {
    plat::RiffClose(s.Riff);
    return PLAY_WAV_WRITE;
  }
  return 0;
}

int StartEncoder(const AdvancedOptions& o, BlockSink& s, const char* name, bool toStdout, const FileOutput& out) {
  s.Encoder = toStdout ? plat::EncoderAttach(STDOUT_FILENO) : plat::EncoderCreate(name);
  if (!s.Encoder) return PLAY_WAV_CREATE;
  if (plat::RiffResult r = plat::EncoderStart(s.Encoder, out.Format, o.SamplesPerSec, o.Bits16 != 0, out.Quality)) {
    plat::EncoderClose(s.Encoder);
    s.Encoder = nullptr;
    return WriteFailure(r);
  }
  return 0;
}

}  // namespace

int StartPlaybackToFile(PlaybackState& pb, const Preset& preset, const AdvancedOptions& options,
                        const char* wavFileName, int32_t minutes, PlaybackUi* ui, const FileOutput& out) {
  const bool wave = out.Format == plat::SOUND_WAV;
  // Refused before the calculation and the first byte: the sizes would not
  // fit the header, and gigabytes written only to fail at the end help nobody.
  if (wave && minutes > MaxWavMinutes(ComputeBlockBytes(options), options.LenOfBlocks)) return PLAY_WAV_TOO_LONG;
  // Encoders that know only some rates get the preset rendered at one of them.
  AdvancedOptions o = options;
  if (!wave) o.SamplesPerSec = plat::EncoderRate(out.Format, o.SamplesPerSec);
  if (int rc = PreparePlayback(pb, preset, o, false, ui)) return rc;
  if (Poll(ui, 1000)) return 85;
  int64_t blocks = OutputBlockCount(minutes, pb.Options.LenOfBlocks);

  BlockSink sink;
  bool toStdout = std::strcmp(wavFileName, "-") == 0;
  if (int rc = wave ? StartWave(pb, sink, wavFileName, toStdout, blocks)
                    : StartEncoder(pb.Options, sink, wavFileName, toStdout, out))
    return rc;
  const size_t blockBytes = static_cast<size_t>(pb.BlockBytes);
  if (!EnsureDataBlockMem(pb, blockBytes)) {
    sink.Finish();
    return PLAY_NO_MEMORY;
  }

  Show(ui, 86, static_cast<int>(blocks / 100));
  unsigned char* block = pb.DataBlockMem.Base;
  bool ended = false, aborted = false;
  int result = 0;
  const bool wide = pb.Options.Bits16 != 0;
  const int64_t blockFrames = pb.BlockBytes / (wide ? 4 : 2);
  const int64_t fileFrames = blocks * blockFrames;
  const int64_t fadeFrames =
      std::min(static_cast<int64_t>(out.FadeOutMs) * pb.Options.SamplesPerSec / 1000, fileFrames);
  for (int64_t i = 0; i < blocks; ++i) {
    if (!ended && GenerateBlock(pb, block) == 1) {
      // The preset has ended: the rest of the requested length is silence.
      ended = true;
      std::memset(block, wide ? 0 : 128, blockBytes);
    }
    if (fadeFrames > 0) FadeOutBlock(block, blockFrames, wide, i * blockFrames, fileFrames, fadeFrames);
    if (plat::RiffResult wr = sink.Write(block, blockBytes)) {
      result = WriteFailure(wr);
      break;
    }
    if (out.BlockWritten) out.BlockWritten(out.BlockCtx, block, blockBytes, wide);
    // Messages are processed after every block; the bar moves every 100.
    if (Poll(ui, static_cast<int>(i / 100))) {
      aborted = true;
      break;
    }
  }
  plat::RiffResult fr = sink.Finish();
  if (!result && fr) result = WriteFailure(fr);
  plat::RegionReset(pb.DataBlockMem);
  if (result) return result;
  Poll(ui, static_cast<int>(blocks / 100));
  return aborted ? PLAY_WAV_ABORTED : 0;
}
