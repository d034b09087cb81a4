// Writing the store file safely: every change builds the new content in a
// file beside the store ("Presets.tvk.new"), flushes it and renames it over
// the store, then flushes the folder. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Writes `path` anew from `size` bytes at `data`. 0, 1297, 1299 or 1308.
int ReplaceFileWith(const std::string& path, const void* data, size_t size);
// Rewrites `path` as: its bytes [0, cutStart), then `insert`, then its bytes
// from cutEnd to the end. The tail is streamed, so a store of any size can be
// rewritten. 0 or 1297, 1298, 1299, 1308.
int RewriteFileRange(const std::string& path, int64_t cutStart, int64_t cutEnd, const void* insert, size_t insertLen);
// Flushes the folder holding `path`, so that a rename into it survives a
// crash.
void SyncFolderOf(const std::string& path);
// Whether two paths name the same file (the same inode, or when either does
// not exist, the same absolute path without regard to case).
bool SameFile(const std::string& a, const std::string& b);
