#include "assert/debugrec.h"

#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <string>

static_assert(std::endian::native == std::endian::little, "debug records are written as they lie in memory");

namespace {

std::mutex gRingMutex;
struct Slot {
  std::string* Rec;
  uint64_t Serial;
};
Slot gRing[DEBUG_RING_SLOTS] = {};
int gTop = 0;
uint64_t gSerial = 0;
int32_t gRunId = 0;
DebugSources gSources;

// The product of three draws of a generator seeded from the clock and the
// process, as the records have always carried it; never 0.
int32_t DrawRunId() {
  std::minstd_rand r(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                     static_cast<uint32_t>(::getpid()));
  uint32_t v = static_cast<uint32_t>(r()) * static_cast<uint32_t>(r()) * static_cast<uint32_t>(r());
  return v ? static_cast<int32_t>(v) : 1;
}

void CopyText(char* dst, size_t size, const char* src) {
  std::memset(dst, 0, size);
  if (src) std::strncpy(dst, src, size - 1);
}

void FillTime(uint16_t t[8]) {
  auto now = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  ::localtime_r(&secs, &tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  t[0] = static_cast<uint16_t>(tm.tm_year + 1900);
  t[1] = static_cast<uint16_t>(tm.tm_mon + 1);
  t[2] = static_cast<uint16_t>(tm.tm_wday);
  t[3] = static_cast<uint16_t>(tm.tm_mday);
  t[4] = static_cast<uint16_t>(tm.tm_hour);
  t[5] = static_cast<uint16_t>(tm.tm_min);
  t[6] = static_cast<uint16_t>(tm.tm_sec);
  t[7] = static_cast<uint16_t>(ms);
}

}  // namespace

void SetDebugSources(const DebugSources& s) {
  std::lock_guard<std::mutex> lock(gRingMutex);
  gSources = s;
}

namespace {

// Puts a record into the ring. The slot after the newest is always empty:
// the oldest record goes.
void Keep(std::string* rec) {
  std::lock_guard<std::mutex> lock(gRingMutex);
  delete gRing[gTop].Rec;
  gRing[gTop] = {rec, ++gSerial};
  gTop = (gTop + 1) % DEBUG_RING_SLOTS;
  delete gRing[gTop].Rec;
  gRing[gTop] = {};
}

DebugSources TakeSources() {
  std::lock_guard<std::mutex> lock(gRingMutex);
  if (gRunId == 0) gRunId = DrawRunId();
  return gSources;
}

DebugRecordHead MakeHead(const DebugSources& src, const char* module, int line, const char* expr, int lastError,
                         std::initializer_list<DebugPair> pairs) {
  DebugRecordHead h;
  std::memset(&h, 0, sizeof h);
  h.RunId = gRunId;
  FillTime(h.Time);
  h.Version[0] = 3;
  h.Version[1] = 1;
  h.Version[2] = 12;
  CopyText(h.Expr, sizeof h.Expr, expr);
  int i = 0;
  for (const DebugPair& p : pairs) {
    if (i == 4) break;
    CopyText(h.Names[i], sizeof h.Names[i], p.Name);
    h.Values[i] = static_cast<int32_t>(p.Value);
    ++i;
  }
  h.LastError = lastError;
  CopyText(h.Module, sizeof h.Module, module);
  h.Line = line;
  if (src.State) src.State(&h);
  return h;
}

}  // namespace

DebugRecordHead MakeDebugHead(const char* module, int line, const char* expr, int lastError,
                              std::initializer_list<DebugPair> pairs) {
  DebugSources src = TakeSources();
  return MakeHead(src, module, line, expr, lastError, pairs);
}

void AddRawDebugRecord(const std::string& record) { Keep(new std::string(record)); }

void AddDebugRecord(bool withPresets, const char* module, int line, const char* expr, int lastError,
                    std::initializer_list<DebugPair> pairs) {
  DebugSources src = TakeSources();
  DebugRecordHead h = MakeHead(src, module, line, expr, lastError, pairs);
  std::string selected, edited;
  if (withPresets && src.Images) src.Images(&selected, &edited);
  h.S1 = static_cast<int32_t>(selected.size());
  if (edited.empty())
    h.S2 = 0;
  else if (edited == selected)
    h.S2 = -1;
  else
    h.S2 = static_cast<int32_t>(edited.size());

  auto* rec = new std::string(reinterpret_cast<const char*>(&h), sizeof h);
  rec->append(selected);
  if (h.S2 > 0) rec->append(edited);
  rec->resize(static_cast<size_t>(DEBUG_RECORD_MIN + h.S1 + h.S2), '\0');
  Keep(rec);
}

int DebugRecordCount() {
  std::lock_guard<std::mutex> lock(gRingMutex);
  int n = 0;
  for (const Slot& s : gRing) n += s.Rec != nullptr;
  return n;
}

int DebugRingTop() {
  std::lock_guard<std::mutex> lock(gRingMutex);
  return gTop;
}

std::vector<KeptDebugRecord> KeptDebugRecords() {
  std::lock_guard<std::mutex> lock(gRingMutex);
  std::vector<KeptDebugRecord> kept;
  int slot = gTop;
  for (int n = 0; n < DEBUG_RING_SLOTS; ++n) {
    slot = slot == 0 ? DEBUG_RING_SLOTS - 1 : slot - 1;
    if (gRing[slot].Rec) kept.push_back({slot, gRing[slot].Serial, *gRing[slot].Rec});
  }
  return kept;
}

void ReleaseDebugRecord(const KeptDebugRecord& r) {
  std::lock_guard<std::mutex> lock(gRingMutex);
  if (r.Slot < 0 || r.Slot >= DEBUG_RING_SLOTS) return;
  Slot& s = gRing[r.Slot];
  if (!s.Rec || s.Serial != r.Serial) return;
  delete s.Rec;
  s = {};
}

void ClearDebugRecords() {
  std::lock_guard<std::mutex> lock(gRingMutex);
  for (Slot& s : gRing) {
    delete s.Rec;
    s = {};
  }
  gTop = 0;
}
