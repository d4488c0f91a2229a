// The string table: every text the system shows, by numeric id.
#pragma once
#include <string>

// The text of string id, or "" when the table has no such id.
const char* LoadStringById(int id);
// True when the table holds id.
bool HasString(int id);
// printf-style formatting of a string-table format text (for example
// "File %s not exist"), never truncated: the result grows to fit.
std::string FormatStringById(int id, ...);
