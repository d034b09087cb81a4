// The program's string table: every user-visible text, referred to by number.
//
// Texts with %1, %2!d! inserts are formatted with FormatMsg (FormatMessage
// style, see platform/msgfmt.h); the others are printf formats for
// FormatPrintf. The table is sorted by id and the ids are unique (checked when
// the table is compiled). Texts are UTF-8.
//
// Any thread may call these functions: the table is constant.
#pragma once
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>

#include "platform/msgfmt.h"

struct StrEntry {
  int Id;
  const char* Text;
};

// Text of string id; "" after a failed internal check when there is none.
const char* GetStr(int id);
bool HasStr(int id);
// All entries in ascending id order.
std::span<const StrEntry> StringTable();
// Prints "id<TAB>text" per entry; backslash, newline, tab, CR and other
// control characters in the text are written as C escapes (\\ \n \t \r \xHH).
void PrintStringTable(FILE* f);

// Message id formatted FormatMessage-style with its arguments.
std::string FormatMsg(int id, std::initializer_list<MsgArg> args = {});
// The same for a message box: each text insert shown on one line (control
// characters escaped as TextForLine does) and at most maxInsertChars long
// (ElideMiddle), so a 100 KB name cannot make the box wider than a screen.
// *whole gets the text with the inserts escaped but whole, for the box's
// details.
std::string FormatMsgShown(int id, std::initializer_list<MsgArg> args, size_t maxInsertChars, std::string* whole);
