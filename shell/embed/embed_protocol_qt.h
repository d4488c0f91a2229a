// The embedding service on the session bus: its names, its error names and
// the in-place menu it offers to containers. Containers include this too.
//
//   service   org.stitchara.Stitchara
//   object    /org/stitchara/Embedding
//   interface org.stitchara.Embedding
//     OpenFile(s path) -> u document         a picture file as an embedded item
//     OpenBytes(ay bytes) -> u document      bytes a container kept (empty: a new picture)
//     Extent(u) -> (ii)                      width, height in 0.01 mm
//     Draw(u, i width, i height) -> ay       PNG of that size, the picture unscaled from the top-left
//     Bytes(u) -> ay                         the document's bytes (the container saves them)
//     ShowWindow(u)                          opens the document in the program's own window
//     ActivateInPlace(u, t window, i x, i y, i width, i height)
//                                            edits it inside the container's X11 window, at that rectangle
//     Deactivate(u)                          ends in-place editing
//     InPlaceMenu(u) -> a(siss)              menu title, command id (0: separator), text, shortcut
//     InvokeCommand(u, i command) -> b       a command of the in-place menu, chosen in the container
//     InPlaceWindows(u) -> at                X11 ids of the in-place tool bar and frame (empty when not in place)
//     Close(u)                               the container lets the document go
//   signals
//     Updated(u, ay bytes)                   the document changed and was updated into the container
//     Closed(u)                              the document ended on the program's side
//     InPlaceRectChanged(u, i x, i y, i width, i height)   the user resized the in-place frame
#pragma once
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

namespace embed {

inline constexpr const char* kService = "org.stitchara.Stitchara";
inline constexpr const char* kPath = "/org/stitchara/Embedding";
inline constexpr const char* kInterface = "org.stitchara.Embedding";

// Error names of failed calls; the message says what went wrong.
inline constexpr const char* kErrorUnknownDocument = "org.stitchara.Embedding.Error.UnknownDocument";
inline constexpr const char* kErrorInvalidWindow = "org.stitchara.Embedding.Error.InvalidWindow";
inline constexpr const char* kErrorBadPicture = "org.stitchara.Embedding.Error.BadPicture";
inline constexpr const char* kErrorBadSize = "org.stitchara.Embedding.Error.BadSize";
inline constexpr const char* kErrorFailed = "org.stitchara.Embedding.Error.Failed";

}  // namespace embed

// One item of the in-place menu.
struct EmbedMenuItem {
    QString menu;      // the menu it belongs to ("&File", "&Bitmap", ...)
    int id = 0;        // the command id; 0 for a separator
    QString text;      // the item's text, '&' before the mnemonic
    QString shortcut;  // portable key sequence text, "" for none
};
using EmbedMenu = QList<EmbedMenuItem>;
Q_DECLARE_METATYPE(EmbedMenuItem)
Q_DECLARE_METATYPE(EmbedMenu)

inline QDBusArgument& operator<<(QDBusArgument& argument, const EmbedMenuItem& item) {
    argument.beginStructure();
    argument << item.menu << item.id << item.text << item.shortcut;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, EmbedMenuItem& item) {
    argument.beginStructure();
    argument >> item.menu >> item.id >> item.text >> item.shortcut;
    argument.endStructure();
    return argument;
}

namespace embed {
// Registers the menu types with Qt D-Bus (once per process; both sides).
void RegisterTypes();
}  // namespace embed
