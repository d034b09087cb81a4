#include "cli/cmd_convert.h"

#include <unistd.h>

#include <cstdio>

#include "cli/cliutil.h"
#include "cli/progress.h"
#include "convold/convold.h"
#include "file/fileformat.h"
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
  int rc;
  if (out == "-") {
    // Standard output: written as it comes.
    ByteDev src, dst = DevFromFd(STDOUT_FILENO);
    outcome.MessagePath = in.c_str();
    if (!DevOpenFile(src, in.c_str(), DEV_OPEN_READ)) {
      rc = FMSG_OPEN_FAILED;
    } else {
      bool outputFault = false;
      rc = ConvertOldToDevice(src, dst, &progress, &outcome.Count, &outputFault);
      if (outputFault) outcome.MessagePath = "-";
      DevClose(src);
    }
  } else {
    rc = ConvertOldFile(in.c_str(), out.c_str(), &progress, &outcome);
  }
  FinishProgress();
  if (rc == CONVERT_ABORTED) {
    std::fprintf(stderr, "Conversion aborted; '%s' was not written.\n", Shown(out).c_str());
    return 1;
  }
  if (rc) {
    std::fprintf(stderr, "%s\n", FileMessageText(rc, Shown(outcome.MessagePath ? outcome.MessagePath : in)).c_str());
    return 1;
  }
  std::fprintf(stderr, "%d preset%s converted from '%s' to '%s'.\n", outcome.Count, outcome.Count == 1 ? "" : "s",
               Shown(in).c_str(), Shown(out).c_str());
  return 0;
}
