// The string table: every text the system shows, by numeric id.
// Named ids are in resources/string_ids.h.
#pragma once
#include <string>
#include <string_view>

// The text of string id, or "" when the table has no such id.
const char* LoadStringById(int id);
// True when the table holds id.
bool HasString(int id);
// printf-style formatting of a string-table format text (for example
// "The file %s does not exist."), never truncated: the result grows to fit.
std::string FormatStringById(int id, ...);

// A command's string is its status-bar prompt, a line break, and its tool
// tip. The text before the first line break (the whole text without one):
std::string TextBeforeLineBreak(std::string_view text);
// The text after the first line break ("" without one).
std::string TextAfterLineBreak(std::string_view text);

// What the user reads of a control or menu text: "&&" becomes "&", a single
// '&' (the mnemonic mark) is dropped. "Black && White" -> "Black & White",
// "Stitc&h..." -> "Stitch...".
std::string PlainText(std::string_view text);
