// `sonavel-cli convert OLD.tvk -o NEW.tvk`: converts a preset file of the
// earlier format into a current export file.
#pragma once
#include <string>

// Converts `in` into `out`, showing progress on stderr (Ctrl+C aborts). On
// failure prints the message with the file it concerns and returns 1; on
// success prints how many presets were converted and returns 0.
int CmdConvert(const std::string& in, const std::string& out);
