#include "assert/crash.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>

#include "assert/check.h"
#include "assert/debugrec.h"
#include "platform/regfile.h"
#include "platform/userdirs.h"

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
char gPath[4096];
DebugRecordHead gHead;  // prepared at installation; the handler fills the rest
long gUtcOffset = 0;    // seconds east of UTC at installation
volatile sig_atomic_t gWritten = 0;

// Days since 1970-01-01 to a civil date (pure arithmetic, safe anywhere).
void CivilFromDays(long z, int* y, int* m, int* d) {
  z += 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

void WriteCrash(int sig, int code, uintptr_t addr) {
  if (gWritten) return;
  gWritten = 1;
  int savedErrno = errno;
  DebugRecordHead h;
  std::memcpy(&h, &gHead, sizeof h);
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  long local = static_cast<long>(ts.tv_sec) + gUtcOffset;
  long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  long secs = local - days * 86400;
  int y, m, d;
  CivilFromDays(days, &y, &m, &d);
  h.Time[0] = static_cast<uint16_t>(y);
  h.Time[1] = static_cast<uint16_t>(m);
  h.Time[2] = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  h.Time[3] = static_cast<uint16_t>(d);
  h.Time[4] = static_cast<uint16_t>(secs / 3600);
  h.Time[5] = static_cast<uint16_t>(secs / 60 % 60);
  h.Time[6] = static_cast<uint16_t>(secs % 60);
  h.Time[7] = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  h.Values[0] = sig;
  h.Values[1] = code;
  h.Values[2] = static_cast<int32_t>(static_cast<uint64_t>(addr) & 0xFFFFFFFFu);
  h.Values[3] = static_cast<int32_t>(static_cast<uint64_t>(addr) >> 32);
  h.LastError = savedErrno;
  // Never through a link, and never waiting for a FIFO's reader.
  int fd = ::open(gPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return;
  unsigned char rec[DEBUG_RECORD_MIN] = {};
  std::memcpy(rec, &h, sizeof h);
  size_t done = 0;
  while (done < sizeof rec) {
    ssize_t n = ::write(fd, rec + done, sizeof rec - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

void OnFault(int sig, siginfo_t* info, void*) {
  WriteCrash(sig, info ? info->si_code : 0, info ? reinterpret_cast<uintptr_t>(info->si_addr) : 0);
  // Die as the signal would: the default action, delivered once the
  // handler returns (a fault also recurs at the faulting instruction).
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  ::raise(sig);
}

[[noreturn]] void OnTerminate() {
  WriteCrash(0, 0, 0);
  std::abort();
}

void CopyField(char* dst, size_t size, const char* src) {
  std::memset(dst, 0, size);
  std::strncpy(dst, src, size - 1);
}

}  // namespace

std::string CrashFolder() { return plat::UserFolder("XDG_STATE_HOME", ".local/state", "Sonavel", true); }

bool InstallCrashHandlers(const std::string& folder) {
  std::string path = folder + "/crash.tvd";
  if (folder.empty() || path.size() >= sizeof gPath) return false;
  // The folder and its parents, as mkdir -p would.
  for (size_t i = 1; i <= folder.size(); ++i)
    if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
  std::memcpy(gPath, path.c_str(), path.size() + 1);

  // A record made now carries the run identifier and the state; the crash
  // record is that head with the signal's values.
  std::memset(&gHead, 0, sizeof gHead);
  DebugRecordHead now = MakeDebugHead("main", 1361, "0", 0);
  std::memcpy(&gHead, &now, sizeof gHead);
  CopyField(gHead.Names[0], sizeof gHead.Names[0], "signal");
  CopyField(gHead.Names[1], sizeof gHead.Names[1], "si_code");
  CopyField(gHead.Names[2], sizeof gHead.Names[2], "si_addr");
  CopyField(gHead.Names[3], sizeof gHead.Names[3], "si_addr_high");
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  gUtcOffset = tm.tm_gmtoff;
  gWritten = 0;

  struct sigaction sa {};
  sa.sa_sigaction = OnFault;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  for (int s : kSignals) ::sigaction(s, &sa, nullptr);
  std::set_terminate(OnTerminate);
  return true;
}

bool TakeCrashRecord(const std::string& folder, std::string* summary, int* signal) {
  if (folder.empty()) return false;
  std::string path = folder + "/crash.tvd";
  // Only a regular file: a FIFO put in its place would block the start.
  int fd = plat::OpenRegularFile(path.c_str());
  if (fd < 0) return false;
  std::string rec(DEBUG_RECORD_MIN, '\0');
  size_t n = 0;
  while (n < rec.size()) {
    ssize_t r = ::read(fd, rec.data() + n, rec.size() - n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    n += static_cast<size_t>(r);
  }
  ::close(fd);
  std::remove(path.c_str());
  if (n != rec.size()) return false;
  DebugRecordHead h;
  std::memcpy(&h, rec.data(), sizeof h);
  h.S1 = h.S2 = 0;
  std::memcpy(rec.data(), &h, sizeof h);
  AddRawDebugRecord(rec);
  char buf[512];
  h.Module[sizeof h.Module - 1] = '\0';
  h.Expr[sizeof h.Expr - 1] = '\0';
  CheckFailure cf{h.Module, h.Line, h.Expr, h.Values[0] ? "signal" : "exception", h.Values[0], h.LastError};
  if (!h.Values[0]) cf.Value = 1;
  FormatCheckSummary(cf, buf, sizeof buf);
  if (summary) *summary = buf;
  if (signal) *signal = h.Values[0];
  return true;
}
