// The records and codes of the data source manager conversation: what the
// acquirer and the manager exchange through the one entry point. The manager
// behind it is ours (platform/twain/dsm.h); the codes only have to agree
// between the two sides, and the values the standard fixes (transfer
// mechanisms, planar/chunky, pixel types, container types) keep its numbers.
#pragma once
#include <cstdint>

namespace twain {

// Data groups.
constexpr std::uint32_t DG_CONTROL = 0x0001;
constexpr std::uint32_t DG_IMAGE = 0x0002;

// Data argument types.
constexpr std::uint16_t DAT_CAPABILITY = 0x0001;
constexpr std::uint16_t DAT_EVENT = 0x0002;
constexpr std::uint16_t DAT_IDENTITY = 0x0003;
constexpr std::uint16_t DAT_PARENT = 0x0004;
constexpr std::uint16_t DAT_PENDINGXFERS = 0x0005;
constexpr std::uint16_t DAT_SETUPMEMXFER = 0x0006;
constexpr std::uint16_t DAT_USERINTERFACE = 0x0009;
constexpr std::uint16_t DAT_IMAGEINFO = 0x0101;
constexpr std::uint16_t DAT_IMAGEMEMXFER = 0x0103;
constexpr std::uint16_t DAT_IMAGENATIVEXFER = 0x0104;
constexpr std::uint16_t DAT_PALETTE8 = 0x0109;

// Messages.
constexpr std::uint16_t MSG_NULL = 0x0000;
constexpr std::uint16_t MSG_GET = 0x0001;
constexpr std::uint16_t MSG_GETCURRENT = 0x0002;
constexpr std::uint16_t MSG_GETDEFAULT = 0x0003;
constexpr std::uint16_t MSG_SET = 0x0006;
constexpr std::uint16_t MSG_XFERREADY = 0x0101;
constexpr std::uint16_t MSG_CLOSEDSREQ = 0x0102;
constexpr std::uint16_t MSG_OPENDSM = 0x0301;
constexpr std::uint16_t MSG_CLOSEDSM = 0x0302;
constexpr std::uint16_t MSG_OPENDS = 0x0401;
constexpr std::uint16_t MSG_CLOSEDS = 0x0402;
constexpr std::uint16_t MSG_USERSELECT = 0x0403;
constexpr std::uint16_t MSG_DISABLEDS = 0x0501;
constexpr std::uint16_t MSG_ENABLEDS = 0x0502;
constexpr std::uint16_t MSG_PROCESSEVENT = 0x0601;
constexpr std::uint16_t MSG_ENDXFER = 0x0701;

// Return codes.
constexpr std::uint16_t TWRC_SUCCESS = 0;
constexpr std::uint16_t TWRC_FAILURE = 1;
constexpr std::uint16_t TWRC_CHECKSTATUS = 2;
constexpr std::uint16_t TWRC_CANCEL = 3;
constexpr std::uint16_t TWRC_DSEVENT = 4;
constexpr std::uint16_t TWRC_NOTDSEVENT = 5;
constexpr std::uint16_t TWRC_XFERDONE = 6;
constexpr std::uint16_t TWRC_ENDOFLIST = 7;

// Capabilities.
constexpr std::uint16_t CAP_XFERCOUNT = 0x0001;
constexpr std::uint16_t ICAP_XFERMECH = 0x0103;
constexpr std::uint16_t ICAP_PLANARCHUNKY = 0x1120;
constexpr std::uint16_t CAP_FEEDERENABLED = 0x1002;
constexpr std::uint16_t CAP_FEEDERLOADED = 0x1003;
constexpr std::uint16_t CAP_AUTOFEED = 0x1007;

// Container types.
constexpr std::uint16_t TWON_ARRAY = 3;
constexpr std::uint16_t TWON_ENUMERATION = 4;
constexpr std::uint16_t TWON_ONEVALUE = 5;
constexpr std::uint16_t TWON_RANGE = 6;

// Item types.
constexpr std::uint16_t TWTY_INT16 = 1;
constexpr std::uint16_t TWTY_INT32 = 2;
constexpr std::uint16_t TWTY_UINT16 = 4;
constexpr std::uint16_t TWTY_UINT32 = 5;
constexpr std::uint16_t TWTY_BOOL = 6;

// Transfer mechanisms.
constexpr std::uint32_t TWSX_NATIVE = 0;
constexpr std::uint32_t TWSX_FILE = 1;
constexpr std::uint32_t TWSX_MEMORY = 2;

// Planar / chunky.
constexpr std::uint32_t TWPC_CHUNKY = 0;
constexpr std::uint32_t TWPC_PLANAR = 1;

// Pixel types.
constexpr std::int16_t TWPT_BW = 0;
constexpr std::int16_t TWPT_GRAY = 1;
constexpr std::int16_t TWPT_RGB = 2;
constexpr std::int16_t TWPT_PALETTE = 3;
constexpr std::int16_t TWPT_CMY = 4;

// Palette kinds of DAT_PALETTE8.
constexpr std::uint16_t TWPA_RGB = 0;
constexpr std::uint16_t TWPA_GRAY = 1;
constexpr std::uint16_t TWPA_CMY = 2;

// Compression: none.
constexpr std::uint16_t TWCP_NONE = 0;
// Memory flags of a memory transfer buffer.
constexpr std::uint32_t TWMF_APPOWNS = 0x0001;
constexpr std::uint32_t TWMF_POINTER = 0x0008;
// "Don't care" of the 32-bit fields.
constexpr std::uint32_t TWON_DONTCARE32 = 0xFFFFFFFFu;

#pragma pack(push, 2)
struct TwVersion {
    std::uint16_t MajorNum = 0;
    std::uint16_t MinorNum = 0;
    std::uint16_t Language = 0;
    std::uint16_t Country = 0;
    char Info[34] = {};
};

// The identity of the application or of a data source.
struct TwIdentity {
    std::uint32_t Id = 0;
    TwVersion Version;
    std::uint16_t ProtocolMajor = 0;
    std::uint16_t ProtocolMinor = 0;
    std::uint32_t SupportedGroups = 0;
    char Manufacturer[34] = {};
    char ProductFamily[34] = {};
    char ProductName[34] = {};
};

// A fixed-point value: whole part and fraction in 1/65536.
struct TwFix32 {
    std::int16_t Whole = 0;
    std::uint16_t Frac = 0;
};
#pragma pack(pop)
static_assert(sizeof(TwIdentity) == 156);

// A capability with its container. A one-value container keeps its value in
// Items[0]; an enumeration has NumItems items, CurrentIndex and DefaultIndex.
struct TwCapability {
    std::uint16_t Cap = 0;
    std::uint16_t ConType = TWON_ONEVALUE;
    std::uint16_t ItemType = TWTY_UINT16;
    std::uint32_t NumItems = 1;
    std::uint32_t CurrentIndex = 0;
    std::uint32_t DefaultIndex = 0;
    std::uint32_t Items[8] = {};
};

struct TwUserInterface {
    bool ShowUI = true;
    bool ModalUI = true;
    void* hParent = nullptr;
};

// A platform event passed to the source; TWMessage is what the source
// answers with (MSG_XFERREADY, MSG_CLOSEDSREQ or MSG_NULL).
struct TwEvent {
    void* pEvent = nullptr;
    std::uint16_t TWMessage = MSG_NULL;
};

struct TwPendingXfers {
    std::int16_t Count = 0;
    std::uint32_t EOJ = 0;
};

struct TwImageInfo {
    TwFix32 XResolution;
    TwFix32 YResolution;
    std::int32_t ImageWidth = 0;
    std::int32_t ImageLength = 0;
    std::int16_t SamplesPerPixel = 0;
    std::int16_t BitsPerSample[8] = {};
    std::int16_t BitsPerPixel = 0;
    bool Planar = false;
    std::int16_t PixelType = TWPT_BW;
    std::uint16_t Compression = TWCP_NONE;
};

struct TwSetupMemXfer {
    std::uint32_t MinBufSize = 0;
    std::uint32_t MaxBufSize = 0;
    std::uint32_t Preferred = 0;
};

struct TwMemory {
    std::uint32_t Flags = 0;
    std::uint32_t Length = 0;
    void* TheMem = nullptr;
};

// One buffer of a memory transfer: the source writes Rows rows of
// BytesPerRow bytes at TheMem and says where they belong.
struct TwImageMemXfer {
    std::uint16_t Compression = TWCP_NONE;
    std::uint32_t BytesPerRow = 0;
    std::uint32_t Columns = 0;
    std::uint32_t Rows = 0;
    std::uint32_t XOffset = 0;
    std::uint32_t YOffset = 0;
    std::uint32_t BytesWritten = 0;
    TwMemory Memory;
};

struct TwElement8 {
    std::uint8_t Index = 0;
    std::uint8_t Channel1 = 0;
    std::uint8_t Channel2 = 0;
    std::uint8_t Channel3 = 0;
};

struct TwPalette8 {
    std::uint16_t NumColors = 0;
    std::uint16_t PaletteType = TWPA_RGB;
    TwElement8 Colors[256];
};

// The manager's one entry point. Native transfers pass an HGlobal* as data
// (picture/global_block.h): the source puts the packed bitmap there.
using DsmEntryProc = std::uint16_t (*)(TwIdentity* origin, TwIdentity* dest, std::uint32_t group,
                                       std::uint16_t dat, std::uint16_t msg, void* data);

}  // namespace twain
