// Sending the kept debug records to the report server: one HTTP/1.0 POST of
// each record, newest first, to "/online/assert.php", body as saved in the
// bug file, header "Content-Type: application/octet-stream", agent
// "Tavik 3.1.12", connect/send/receive time-outs of 60 s. A record counts as
// received when the status is 200 and the reply begins with
// "Assert data was received successfully." (compared without case).
//
// The error letters of a failed upload, as the report shows them:
//   'e' (101)  the HTTP library could not be initialised
//   'p' (112)  no request handle could be had
//   'q' (113)  the connection failed (host not found, refused, timed out)
//   'x' (120)  sending the request failed
//   'y' (121)  the reply had no status line
//   'z' (122)  status not 200; the second number is the status
//   '{' (123)  reading the reply failed
//   '|' (124)  the reply text differs; the second number is its first byte
//              plus 128 times its second byte
// The second number is otherwise the library's error code. Letters 'f'..'o'
// (missing entry points) and 'g' (no connection reported by the system) have
// no step here: the library is linked, and a missing connection shows as 'q'.
//
// Main thread (the report dialog); blocks while it sends.
#pragma once
#include <string>

struct UploadResult {
  int Code;    // 0 when every record was received
  int Second;  // the second number of message 1449
};

// Sends every kept record to host:port, freeing each one received; stops at
// the first failure, which also adds a record (without presets) of its own.
UploadResult SendDebugRecords(const std::string& host, int port);
