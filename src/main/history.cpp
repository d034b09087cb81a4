// Undo and redo for the preset editor.
#include "main/history.h"

#include <algorithm>
#include <cstring>

#include "main/preset.h"

namespace {

int Segments(const Preset& p) { return std::clamp(static_cast<int>(p.data.NumSegments), 0, MAXSEGMENTS); }
int ParamsOf(const Preset& p, int s) {
  if (s >= Segments(p) || !p.ParamMem) return 0;
  return NSPAR + NVPAR * std::clamp(static_cast<int>(p.data.Segment[s].NumVoices), 1, MAXVOICES);
}

std::vector<uint8_t> CopyOf(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  return std::vector<uint8_t>(b, b + n);
}

const char* Text(const Preset& p) { return p.Description ? p.Description : ""; }

}  // namespace

PresetHistory::PresetHistory(const Preset& opened) { CopyPreset(Last, opened); }

PresetHistory::~PresetHistory() { FreePreset(Last); }

bool PresetHistory::Record(const Preset& p, bool merge) {
  Step step;
  const auto& lastFixed = static_cast<const PresetFixed&>(Last);
  const auto& fixed = static_cast<const PresetFixed&>(p);
  if (std::memcmp(&lastFixed, &fixed, sizeof(PresetFixed)) != 0)
    step.push_back({FIXED, 0, 0, CopyOf(&lastFixed, sizeof(PresetFixed)), CopyOf(&fixed, sizeof(PresetFixed))});
  if (std::strncmp(Text(Last), Text(p), DESCLEN) != 0)
    step.push_back({DESCRIPTION, 0, 0, CopyOf(Text(Last), strnlen(Text(Last), DESCLEN) + 1),
                    CopyOf(Text(p), strnlen(Text(p), DESCLEN) + 1)});
  const int segs = std::max(Segments(Last), Segments(p));
  for (int s = 0; s < segs; ++s) {
    const int before = ParamsOf(Last, s), after = ParamsOf(p, s);
    const Param* a = before ? SegParams(Last, s) : nullptr;
    const Param* b = after ? SegParams(p, s) : nullptr;
    for (int pid = 0; pid < std::max(before, after); ++pid) {
      const bool inA = pid < before, inB = pid < after;
      if (inA && inB && std::memcmp(&a[pid], &b[pid], sizeof(Param)) == 0) continue;
      step.push_back({PARAM, s, pid, inA ? CopyOf(&a[pid], sizeof(Param)) : std::vector<uint8_t>(),
                      inB ? CopyOf(&b[pid], sizeof(Param)) : std::vector<uint8_t>()});
    }
  }
  if (step.empty()) return false;
  CopyPreset(Last, p);
  if (merge && !Done.empty() && Undone.empty()) {
    // The last step keeps its own before; the after is the new state.
    Step& last = Done.back();
    for (Item& it : step) {
      auto same = std::find_if(last.begin(), last.end(),
                               [&](const Item& o) { return o.K == it.K && o.Seg == it.Seg && o.Pid == it.Pid; });
      if (same != last.end())
        same->After = std::move(it.After);
      else
        last.push_back(std::move(it));
    }
    return true;
  }
  Undone.clear();
  Done.push_back(std::move(step));
  if (Done.size() > HISTORY_MAXSTEPS) Done.erase(Done.begin());
  return true;
}

void PresetHistory::Apply(const Step& s, bool before, Preset& p) {
  // The fixed record first: it holds the segment and voice counts the
  // parameters belong to.
  for (const Item& it : s) {
    const std::vector<uint8_t>& b = before ? it.Before : it.After;
    if (it.K == FIXED) {
      char* desc = Last.Description;
      Param* mem = Last.ParamMem;
      std::memcpy(static_cast<PresetFixed*>(&Last), b.data(), sizeof(PresetFixed));
      Last.Description = desc;
      Last.ParamMem = mem;
    } else if (it.K == DESCRIPTION && Last.Description) {
      std::memcpy(Last.Description, b.data(), std::min(b.size(), static_cast<size_t>(DESCLEN)));
      Last.Description[DESCLEN - 1] = 0;
    }
  }
  for (const Item& it : s) {
    const std::vector<uint8_t>& b = before ? it.Before : it.After;
    if (it.K != PARAM || b.empty()) continue;
    Param* slot = CommitSegmentSlot(Last, it.Seg, std::clamp(int(Last.data.Segment[it.Seg].NumVoices), 1, MAXVOICES));
    if (slot) std::memcpy(&slot[it.Pid], b.data(), sizeof(Param));
  }
  CopyPreset(p, Last);
}

bool PresetHistory::Undo(Preset& p) {
  if (Done.empty()) return false;
  Apply(Done.back(), true, p);
  Undone.push_back(std::move(Done.back()));
  Done.pop_back();
  return true;
}

bool PresetHistory::Redo(Preset& p) {
  if (Undone.empty()) return false;
  Apply(Undone.back(), false, p);
  Done.push_back(std::move(Undone.back()));
  Undone.pop_back();
  return true;
}

size_t PresetHistory::Bytes() const {
  size_t n = 0;
  for (const auto* list : {&Done, &Undone})
    for (const Step& s : *list)
      for (const Item& it : s) n += it.Before.size() + it.After.size() + sizeof(Item);
  return n;
}
