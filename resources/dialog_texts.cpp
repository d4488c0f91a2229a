// The texts of the dialogs' controls.
#include "resources/dialog_texts.h"

#include <iterator>

#include "resources/command_ids.h"
#include "resources/strings.h"

namespace {

constexpr ControlText kTexts[] = {
    // Main Image and Rest Image pages of the stitch sheet.
    {IDD_STITCH_PAGE, kDialogCaption, "Main Image"},
    {IDD_STITCH_PAGE, kStaticLabel, "Image"},
    {IDD_STITCH_PAGE, kStaticLabel, "Type:"},
    {IDD_STITCH_PAGE, 1548, "?"},
    {IDD_STITCH_PAGE, kStaticLabel, "Size:"},
    {IDD_STITCH_PAGE, 1553, "?"},
    {IDD_STITCH_PAGE, kStaticLabel, "Resolution:"},
    {IDD_STITCH_PAGE, 1557, "?"},
    {IDD_STITCH_PAGE, 1060, "&Scan..."},
    {IDD_STITCH_PAGE, 1079, "&Import..."},
    {IDD_STITCH_PAGE, 1063, "&Rotate..."},

    // Stitch Image page.
    {IDD_STITCH_IMAGE_PAGE, kDialogCaption, "Stitch Image"},
    {IDD_STITCH_IMAGE_PAGE, kStaticLabel, "Main Image"},
    {IDD_STITCH_IMAGE_PAGE, 1057, "Deskew"},
    {IDD_STITCH_IMAGE_PAGE, kStaticLabel, "Rest Image"},
    {IDD_STITCH_IMAGE_PAGE, 1058, "Deskew"},
    {IDD_STITCH_IMAGE_PAGE, kStaticLabel, "Stitch Control"},
    {IDD_STITCH_IMAGE_PAGE, 1067, "Left"},
    {IDD_STITCH_IMAGE_PAGE, 1068, "Top"},
    {IDD_STITCH_IMAGE_PAGE, 1069, "Right"},
    {IDD_STITCH_IMAGE_PAGE, 1071, "Bottom"},
    {IDD_STITCH_IMAGE_PAGE, kStaticLabel, "Main Image"},
    {IDD_STITCH_IMAGE_PAGE, kStaticLabel, "Overlap Range in Auto Stitch:"},
    {IDD_STITCH_IMAGE_PAGE, kStaticLabel, "Stitch Method"},
    {IDD_STITCH_IMAGE_PAGE, 1048, "Manual"},
    {IDD_STITCH_IMAGE_PAGE, 1050, "Semi-Auto"},
    {IDD_STITCH_IMAGE_PAGE, 1053, "Auto"},
    {IDD_STITCH_IMAGE_PAGE, 1077, "Main/Rest Swap"},

    // Printer page of the print sheet.
    {IDD_PRINTER_PAGE, kDialogCaption, "Printer"},
    {IDD_PRINTER_PAGE, 1521, "Default Printer"},
    {IDD_PRINTER_PAGE, 1514, "Set&up..."},
    {IDD_PRINTER_PAGE, 1615, "Preview..."},
    {IDD_PRINTER_PAGE, kStaticLabel, "&Copies :"},
    {IDD_PRINTER_PAGE, kStaticLabel, "&Left Margin :"},
    {IDD_PRINTER_PAGE, kStaticLabel, "&Top Margin :"},
    {IDD_PRINTER_PAGE, 1583, "Center the Image &Horizontally"},
    {IDD_PRINTER_PAGE, 1585, "Center the Image &Vertically"},
    {IDD_PRINTER_PAGE, 1602, "Layout"},

    // Rescale page.
    {IDD_RESCALE_PAGE, kDialogCaption, "Rescale"},
    {IDD_RESCALE_PAGE, 1587, "&Fit in Page"},
    {IDD_RESCALE_PAGE, kStaticLabel, "Source Image :"},
    {IDD_RESCALE_PAGE, kStaticLabel, "Target Image"},
    {IDD_RESCALE_PAGE, kStaticLabel, "&Size :"},
    {IDD_RESCALE_PAGE, kStaticLabel, "x"},
    {IDD_RESCALE_PAGE, kStaticLabel, "Resolution :"},
    {IDD_RESCALE_PAGE, kStaticLabel, "x"},
    {IDD_RESCALE_PAGE, kStaticLabel, "DPI"},
    {IDD_RESCALE_PAGE, kStaticLabel, "Rescale Factor"},
    {IDD_RESCALE_PAGE, kStaticLabel, "&X :"},
    {IDD_RESCALE_PAGE, kStaticLabel, "%"},
    {IDD_RESCALE_PAGE, kStaticLabel, "&Y :"},
    {IDD_RESCALE_PAGE, kStaticLabel, "%"},
    {IDD_RESCALE_PAGE, kStaticLabel, "10"},
    {IDD_RESCALE_PAGE, 1565, "&Keep Ratio"},
    {IDD_RESCALE_PAGE, kStaticLabel, "Paper Size:"},
    {IDD_RESCALE_PAGE, 1602, "Layout:"},

    // Background page.
    {IDD_BACKGROUND_PAGE, kDialogCaption, "Background"},
    {IDD_BACKGROUND_PAGE, kStaticLabel, "Output Option"},
    {IDD_BACKGROUND_PAGE, 1573, "&Add Frame"},
    {IDD_BACKGROUND_PAGE, 1644, "Print with &WaterMark"},
    {IDD_BACKGROUND_PAGE, kStaticLabel, "WaterMark:"},
    {IDD_BACKGROUND_PAGE, kStaticLabel, "Layout"},
    {IDD_BACKGROUND_PAGE, 1052, "Tile"},
    {IDD_BACKGROUND_PAGE, 1049, "Center"},
    {IDD_BACKGROUND_PAGE, 1602, "Preview"},

    // The print preview's control bar.
    {IDD_PREVIEW_BAR, ID_PREVIEW_PRINT, "&Print..."},
    {IDD_PREVIEW_BAR, ID_PREVIEW_ZOOM_IN, "Zoom &In"},
    {IDD_PREVIEW_BAR, ID_PREVIEW_ZOOM_OUT, "Zoom &Out"},
    {IDD_PREVIEW_BAR, ID_PREVIEW_CLOSE, "&Close"},

    // The print job's abort dialog.
    {IDD_ABORT_PRINTING, kDialogCaption, "Abort Printing"},
    {IDD_ABORT_PRINTING, kStaticLabel, "Printing"},
    {IDD_ABORT_PRINTING, kStaticLabel, "To"},
    {IDD_ABORT_PRINTING, IDCANCEL, "Cancel"},

    // System page of the information sheet.
    {IDD_SYSTEM_INFO_PAGE, kDialogCaption, "System"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Running Processor :"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Version :"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Available Swap Space:"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Current Directory :"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Cache Path :"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Total Space :"},
    {IDD_SYSTEM_INFO_PAGE, kStaticLabel, "Free Space :"},

    // Document page of the information sheet.
    {IDD_DOCUMENT_INFO_PAGE, kDialogCaption, "Document"},
    {IDD_DOCUMENT_INFO_PAGE, kStaticLabel, "&Unit :"},
    {IDD_DOCUMENT_INFO_PAGE, 1057, "Previous"},
    {IDD_DOCUMENT_INFO_PAGE, 1058, "Next"},
};

}  // namespace

std::span<const ControlText> AllControlTexts() { return kTexts; }

const char* ControlTextOf(const ControlText& entry) { return TranslateText(kDialogsContext, entry.text); }

const char* LoadControlText(int dialog, int control) {
    if (control == kStaticLabel) return "";
    for (const ControlText& t : kTexts)
        if (t.dialog == dialog && t.control == control) return ControlTextOf(t);
    return "";
}
