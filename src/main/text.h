// Text in preset files and text the user enters: one rule for the whole
// program (the command-line tool, JSON, the desktop program).
//
// Names, descriptions, segment names and paths in preset files are bytes.
// Bytes that are valid UTF-8 are UTF-8; anything else is Windows-1252, the
// code page of the files made on Windows (its five unassigned bytes stand for
// U+0081, U+008D, U+008F, U+0090 and U+009D, as Windows reads them). New
// text is written as UTF-8. Nothing here fails on any bytes.
//
// Names are one line: a name entered with a line break, a tab or another
// control character is refused; one that comes from a file is shown with
// those characters escaped.
//
// Any thread (no state).
#pragma once
#include <string>
#include <string_view>

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates, at
// most U+10FFFF).
bool IsUtf8(std::string_view bytes);
// The text as UTF-8 (unchanged when it is UTF-8 already).
std::string TextToUtf8(std::string_view bytes);
// The text for one line: UTF-8 with control characters (C0, DEL, C1)
// written as \n, \t, \r or \xHH (\u0080 for C1), so that a listing stays
// one line per preset.
std::string TextForLine(std::string_view bytes);
// The text as UTF-8 of at most maxChars characters (code points): a longer
// one keeps its start and its end around an ellipsis "…" (maxChars - 1 of
// its own), so a long path still shows its folder and its file name.
std::string ElideMiddle(std::string_view bytes, size_t maxChars);
// A block of text (a description) as UTF-8: line breaks (CR LF, LF, CR)
// become LF, tabs stay, other control characters are escaped as above.
std::string TextForBlock(std::string_view bytes);
// 0 when a name the user entered (UTF-8) may be stored, else the message
// id that says why not: 1482 for a line break, tab or other control
// character, or bytes that are not UTF-8.
int CheckEnteredName(std::string_view utf8);
// Whether two texts are the same without regard to case (ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters), each read by the rule
// above.
bool SameTextNoCase(std::string_view a, std::string_view b);
