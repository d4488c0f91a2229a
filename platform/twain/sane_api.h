// The scanner library, loaded at run time. Private to platform/twain: no
// header outside this folder includes it.
#pragma once
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <string>

namespace twain {

// The entry points of libsane, found with dlsym.
struct SaneApi {
    void* library = nullptr;
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
    void (*exit)() = nullptr;
    SANE_Status (*get_devices)(const SANE_Device***, SANE_Bool) = nullptr;
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
    void (*close)(SANE_Handle) = nullptr;
    const SANE_Option_Descriptor* (*get_option_descriptor)(SANE_Handle, SANE_Int) = nullptr;
    SANE_Status (*control_option)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
    SANE_Status (*get_parameters)(SANE_Handle, SANE_Parameters*) = nullptr;
    SANE_Status (*start)(SANE_Handle) = nullptr;
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
    void (*cancel)(SANE_Handle) = nullptr;
    SANE_Status (*set_io_mode)(SANE_Handle, SANE_Bool) = nullptr;
    SANE_Status (*get_select_fd)(SANE_Handle, SANE_Int*) = nullptr;
    SANE_String_Const (*strstatus)(SANE_Status) = nullptr;
};

// The library's file name; STITCHARA_SANE_LIBRARY names another (tests).
std::string SaneLibraryName();

// Loads the library and runs sane_init on first use; every successful call
// is matched by one ReleaseSane, the last of which runs sane_exit and
// unloads it. None when the library or one of its entries is missing.
// Before sane_init, the backends that STITCHARA_SANE_KEEP names are held
// loaded for good (tests: the leak check then sees their library's name).
SaneApi* AcquireSane();
void ReleaseSane();

// The status text of the library ("Document feeder out of documents").
std::string StatusText(SANE_Status status);

}  // namespace twain
