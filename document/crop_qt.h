// Crop and Trim Border on a document: the picture cut down by the core
// (picture/crop.h) takes the place of the document's through its history,
// so both are undone like every change. The resolution is kept. Both read
// the picture on a worker thread as the document's job and return at once.
#pragma once
#include <QRect>
#include <functional>

class Document;

// The tolerance Trim Border uses: the setting "Preference" / "TrimTolerance"
// (0..255), 8 when absent: the noise of a scanner's empty glass stays border.
int TrimTolerance();

// Cuts the picture down to rect (picture pixels). A rectangle of no pixels
// or one not lying wholly on the picture is refused with a message and
// nothing changes. True when the work started; done (may be empty) is told
// on the window's thread whether the picture was cut.
bool CropDocument(Document& document, const QRect& rect, std::function<void(bool cut)> done = {});
// Removes the border of one colour (within tolerance) around the picture.
// A picture that is all border, or has none, is left as it is with a
// message. True when the work started; done as for CropDocument.
bool TrimDocument(Document& document, int tolerance, std::function<void(bool cut)> done = {});
