// CColourConverter: mode resolution, tables, Run, ConvertRow and ConvertLike.
#include "picture/colour_converter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "picture/colour_converter_kernels.h"
#include "picture/palette_map.h"
#include "picture/picture.h"
#include "base/progress.h"

namespace {

// Direct-colour copy between true-colour pictures of different depths; never requested.
constexpr int kModeColourCopy = 8;

bool IsTrueColourType(int type) {
    return type == ptTrueColor24 || type == ptColor32K || type == ptColor64K ||
           type == ptTrueColor32;
}

// Ordered-dither matrices, row by row: 4 x 4 (values 1..16) and 8 x 8 (0..63).
constexpr int kMatrix4[6][16] = {
    {1, 9, 3, 11, 13, 5, 15, 7, 4, 12, 2, 10, 16, 8, 14, 6},
    {1, 3, 6, 10, 2, 5, 8, 11, 4, 9, 13, 15, 7, 12, 14, 16},
    {7, 8, 9, 10, 6, 1, 2, 11, 5, 4, 3, 12, 16, 15, 14, 13},
    {12, 5, 7, 10, 13, 1, 3, 15, 8, 9, 11, 6, 4, 16, 14, 2},
    {1, 3, 2, 4, 5, 7, 6, 8, 9, 11, 10, 12, 13, 15, 14, 16},
    {1, 7, 9, 13, 3, 5, 11, 15, 2, 8, 10, 14, 4, 6, 12, 16},
};
constexpr int kMatrix8[6][64] = {
    {44, 16, 24, 36, 46, 18, 26, 38, 48, 0,  8,  56, 50, 2,  10, 58, 28, 32, 40, 20, 30, 34,
     42, 22, 12, 60, 52, 4,  14, 62, 54, 6,  47, 19, 27, 39, 45, 17, 25, 37, 51, 3,  11, 59,
     49, 1,  9,  57, 31, 35, 43, 23, 29, 33, 41, 21, 15, 63, 55, 7,  13, 61, 53, 5},
    {0,  2,  5,  9,  14, 20, 27, 35, 1,  4,  8,  13, 19, 26, 34, 36, 3,  7,  12, 18, 25, 33,
     37, 43, 6,  11, 17, 24, 32, 38, 44, 49, 10, 16, 23, 31, 39, 45, 50, 54, 15, 22, 30, 40,
     46, 51, 55, 58, 21, 29, 41, 47, 52, 56, 59, 61, 28, 42, 48, 53, 57, 60, 62, 63},
    {57, 52, 38, 27, 26, 41, 53, 58, 47, 39, 20, 13, 12, 19, 40, 48, 33, 21, 9,  3,  2,  8,
     18, 34, 28, 14, 4,  0,  1,  7,  17, 31, 37, 22, 10, 5,  6,  11, 25, 36, 51, 44, 23, 15,
     16, 24, 43, 50, 61, 55, 45, 29, 30, 42, 54, 60, 62, 56, 46, 32, 35, 49, 59, 63},
    {13, 23, 51, 54, 52, 45, 21, 11, 33, 49, 40, 26, 24, 38, 47, 31, 61, 42, 18, 6,  4,  16,
     36, 59, 56, 28, 8,  0,  2,  14, 34, 62, 53, 44, 20, 10, 12, 22, 50, 55, 25, 39, 46, 30,
     32, 48, 41, 27, 5,  17, 37, 58, 60, 43, 19, 7,  3,  15, 35, 63, 57, 29, 9,  1},
    {0,  4,  8,  12, 2,  6,  10, 14, 1,  5,  9,  13, 3,  7,  11, 15, 16, 20, 24, 28, 18, 22,
     26, 30, 17, 21, 25, 29, 19, 23, 27, 31, 32, 36, 40, 44, 34, 38, 42, 46, 33, 37, 41, 45,
     35, 39, 43, 47, 48, 52, 56, 60, 50, 54, 58, 62, 49, 53, 57, 61, 51, 55, 59, 63},
    {0,  1,  16, 17, 32, 33, 48, 49, 4,  5,  20, 21, 36, 37, 52, 53, 8,  9,  24, 25, 40, 41,
     56, 57, 12, 13, 28, 29, 44, 45, 60, 61, 2,  3,  18, 19, 34, 35, 50, 51, 6,  7,  22, 23,
     38, 39, 54, 55, 10, 11, 26, 27, 42, 43, 58, 59, 14, 15, 30, 31, 46, 47, 62, 63},
};

// The threshold of a matrix entry for a destination of the given colour count.
int Threshold(int entry, int size, int colours) {
    if (colours == 256) return size == 4 ? 3 * entry : (51 * entry + 51) / 65;
    return size == 4 ? 16 * entry - 8 : 4 * entry + 2;
}

// A picture's colours as red, green, blue triples (256 entries, unused ones
// black); the entry count is returned. A palette picture without a palette
// uses the standard palette of its type.
int PaletteTriples(CPicture* picture, std::uint8_t* rgb) {
    std::memset(rgb, 0, 256 * 3);
    const Palette* palette = picture->GetPalette();
    std::unique_ptr<Palette> standard;
    if (!palette || palette->Empty()) {
        standard = CreateStandardPalette(picture->GetType());
        palette = standard.get();
    }
    if (!palette || palette->Count() > 256) return 0;
    return PaletteToRgb(palette, palette->Count(), rgb) ? palette->Count() : 0;
}

// "D" of the mode table: destinations that diffusion serves best.
int DiffusionUnlessKept(int mode, bool destinationStandard) {
    if (mode == 7 || mode == 5 || mode == 6) return kModeDiffusion;
    if (mode == kModeDither && !destinationStandard) return kModeDiffusion;
    return mode;
}

}  // namespace

int ResolveColourMode(int sourceType, int destinationType, int mode, bool destinationStandard) {
    if (sourceType < 0 || sourceType > ptTrueColor32 || destinationType < 0 ||
        destinationType > ptTrueColor32 || mode < 0 || mode > 7)
        return -1;
    const bool trueSource = IsTrueColourType(sourceType);
    int resolved = -1;
    if (IsTrueColourType(destinationType)) {
        if (!trueSource) resolved = kModeToTrueColour;
        else resolved = sourceType == destinationType ? -1 : kModeColourCopy;
        return resolved;
    }
    switch (trueSource ? int(ptTrueColor24) : sourceType) {
    case ptBlackWhite:
        switch (destinationType) {
        case ptBlackWhite: resolved = -1; break;
        case ptColor16:
        case ptColor256: resolved = 0; break;
        default: resolved = mode == 5 ? 5 : 0; break;  // grays
        }
        break;
    case ptTrueColor24:
        switch (destinationType) {
        case ptColor256:
            if (mode == 7) resolved = kModeDiffusion;
            else if (mode == 5 || mode == 6) resolved = kModeOptimised;
            else if (mode == kModeDither && !destinationStandard) resolved = kModeOptimised;
            else resolved = mode;
            break;
        case ptGray16:
        case ptGray256: resolved = 0; break;
        default: resolved = DiffusionUnlessKept(mode, destinationStandard); break;
        }
        // Indices copied from colours would be meaningless.
        if (resolved == kModeIdentity) resolved = -1;
        break;
    case ptColor16:
        switch (destinationType) {
        case ptBlackWhite: resolved = DiffusionUnlessKept(mode, destinationStandard); break;
        case ptColor16: resolved = mode == 4 ? 4 : 0; break;
        default: resolved = 0; break;
        }
        break;
    case ptColor256:
        switch (destinationType) {
        case ptBlackWhite:
        case ptColor16: resolved = DiffusionUnlessKept(mode, destinationStandard); break;
        case ptColor256: resolved = (mode == 0 || mode == 4) ? mode : kModeDiffusion; break;
        default: resolved = mode == 4 ? 4 : 0; break;
        }
        break;
    case ptGray16:
        switch (destinationType) {
        case ptBlackWhite: resolved = DiffusionUnlessKept(mode, destinationStandard); break;
        case ptColor16: resolved = mode == 4 ? 4 : 0; break;
        case ptGray16: resolved = -1; break;
        default: resolved = 0; break;
        }
        break;
    case ptGray256:
        switch (destinationType) {
        case ptBlackWhite: resolved = DiffusionUnlessKept(mode, destinationStandard); break;
        case ptColor16:
        case ptColor256: resolved = (mode == 0 || mode == 4) ? mode : kModeDiffusion; break;
        case ptGray16: resolved = 0; break;
        default: resolved = -1; break;
        }
        break;
    }
    // A request left unresolved would convert nothing: refuse it rather than
    // report a destination that was never written as converted.
    if (resolved == kModeRequestOnly || resolved == kModeAutomatic) resolved = -1;
    return resolved;
}

struct CColourConverter::Impl {
    int sourceType = 0, destinationType = 0;
    int sourceBits = 0, destinationBits = 0;
    int sourceColours = 0, destinationColours = 0;
    int sourceWidth = 0, sourceHeight = 0, destinationWidth = 0, destinationHeight = 0;
    bool sourceStandard = false, destinationStandard = false;
    const colour::FormatOps* reader = nullptr;
    const colour::FormatOps* writer = nullptr;

    std::uint8_t sourceRgb[256 * 3] = {};
    std::uint8_t destinationRgb[256 * 3] = {};
    std::vector<std::uint8_t> map;      // 256-entry index map or 4096-cell map
    std::vector<std::uint8_t> mapDone;  // 512 bytes when cells are found on demand
    std::vector<std::int32_t> errors[2];
    int currentError = 0;
    bool grayLevels = false;  // true colour to 256 grays: luminance whatever the mode
    int thresholds[64] = {};

    // Work rows: unpacked source, kernel output.
    std::vector<std::uint8_t> unpacked, converted;

    void ConvertSegment(int mode, int matrixSize, int row, int column0, const std::uint8_t* src,
                        std::uint8_t* dst, int count);
};

CColourConverter::CColourConverter() = default;
CColourConverter::~CColourConverter() = default;

void CColourConverter::Reset() {
    ready_ = false;
    impl_.reset();
    optimised_.reset();
}

bool CColourConverter::Setup(CPicture* destination, CPicture* source,
                             std::uint32_t modeAndPattern, int matrixSize, bool progress, Progress* on) {
    Reset();
    on_ = on;
    if (!destination || !source || !destination->HasHeader() || !source->HasHeader())
        return false;
    destination_ = destination;
    source_ = source;
    progress_ = progress;
    pattern_ = int(modeAndPattern >> 16);
    matrixSize_ = matrixSize;
    int requested = int(modeAndPattern & 0xFFFF);

    auto impl = std::make_unique<Impl>();
    Impl& m = *impl;
    m.sourceType = source->GetType();
    m.destinationType = destination->GetType();
    m.sourceBits = source->GetBitCount();
    m.destinationBits = destination->GetBitCount();
    m.sourceWidth = source->GetWidth();
    m.sourceHeight = source->GetHeight();
    m.destinationWidth = destination->GetWidth();
    m.destinationHeight = destination->GetHeight();
    const bool trueSource = IsTrueColourType(m.sourceType);
    const bool trueDestination = IsTrueColourType(m.destinationType);
    if (!trueSource) m.sourceColours = PaletteTriples(source, m.sourceRgb);
    if (!trueDestination) m.destinationColours = PaletteTriples(destination, m.destinationRgb);
    m.sourceStandard = !trueSource && IsStandardPalette(source->GetPalette());
    m.destinationStandard = !trueDestination && IsStandardPalette(destination->GetPalette());

    mode_ = ResolveColourMode(m.sourceType, m.destinationType, requested, m.destinationStandard);
    if (mode_ < 0) return false;
    // The optimised palette needs a 256-colour destination to hold it; for
    // palette sources and smaller destinations it is the plain nearest colour.
    if (mode_ == kModeOptimised && (!trueSource || m.destinationColours < 256))
        mode_ = kModeNearest;
    if (mode_ == kModeDither) {
        if (m.destinationColours != 2 && m.destinationColours != 16 && m.destinationColours != 256)
            return false;
        if (!trueSource && m.sourceColours <= m.destinationColours) return false;
        if (pattern_ < 0 || pattern_ > 5 || (matrixSize_ != 4 && matrixSize_ != 8)) return false;
    }
    m.reader = &colour::OpsForBits(m.sourceBits);
    m.writer = &colour::OpsForBits(m.destinationBits);
    if (m.reader->indexed == trueSource) return false;  // type and depth disagree
    impl_ = std::move(impl);
    try {
        if (!BuildTables()) {
            impl_.reset();
            return false;
        }
    } catch (const std::bad_alloc&) {
        impl_.reset();
        return false;
    }
    ready_ = true;
    return true;
}

bool CColourConverter::BuildTables() {
    Impl& m = *impl_;
    const bool trueSource = IsTrueColourType(m.sourceType);
    m.grayLevels = trueSource && m.destinationType == ptGray256;
    const int width = std::max(m.sourceWidth, 1);
    m.unpacked.assign(std::size_t(width) * 3 + 8, 0);
    m.converted.assign(std::size_t(width) * 3 + 8, 0);

    switch (mode_) {
    case kModeToTrueColour:
    case kModeColourCopy:
        break;  // the source palette triples are all it needs
    case kModeIdentity:
        m.map.resize(256);
        for (int i = 0; i < 256; ++i)
            m.map[std::size_t(i)] = std::uint8_t(std::min(i, std::max(m.destinationColours - 1, 0)));
        break;
    case kModeNearest:
    case kModeOptimised:
        if (!trueSource) {
            m.map.resize(256);
            if (m.sourceColours == m.destinationColours &&
                std::memcmp(m.sourceRgb, m.destinationRgb, std::size_t(m.sourceColours) * 3) == 0) {
                for (int i = 0; i < 256; ++i) m.map[std::size_t(i)] = std::uint8_t(i);
            } else {
                for (int i = 0; i < 256; ++i)
                    m.map[std::size_t(i)] = std::uint8_t(NearestColourIndex(
                        m.destinationRgb, m.destinationColours, m.sourceRgb[3 * i],
                        m.sourceRgb[3 * i + 1], m.sourceRgb[3 * i + 2]));
            }
        } else if (!m.grayLevels) {
            m.map.resize(kCellCount);
            if (mode_ == kModeOptimised) {
                optimised_ = GenerateOptimisedPalette(source_);
                if (!optimised_) return false;
                // The destination shows the colours its indices were chosen for.
                if (!destination_->SetPalette(optimised_.get())) return false;
                m.destinationColours = PaletteTriples(destination_, m.destinationRgb);
                ComputeCellMap(m.destinationRgb, m.destinationColours, m.map.data());
            } else if (m.destinationStandard) {
                StandardCellMap(m.destinationType, m.map.data());
            } else {
                ComputeCellMap(m.destinationRgb, m.destinationColours, m.map.data());
            }
        }
        break;
    case kModeDiffusion:
        m.map.assign(kCellCount, 0);
        if (m.destinationStandard) {
            StandardCellMap(m.destinationType, m.map.data());
        } else {
            m.mapDone.assign(512, 0);
        }
        for (auto& e : m.errors) e.assign((std::size_t(width) + 1) * 3, 0);
        m.currentError = 0;
        break;
    case kModeDither: {
        const int size = matrixSize_;
        const int* entries = size == 4 ? kMatrix4[pattern_] : kMatrix8[pattern_];
        for (int i = 0; i < size * size; ++i)
            m.thresholds[i] = Threshold(entries[i], size, m.destinationColours);
        break;
    }
    default:
        return false;
    }
    return true;
}

void CColourConverter::Impl::ConvertSegment(int mode, int matrixSize, int row, int column0,
                                            const std::uint8_t* src, std::uint8_t* dst,
                                            int count) {
    using namespace colour;
    // Unpack only what is not already indices or blue, green, red triples.
    const std::uint8_t* in = src;
    if (reader->bits != 8 && reader->bits != 24) {
        reader->unpack(src, count, unpacked.data());
        in = unpacked.data();
    }
    const bool directOut = writer->bits == 8 || writer->bits == 24;
    std::uint8_t* out = directOut ? dst : converted.data();

    const bool indexedIn = reader->indexed;
    const IndexedInput indexed{in, sourceRgb};
    const DirectInput direct{in};

    if (grayLevels) {
        GrayLevels(direct, count, out);
    } else {
        switch (mode) {
        case kModeNearest:
        case kModeOptimised:
        case kModeIdentity:
            if (indexedIn) MapIndices(in, count, map.data(), out);
            else MapCells(in, count, map.data(), out);
            break;
        case kModeToTrueColour:
            IndicesToColours(in, count, sourceRgb, out);
            break;
        case kModeColourCopy:
            if (out != in) std::memcpy(out, in, std::size_t(count) * 3);
            break;
        case kModeDiffusion: {
            std::vector<std::int32_t>& cur = errors[currentError];
            std::vector<std::int32_t>& nxt = errors[1 - currentError];
            DiffusionState state{map.data(), mapDone.empty() ? nullptr : mapDone.data(),
                                 destinationRgb, destinationColours, destinationType == ptBlackWhite,
                                 cur.data(), nxt.data()};
            const bool leftToRight = (row & 1) == 0;
            if (indexedIn) DiffuseRow(indexed, count, leftToRight, state, out);
            else DiffuseRow(direct, count, leftToRight, state, out);
            std::fill(cur.begin(), cur.end(), 0);
            currentError = 1 - currentError;
            break;
        }
        case kModeDither:
            if (indexedIn)
                DitherRow(indexed, count, row, column0, thresholds, matrixSize, destinationColours, out);
            else
                DitherRow(direct, count, row, column0, thresholds, matrixSize, destinationColours, out);
            break;
        }
    }
    if (!directOut) writer->pack(out, count, dst);
}

bool CColourConverter::ConvertRow(int row, const void* sourceRow, void* destinationRow,
                                  int count) {
    if (!ready_ || !sourceRow || !destinationRow) return false;
    Impl& m = *impl_;
    if (count <= 0 || count > m.sourceWidth) count = m.sourceWidth;
    m.ConvertSegment(mode_, matrixSize_, row, 0, static_cast<const std::uint8_t*>(sourceRow),
                     static_cast<std::uint8_t*>(destinationRow), count);
    return true;
}

bool CColourConverter::Run(const Rect* sourceRect, int destX, int destY) {
    if (!ready_) return false;
    ProgressScope scope(on_);
    Impl& m = *impl_;
    Rect r{0, 0, m.sourceWidth - 1, m.sourceHeight - 1};
    if (sourceRect) {
        r = *sourceRect;
        if (r.left > r.right) std::swap(r.left, r.right);
        if (r.top > r.bottom) std::swap(r.top, r.bottom);
        r.left = std::max(r.left, 0);
        r.top = std::max(r.top, 0);
        r.right = std::min(r.right, m.sourceWidth - 1);
        r.bottom = std::min(r.bottom, m.sourceHeight - 1);
    }
    if (destX < 0 || destY < 0 || destX >= m.destinationWidth || destY >= m.destinationHeight)
        return false;
    if (r.left > r.right || r.top > r.bottom) return false;
    const int count = r.right - r.left + 1;
    const int rows = std::min(r.bottom - r.top + 1, m.destinationHeight - destY);

    // One zero-initialised block holds the source and the destination row.
    const std::uint64_t sourceBytes = colour::SegmentBytesFor(m.sourceBits, count) + 8;
    const std::uint64_t destinationBytes = colour::SegmentBytesFor(m.destinationBits, count) + 8;
    CGlobalBlock block;
    std::uint8_t* rowBlock = block.Allocate(kGlobalMoveable | kGlobalZeroInit,
                                            sourceBytes + destinationBytes);
    if (!rowBlock) return false;
    std::uint8_t* sourceRow = rowBlock;
    std::uint8_t* destinationRow = rowBlock + sourceBytes;
    if (mode_ == kModeDiffusion) {
        for (auto& e : m.errors) std::fill(e.begin(), e.end(), 0);
        m.currentError = 0;
    }

    if (progress_) BeginProgress(0, unsigned(rows));
    bool ok = true;
    for (int i = 0; i < rows && ok; ++i) {
        if (!source_->ReadRow(r.left, r.right, r.top + i, sourceRow)) {
            ok = false;
            break;
        }
        // Rows alternate diffusion direction from the first one converted.
        m.ConvertSegment(mode_, matrixSize_, mode_ == kModeDiffusion ? i : destY + i, destX,
                         sourceRow, destinationRow, count);
        if (!destination_->WriteRow(destX, destX + count - 1, destY + i, destinationRow)) ok = false;
        if (progress_ && StepProgress(unsigned(i + 1))) ok = false;
    }
    if (progress_) EndProgress();
    return ok;
}

bool HasFormatOf(CPicture* model, CPicture* source) {
    if (!model || !source) return false;
    const int type = model->GetType();
    return type == source->GetType() &&
           (type == ptTrueColor24 || type == ptGray256 || type == ptGray16 ||
            type == ptBlackWhite || PalettesEqual(model->GetPalette(), source->GetPalette()));
}

std::unique_ptr<CPicture> ConvertLike(CPicture* model, CPicture* source, bool progress, Progress* on) {
    ProgressScope scope(on);
    if (!model || !source || !model->HasHeader() || !source->HasHeader()) return nullptr;
    std::unique_ptr<CPicture> result;
    try {
        if (HasFormatOf(model, source)) {
            result = CPicture::Duplicate(source, kStoreAny);
            if (!result) return nullptr;
        } else {
            result = NewPictureLike(model, 0, source->GetWidth(), source->GetHeight());
            if (!result) return nullptr;
            CColourConverter converter;
            if (!converter.Setup(result.get(), source, MakeModeAndPattern(kModeAutomatic, 0), 4,
                                 progress) ||
                !converter.Run())
                return nullptr;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // The model's resolution goes with it. Its compression and colours-used
    // fields are not copied: the new rows are uncompressed and its colour
    // table is the one the header already counts.
    BitmapInfoHeader* header = const_cast<BitmapInfoHeader*>(result->GetHeader());
    header->biXPelsPerMeter = model->GetHeader()->biXPelsPerMeter;
    header->biYPelsPerMeter = model->GetHeader()->biYPelsPerMeter;
    result->WriteHeaderToStore();
    return result;
}
