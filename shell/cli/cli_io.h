// Pictures in and out of files for the stitchara-cli commands. Both print
// the reason of a failure on stderr ("stitchara-cli: ..."), so a command only
// has to return kExitFailed.
//
//     std::unique_ptr<CPicture> in = cli::LoadPicture(args.positional[0]);
//     if (!in) return kExitFailed;
//     ... work on *in ...
//     return cli::SavePicture(*out, args.positional[1]) ? kExitOk : kExitFailed;
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CPicture;
class ImageRowFile;
struct ImageFileInfo;

namespace cli {

struct Args;

// Reads an image file with the progress bar ("Loading Image"; --quiet turns
// it off as it turns off every progress). None on failure.
std::unique_ptr<CPicture> LoadPicture(const std::string& path);

// What the file's header says of its picture (type, size, resolution),
// read without its pixels. False after printing the reason.
bool ReadPictureInfo(const std::string& path, ImageFileInfo& info);

// Writes the picture in the format the extension of path names; ".vdl"
// writes the document file (BMP). The old file is replaced only by a
// complete new one. False on failure.
bool SavePicture(CPicture& picture, const std::string& path);

// Writes a picture made row by row as the writer asks for it (shaped as
// shape at width x height, see WriteImageFileRows), with the checks and
// messages of SavePicture. Not for the document file.
// row(y, bytes) fills the stored row y (0 = top, padding included); false
// fails the write.
using StoredRowFunction = std::function<bool(int y, std::uint8_t* bytes)>;
// ahead: how many rows are made on a second thread ahead of the writer (row
// is then called on that thread only, one row at a time); 0 makes each row
// as the writer asks. A row function that makes a band of rows at once
// wants more than a band ahead: the next band is made while the writer
// takes the last.
constexpr int kRowsAhead = 16;
// from: where the rows come from when they come from a file (OpenFileRows):
// a failed read of it then says "cannot read IN: reason" in place of the
// write's failure.
struct RowsFrom {
    const ImageRowFile* rows = nullptr;
    std::string path;
};
bool SaveRows(const CPicture& shape, int width, int height, const StoredRowFunction& row,
              const std::string& path, int ahead = kRowsAhead, const RowsFrom& from = {});

// Whether SavePicture can write a file with this path's extension; prints
// the reason when not. Commands check it before long work.
bool CheckOutputPath(const std::string& path);

// Whether a picture of type can go into a file with this path's extension
// with the writers' options given (GIF: at most 256 colours; TIFF with g3 or
// g4: black and white; TIFF with jpeg: true colour or 256 grays); prints the
// reason, ending with remedy (what to do), when not. Commands check it
// before long work once the type of what they will write is known.
bool CheckOutputTakes(const std::string& path, int type, const std::string& remedy);

// The input of a command that writes the picture back changed: the output
// path is checked before the reading, the picture after it (that the
// output's format takes it). None, the reason printed, when a step fails.
std::unique_ptr<CPicture> LoadPictureFor(const std::string& in, const std::string& out);

// The rows of in without its picture in memory: a command that writes a
// transformed copy to out then needs no picture. direction: the command
// asks for each source row after the one before, in the order the writer
// of out asks for rows (1: a mirror, a rescale, a conversion) or in the
// opposite order (-1: a vertical flip); 0 when it asks in no order.
// Uncompressed files (binary PNM, plain BMP) serve every direction; others
// are decoded as the rows are asked for when their reader makes them in the
// order wanted. None otherwise, without a message (the command reads the
// picture with LoadPictureFor).
std::unique_ptr<ImageRowFile> OpenFileRows(const std::string& in, const std::string& out, int direction);
// The shape of in's picture for SaveRows (ReadImageFileShape: one row of
// the type, colour table and resolution of the file's picture), the paths
// checked as LoadPictureFor checks them (remedy: what to do when the
// output's format does not take the picture). None after printing the reason.
std::unique_ptr<CPicture> LoadShapeFor(
    const std::string& in, const std::string& out,
    const std::string& remedy = "convert it first with stitchara-cli convert --type color256");

// Sends the system's messages (message boxes in the application) to stderr
// as "stitchara-cli: text". LoadPicture and SavePicture install it
// themselves; commands that reach the core otherwise call it first.
void UseToolMessages();

// The writers' options every command that writes a file takes:
//   --quality 1..100   JPEG quality
//   --compression none|lzw|deflate|packbits|jpeg|g3|g4   TIFF compression
// Sets them for the next SavePicture; kExitOk, or kExitUsage after printing
// the usage error.
int TakeSaveOptions(const Args& args);
// Whether --name is one of them (for commands that refuse unknown options).
bool IsSaveOption(const std::string& name);
// Whether --name is a common option of every command (--quiet, --memory-limit).
bool IsCommonOption(const std::string& name);

}  // namespace cli
