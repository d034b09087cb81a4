// The user's time separator, for clock-style texts ("12:05").
#pragma once

namespace plat {

// The separator between hours and minutes in the locale's time format, read
// once from the process locale; ":" when the locale gives none. Any thread
// after the first call (the first call belongs on the main thread).
const char* TimeSeparator();

}  // namespace plat
