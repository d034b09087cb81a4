// Converting an old file into a current export file on disk, through the
// file layer's safe output: a temporary file beside the destination that
// only a complete conversion renames into place (or the device or FIFO the
// destination names, written in place).
#include <string>

#include "convold/convold.h"
#include "file/fileformat.h"
#include "file/storefile.h"

namespace {

constexpr int kInUse = 1300;  // "File '%1' is currently being used by Sonavel. You can not export over it."

}  // namespace

int ConvertOldFile(const char* inPath, const char* outPath, const ConvertProgress* progress, ConvertOutcome* outcome) {
  ConvertOutcome local;
  if (!outcome) outcome = &local;
  *outcome = ConvertOutcome{};
  outcome->MessagePath = inPath;

  // The old file is only ever read.
  if (SameFile(inPath, outPath)) {
    outcome->MessagePath = outPath;
    return kInUse;
  }
  ByteDev in;
  if (!DevOpenFile(in, inPath, DEV_OPEN_READ)) return FMSG_OPEN_FAILED;

  SafeOutput out;
  if (int rc = BeginSafeOutput(out, outPath)) {
    DevClose(in);
    outcome->MessagePath = outPath;
    return rc;
  }
  bool outputFault = false;
  int rc = ConvertOldToDevice(in, out.Dev, progress, &outcome->Count, &outputFault);
  DevClose(in);
  if (rc) {
    AbandonSafeOutput(out);
  } else if ((rc = FinishSafeOutput(out))) {
    outputFault = true;
  }
  if (rc) {
    outcome->Count = 0;
    if (outputFault) outcome->MessagePath = outPath;
    return rc;
  }
  return 0;
}
