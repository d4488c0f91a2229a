// Loading libsane at run time.
#include "platform/twain/sane_api.h"

#include <dlfcn.h>

#include <cstdlib>

namespace twain {
namespace {

SaneApi g_api;
int g_users = 0;

template <typename F>
bool Find(void* library, const char* name, F& entry) {
    entry = reinterpret_cast<F>(dlsym(library, name));
    return entry != nullptr;
}

}  // namespace

std::string SaneLibraryName() {
    const char* name = std::getenv("STITCHARA_SANE_LIBRARY");
    return name && *name ? name : "libsane.so.1";
}

SaneApi* AcquireSane() {
    if (g_users > 0) {
        ++g_users;
        return &g_api;
    }
    SaneApi api;
    api.library = dlopen(SaneLibraryName().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!api.library) return nullptr;
    void* l = api.library;
    const bool all = Find(l, "sane_init", api.init) && Find(l, "sane_exit", api.exit) &&
                     Find(l, "sane_get_devices", api.get_devices) &&
                     Find(l, "sane_open", api.open) && Find(l, "sane_close", api.close) &&
                     Find(l, "sane_get_option_descriptor", api.get_option_descriptor) &&
                     Find(l, "sane_control_option", api.control_option) &&
                     Find(l, "sane_get_parameters", api.get_parameters) &&
                     Find(l, "sane_start", api.start) && Find(l, "sane_read", api.read) &&
                     Find(l, "sane_cancel", api.cancel) &&
                     Find(l, "sane_set_io_mode", api.set_io_mode) &&
                     Find(l, "sane_get_select_fd", api.get_select_fd) &&
                     Find(l, "sane_strstatus", api.strstatus);
    SANE_Int version = 0;
    if (!all || api.init(&version, nullptr) != SANE_STATUS_GOOD) {
        dlclose(l);
        return nullptr;
    }
    g_api = api;
    g_users = 1;
    return &g_api;
}

void ReleaseSane() {
    if (g_users <= 0 || --g_users > 0) return;
    g_api.exit();
    // The backends the library loaded keep handlers registered with the C
    // library (atexit, threads); unloading under them is not safe, so the
    // library stays mapped once it has been initialised.
    g_api = SaneApi{};
}

std::string StatusText(SANE_Status status) {
    if (g_users > 0 && g_api.strstatus) {
        const char* text = g_api.strstatus(status);
        if (text) return text;
    }
    return "status " + std::to_string(int(status));
}

}  // namespace twain
