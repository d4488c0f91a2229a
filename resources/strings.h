// The string table: every text the system shows, by numeric id.
// Named ids are in resources/string_ids.h.
#pragma once
#include <string>
#include <string_view>

// The text of string id, or "" when the table has no such id. A text the
// user reads comes through the translator when one is installed.
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

// Translation. The application may install a translator through which the
// tables' texts pass before they are shown: context names the table
// (kStringsContext, kCommandsContext, kDialogsContext), text is the English
// text; it returns the text to show, which must stay valid until the program
// ends. Without one (the command line) the English texts are shown.
inline constexpr const char* kStringsContext = "Strings";
inline constexpr const char* kCommandsContext = "Commands";
inline constexpr const char* kDialogsContext = "Dialogs";
using TextTranslator = const char* (*)(const char* context, const char* text);
void SetTextTranslator(TextTranslator translator);
// text as the translator gives it (text itself without one).
const char* TranslateText(const char* context, const char* text);
// False for the entries that are names rather than words for the user (the
// program's name and maker, settings sections and keys, file names): they
// are never translated.
bool IsUserText(int id);
