// The user's own folders and their fallbacks when HOME or an XDG variable is
// unset. A fallback in a place every user shares ($TMPDIR or /tmp) is used
// only when this user owns it and others may not write into it (or, for a
// private folder, enter it): a folder another user made there first is
// refused, so that user can neither read what is written there nor swap it
// through a link. Any thread.
#pragma once
#include <string>

namespace plat {

// $HOME when it is set and absolute, else the user's entry of the password
// database; "" when neither has one.
std::string HomeFolder();

// Creates `path` with its missing parents (each made with `mode`) and checks
// the folder itself: a folder, not a link, owned by this user, not writable
// by others, and with `privateOnly` not open to them at all. false when it
// cannot be made or fails the check.
bool OwnFolder(const std::string& path, unsigned mode, bool privateOnly);

// A per-user folder: $`var`/`sub` when the variable is set and absolute,
// else <HomeFolder>/`homePath`/`sub` (the caller makes these), else the
// shared fallback <$TMPDIR or /tmp>/`sub`-<uid>, made here (0700 with
// `privateOnly`, else 0755) and checked (OwnFolder); when the fallback is
// another user's, a new folder of this user's own (<tmp>/`sub`-<uid>-XXXXXX)
// stands in for this run, and a line on stderr says so. "" when no folder
// can be had.
std::string UserFolder(const char* var, const char* homePath, const std::string& sub, bool privateOnly);
// The same from given values: the variable's value (null when unset), the
// home ("" for none) and the shared temporary folder.
std::string UserFolderFrom(const char* varValue, const std::string& home, const std::string& tmp, const char* homePath,
                           const std::string& sub, bool privateOnly);

}  // namespace plat
