// A stand-in scanner library for fault tests: one device, "fake:0", whose
// behaviour FAKE_SANE_SCRIPT chooses when the library is initialised:
//   ok       a 64 x 32 gray picture, value = (x + y) & 255
//   short    the same, but the data ends after 10 lines
//   vanish   the device fails with an I/O error after 10 lines and cannot
//            be opened again (unplugged)
//   format   frames of a kind no front end knows
//   depth    12-bit samples
//   none     no device at all
//   nonblock the "ok" picture through non-blocking reads that find no data
//            every other time, with a descriptor to wait on
// It offers no options, so no resolution either.
#include <sane/sane.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

std::string g_script;
bool g_unplugged = false;
int g_line = 0;
bool g_scanning = false;
constexpr int kWidth = 64, kHeight = 32;
SANE_Option_Descriptor g_count{"", "Number of options", "", SANE_TYPE_INT, SANE_UNIT_NONE,
                               sizeof(SANE_Word), SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_NONE, {nullptr}};
const SANE_Device g_device{"fake:0", "Fake", "Faulty", "flatbed scanner"};
const SANE_Device* g_list[] = {&g_device, nullptr};
const SANE_Device* g_empty[] = {nullptr};
int g_handle;
bool g_nonBlocking = false;
bool g_empty_turn = false;
int g_pipe[2] = {-1, -1};

}  // namespace

extern "C" {

SANE_Status sane_init(SANE_Int* version, SANE_Auth_Callback) {
    const char* s = std::getenv("FAKE_SANE_SCRIPT");
    g_script = s ? s : "ok";
    g_unplugged = false;
    g_nonBlocking = false;
    if (version) *version = SANE_VERSION_CODE(1, 0, 0);
    return SANE_STATUS_GOOD;
}

void sane_exit() {}

SANE_Status sane_get_devices(const SANE_Device*** list, SANE_Bool) {
    *list = g_script == "none" || g_unplugged ? g_empty : g_list;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_open(SANE_String_Const name, SANE_Handle* handle) {
    if (g_script == "none" || g_unplugged || std::strcmp(name, "fake:0") != 0) return SANE_STATUS_INVAL;
    *handle = &g_handle;
    return SANE_STATUS_GOOD;
}

void sane_close(SANE_Handle) {}

const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle, SANE_Int option) {
    return option == 0 ? &g_count : nullptr;
}

SANE_Status sane_control_option(SANE_Handle, SANE_Int option, SANE_Action action, void* value, SANE_Int*) {
    if (option != 0 || action != SANE_ACTION_GET_VALUE) return SANE_STATUS_INVAL;
    *static_cast<SANE_Word*>(value) = 1;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_get_parameters(SANE_Handle, SANE_Parameters* p) {
    // A frame kind outside the enumeration (a JPEG frame), stored as its integer.
    const int kind = g_script == "format" ? 0x0B : int(SANE_FRAME_GRAY);
    std::memcpy(&p->format, &kind, sizeof kind);
    p->last_frame = SANE_TRUE;
    p->depth = g_script == "depth" ? 12 : 8;
    p->pixels_per_line = kWidth;
    p->bytes_per_line = g_script == "depth" ? kWidth * 2 : kWidth;
    p->lines = kHeight;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_start(SANE_Handle) {
    if (g_unplugged) return SANE_STATUS_IO_ERROR;
    g_line = 0;
    g_scanning = true;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_read(SANE_Handle, SANE_Byte* data, SANE_Int max, SANE_Int* length) {
    *length = 0;
    if (!g_scanning) return SANE_STATUS_CANCELLED;
    if (g_script == "vanish" && g_line >= 10) {
        g_unplugged = true;
        return SANE_STATUS_IO_ERROR;
    }
    if (g_line >= kHeight || (g_script == "short" && g_line >= 10)) return SANE_STATUS_EOF;
    if (g_nonBlocking && (g_empty_turn = !g_empty_turn)) return SANE_STATUS_GOOD;
    // One line a call at most.
    const int n = max < kWidth ? max : kWidth;
    for (int x = 0; x < n; ++x) data[x] = SANE_Byte((x + g_line) & 255);
    if (n == kWidth) ++g_line;
    *length = n;
    return SANE_STATUS_GOOD;
}

void sane_cancel(SANE_Handle) { g_scanning = false; }

SANE_Status sane_set_io_mode(SANE_Handle, SANE_Bool on) {
    if (g_script != "nonblock") return SANE_STATUS_UNSUPPORTED;
    g_nonBlocking = on;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_get_select_fd(SANE_Handle, SANE_Int* fd) {
    if (g_script != "nonblock") return SANE_STATUS_UNSUPPORTED;
    // A descriptor that is always readable.
    if (g_pipe[0] < 0 && (::pipe(g_pipe) != 0 || ::write(g_pipe[1], "x", 1) != 1)) return SANE_STATUS_IO_ERROR;
    *fd = g_pipe[0];
    return SANE_STATUS_GOOD;
}

SANE_String_Const sane_strstatus(SANE_Status status) {
    return status == SANE_STATUS_IO_ERROR ? "Error during device I/O" : "Some status";
}

}  // extern "C"
