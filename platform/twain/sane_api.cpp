// Loading libsane at run time.
#include "platform/twain/sane_api.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace twain {
namespace {

SaneApi g_api;
int g_users = 0;

template <typename F>
bool Find(void* library, const char* name, F& entry) {
    entry = reinterpret_cast<F>(dlsym(library, name));
    return entry != nullptr;
}

// Tests under the leak checker: the backends that STITCHARA_SANE_KEEP names
// (backend names such as "test", or library paths, separated by ':') are
// held loaded, so that sane_exit does not unload them before the check and
// what they leak is reported under their library's name.
void KeepBackendsLoaded(void* library) {
    const char* list = std::getenv("STITCHARA_SANE_KEEP");
    if (!list || !*list) return;
    // The backends lie in the folder "sane" beside the library.
    std::string folder;
    Dl_info where{};
    void* entry = dlsym(library, "sane_init");
    if (entry && dladdr(entry, &where) && where.dli_fname) {
        folder = where.dli_fname;
        folder = folder.substr(0, folder.rfind('/') + 1) + "sane/";
    }
    const std::string names = list;
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = names.find(':', start);
        if (end == std::string::npos) end = names.size();
        const std::string name = names.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        const std::string path = name.find('/') != std::string::npos ? name : folder + "libsane-" + name + ".so.1";
        // Never closed: held for the life of the process.
        dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE);
    }
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
    if (all) KeepBackendsLoaded(l);
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
