// Texts of the dialogs' controls, by dialog and control id. Control ids repeat
// across dialogs (1057 is "Deskew" on the stitch page and "Previous" on the
// document information page), so these texts are keyed by both ids and kept
// apart from the string table. Texts are in resource form ('&' marks the
// mnemonic; PlainText() in strings.h gives what the user reads).
#pragma once
#include <span>

// Dialog templates.
constexpr int IDD_BACKGROUND_PAGE = 1599;
constexpr int IDD_DOCUMENT_INFO_PAGE = 1597;
constexpr int IDD_PREVIEW_BAR = 1614;
constexpr int IDD_RESCALE_PAGE = 1629;
constexpr int IDD_PRINTER_PAGE = 1631;
constexpr int IDD_SYSTEM_INFO_PAGE = 1633;
constexpr int IDD_ABORT_PRINTING = 7008;
// The two stitch-sheet templates are known by name ("Main Image", used by both
// image pages, and "Stitch Image"); they are numbered here for the lookup.
constexpr int IDD_STITCH_PAGE = 1700;
constexpr int IDD_STITCH_IMAGE_PAGE = 1701;

// Control id of the dialog's own caption, and of labels without an id of
// their own (they are listed in order of appearance, for front ends that
// build the dialog from this table).
constexpr int kDialogCaption = 0;
constexpr int kStaticLabel = -1;

struct ControlText {
    int dialog;
    int control;
    const char* text;
};

// Every entry, grouped by dialog (texts in English).
std::span<const ControlText> AllControlTexts();
// The text of an entry as the user reads it (translated when a translator
// is installed).
const char* ControlTextOf(const ControlText& entry);
// The text of control (not kStaticLabel) in dialog, or "" when none is listed.
const char* LoadControlText(int dialog, int control);
