#include "cli/cmd_convert.h"

#include <cstdio>

#include "cli/progress.h"
#include "convold/convold.h"
#include "main/strtab.h"

namespace {

constexpr int kConvertingCaption = 89;  // "Converting presets"
constexpr int kProgressMax = CONVERT_DONE;

bool ShowProgress(void* ctx, int position) {
  auto* ui = static_cast<PlaybackUi*>(ctx);
  return ui->Progress(ui->Ctx, position);
}

}  // namespace

int CmdConvert(const std::string& in, const std::string& out) {
  PlaybackUi ui = TerminalProgress();
  ui.ShowProgress(ui.Ctx, kConvertingCaption, kProgressMax);
  ConvertProgress progress{&ui, ShowProgress};
  ConvertOutcome outcome;
  int rc = ConvertOldFile(in.c_str(), out.c_str(), &progress, &outcome);
  FinishProgress();
  if (rc == CONVERT_ABORTED) {
    std::fprintf(stderr, "Conversion aborted; '%s' was not written.\n", out.c_str());
    return 1;
  }
  if (rc) {
    std::fprintf(stderr, "%s\n", FormatMsg(rc, {outcome.MessagePath ? outcome.MessagePath : in.c_str()}).c_str());
    return 1;
  }
  std::fprintf(stderr, "%d preset%s converted from '%s' to '%s'.\n", outcome.Count, outcome.Count == 1 ? "" : "s",
               in.c_str(), out.c_str());
  return 0;
}
