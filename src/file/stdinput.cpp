#include "file/stdinput.h"

#include <unistd.h>

#include <cerrno>

#include "file/fileformat.h"

namespace {

bool gAllowed = false;
bool gRead = false;
int gErr = 0;
std::vector<unsigned char> gImage;

// Appends up to n more bytes of standard input; the count appended (fewer
// at the end), or -1 on a failure.
int64_t Take(size_t n) {
  size_t done = 0;
  unsigned char buf[65536];
  while (done < n) {
    size_t want = n - done < sizeof buf ? n - done : sizeof buf;
    ssize_t r = ::read(STDIN_FILENO, buf, want);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    gImage.insert(gImage.end(), buf, buf + r);
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

bool LooksLikeJsonStart() {
  for (unsigned char c : gImage) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    return c == '{' || c == '[';
  }
  return false;
}

// 0, or the errno of the failure.
int ReadImage() {
  if (Take(FILE_HEADER_SIZE) < 0) return errno;
  if (LooksLikeJsonStart()) {
    int64_t more = Take(MAX_JSON_INPUT - gImage.size());
    if (more < 0) return errno;
    unsigned char extra;
    ssize_t r;
    while ((r = ::read(STDIN_FILENO, &extra, 1)) < 0 && errno == EINTR) {
    }
    return r > 0 ? E2BIG : 0;
  }
  if (gImage.size() < static_cast<size_t>(FILE_HEADER_SIZE)) return 0;
  int32_t version = GetLE32(gImage.data() + 128);
  // Not a preset file of any version: its reader refuses what is here.
  if (version < OLD_FILE_VERSION || version > NEWEST_KNOWN_VERSION) return 0;
  for (int records = 0; records <= MAXPROGRAMS; ++records) {
    size_t at = gImage.size();
    int64_t got = Take(4);
    if (got < 0) return errno;
    if (got < 4) return 0;
    int32_t size = GetLE32(gImage.data() + at);
    if (size < DELETED_RECORD_SIZE || size > MAX_RECORD_SIZE) return 0;  // the end mark, or damage
    if (Take(static_cast<size_t>(size) - 4) < 0) return errno;
  }
  return 0;
}

}  // namespace

void AllowStandardInput(bool allow) { gAllowed = allow; }
bool StandardInputAllowed() { return gAllowed; }

bool StandardInputImage(const std::vector<unsigned char>** image) {
  if (!gRead) {
    gRead = true;
    gErr = ReadImage();
  }
  *image = &gImage;
  errno = gErr;
  return gErr == 0;
}
