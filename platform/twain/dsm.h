// The data source manager: answers the operation triplets of the acquirer
// (twain_types.h) with SANE devices as its data sources. libsane is loaded
// at run time; without it the manager cannot be found, as a missing manager
// library would be.
//
// The manager has no windows of its own. The front end injects the device
// choice (SourceChooser) and the source's user interface (SourceUi); both
// work on a ScanDevice, the open device with its option descriptors. A front
// end without them (the command line) gets the default device and scans
// with the options as they are.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/twain/twain_types.h"

namespace twain {

// Whether the manager library can be found (loads and unloads it).
bool ManagerLibraryPresent();

// The manager library as the acquirer sees it: found, loaded, its entry
// point, released. The SANE-backed one is the program's; tests script
// their own.
class ManagerLibrary {
public:
    virtual ~ManagerLibrary() = default;
    virtual bool Present() = 0;
    virtual bool Load() = 0;
    virtual DsmEntryProc Entry() = 0;
    virtual void Release() = 0;
};
ManagerLibrary& SaneManagerLibrary();

// A scanner the library reports.
struct DeviceInfo {
    std::string name;  // what opens it ("test:0")
    std::string vendor;
    std::string model;
    std::string type;
};

// The devices, or false with the reason (the library is missing, the
// backend failed). An empty list with true: no scanner is attached.
bool ListDevices(std::vector<DeviceInfo>& devices, std::string& error);

enum class OptionType { Bool, Int, Fixed, String, Button, Group };
enum class OptionUnit { None, Pixel, Bit, Mm, Dpi, Percent, Microsecond };
enum class Constraint { None, Range, List, Strings };

// One option of a device, as its backend describes it. Fixed-point values
// are given as doubles; integer ones too.
struct OptionDescriptor {
    int index = 0;
    std::string name;
    std::string title;
    std::string description;
    OptionType type = OptionType::Int;
    OptionUnit unit = OptionUnit::None;
    int count = 1;  // values in the option (arrays have more)
    bool active = true;
    bool settable = true;
    bool advanced = false;
    Constraint constraint = Constraint::None;
    double minimum = 0, maximum = 0, quant = 0;
    std::vector<double> values;
    std::vector<std::string> strings;
};

// The frame a scan delivers, as the device announces it.
struct ScanFormat {
    enum Kind { Gray, Rgb, Red, Green, Blue, Other } kind = Gray;
    int width = 0;
    int height = 0;  // -1: not known before the end
    int depth = 0;
    int bytesPerLine = 0;
    bool lastFrame = true;
};

// A picture of a whole scan in 8 bits a sample: gray (1 byte a pixel) or
// red, green, blue (3 bytes), top row first; for previews.
struct ScanImage {
    int width = 0;
    int height = 0;
    int channels = 1;
    std::vector<std::uint8_t> pixels;
};

// An open device. Option access by name; a name the device lacks, an
// inactive option or a refused value answer false.
class ScanDevice {
public:
    virtual ~ScanDevice() = default;
    virtual const std::string& Name() const = 0;
    virtual std::vector<OptionDescriptor> Options() = 0;
    virtual bool Describe(const std::string& name, OptionDescriptor& descriptor) = 0;
    virtual bool GetNumber(const std::string& name, double& value) = 0;
    // The value is rounded to the option's step; the value set is returned.
    virtual bool SetNumber(const std::string& name, double& value) = 0;
    virtual bool GetString(const std::string& name, std::string& value) = 0;
    virtual bool SetString(const std::string& name, const std::string& value) = 0;
    virtual bool GetBool(const std::string& name, bool& value) = 0;
    virtual bool SetBool(const std::string& name, bool value) = 0;
    // Lets the device choose the option's value (when it can).
    virtual bool SetAuto(const std::string& name) = 0;
    // The frame the current options give.
    virtual bool Format(ScanFormat& format) = 0;
    // A whole scan with the current options, outside any transfer (the
    // preview of the source's dialog). False with the reason on failure.
    virtual bool ScanWhole(ScanImage& image, std::string& error) = 0;
};

// The device choice: picks one of devices (current: the default's name);
// false when the user cancels.
class SourceChooser {
public:
    virtual ~SourceChooser() = default;
    virtual bool Choose(const std::vector<DeviceInfo>& devices, const std::string& current,
                        std::string& chosen, void* parent) = 0;
};

// The source's user interface: shown when the source is enabled with its
// interface, it sets the device's options; true to scan, false to cancel.
class SourceUi {
public:
    virtual ~SourceUi() = default;
    virtual bool Run(ScanDevice& device, void* parent) = 0;
};

// Waits until the device's descriptor (-1 when it has none) may have data.
// False cancels the scan. Without one, the wait polls the descriptor and
// cancels when the calling thread's Progress has been cancelled.
class ReadWaiter {
public:
    virtual ~ReadWaiter() = default;
    virtual bool Wait(int fd) = 0;
};

// Front-end hooks; none (the default) for each: the default device, no
// interface, a plain wait. Not owned.
void SetSourceChooser(SourceChooser* chooser);
void SetSourceUi(SourceUi* ui);
void SetReadWaiter(ReadWaiter* waiter);

// The default source: the choice remembered from the selection dialog
// (setting "DefaultSource" of section "Scanner"), else the first device.
std::string DefaultSourceName();
// Opening the default source opens this device instead while it is set
// (the command line's --device); empty withdraws it. Not remembered.
void SetDefaultSourceOverride(const std::string& name);

// The reason of the manager's last failure, for the front end's message
// ("" when none is known).
std::string LastError();

}  // namespace twain
