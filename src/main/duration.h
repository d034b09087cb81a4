// Lengths of time as people type them, for the sleep timer and the fades:
// "30m", "60s", "1h30m", "1.5h", "90" (in the caller's unit), "1:30"
// (hours and minutes) or "1:30:00".
//
// Units: h, m or min, s or sec, ms, in that order, each at most once, with
// or without a blank before them; a number alone is in `unitMs`. Decimals
// take '.' or ','. Any thread.
#pragma once
#include <cstdint>
#include <string_view>

// Milliseconds, or -1 when `text` is no such length or it is longer than
// DURATION_MAX_MS.
int64_t ParseDuration(std::string_view text, int64_t unitMs);

constexpr int64_t DURATION_MAX_MS = int64_t(7) * 24 * 3600 * 1000;  // a week
