// stitchara-cli scan: a scan through the acquirer, written to a file; with
// --batch every page of the document feeder; --list names the devices.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acquire/twain_acquirer.h"
#include "picture/picture.h"
#include "platform/twain/dsm.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The options of the command line, put on the device as the source's
// dialog would put the user's choices.
class CommandLineUi : public twain::SourceUi {
public:
    std::string mode;  // color, gray, lineart or empty
    int resolution = 0;
    std::vector<int> area;  // x, y, w, h in mm
    bool batch = false;
    std::string error;

    bool Run(twain::ScanDevice& device, void*) override {
        if (!mode.empty() && !SetMode(device)) return false;
        if (resolution > 0) {
            double value = resolution;
            if (!device.SetNumber("resolution", value)) return Refuse("the device takes no resolution of " + std::to_string(resolution) + " dpi");
            if (std::lround(value) != resolution)
                std::fprintf(stderr, "stitchara-cli: the device scans at %ld dpi instead of %d dpi\n", std::lround(value), resolution);
        }
        if (!area.empty()) {
            const char* names[] = {"tl-x", "tl-y", "br-x", "br-y"};
            const double values[] = {double(area[0]), double(area[1]), double(area[0] + area[2]), double(area[1] + area[3])};
            for (int i = 0; i < 4; ++i) {
                double v = values[i];
                if (!device.SetNumber(names[i], v)) return Refuse("the device has no scan area to set");
            }
        }
        if (batch) {
            twain::OptionDescriptor source;
            if (!device.Describe("source", source)) return Refuse("the device has no document feeder");
            bool found = false;
            for (const std::string& entry : source.strings) {
                const std::string l = Lower(entry);
                if (l.find("feeder") != std::string::npos || l.find("adf") != std::string::npos) {
                    found = device.SetString("source", entry);
                    break;
                }
            }
            if (!found) return Refuse("the device has no document feeder");
        }
        return true;
    }

private:
    bool Refuse(const std::string& why) {
        error = why;
        return false;
    }
    // The device's own entry for the mode: its "Color"/"Gray"/"Lineart",
    // or for line art its gray at 1 bit where that is how it offers it.
    bool SetMode(twain::ScanDevice& device) {
        twain::OptionDescriptor option;
        if (!device.Describe("mode", option) || option.constraint != twain::Constraint::Strings)
            return Refuse("the device has no scan mode to set");
        auto find = [&](const char* word) -> std::string {
            for (const std::string& entry : option.strings)
                if (Lower(entry).find(word) != std::string::npos) return entry;
            return "";
        };
        std::string entry;
        double depth = 0;
        if (mode == "color") entry = find("colo");
        else if (mode == "gray") {
            entry = find("gray");
            if (entry.empty()) entry = find("grey");
            depth = 8;
        } else {
            entry = find("lineart");
            if (entry.empty()) entry = find("binary");
            if (entry.empty()) entry = find("black");
            if (entry.empty()) {
                entry = find("gray");
                depth = 1;
            }
        }
        if (entry.empty() || !device.SetString("mode", entry))
            return Refuse("the device offers no " + mode + " mode");
        if (mode == "color") depth = 8;
        if (depth > 0) {
            twain::OptionDescriptor bits;
            if (device.Describe("depth", bits) && bits.active && bits.settable) {
                double v = depth;
                if (!device.SetNumber("depth", v) || v != depth)
                    return Refuse("the device offers no " + mode + " mode at " + std::to_string(int(depth)) + " bits");
            } else if (depth == 1) {
                return Refuse("the device offers no lineart mode");
            }
        }
        return true;
    }
};

// Writes each picture as it arrives.
class FileOwner : public CTwainOwner {
public:
    std::string output;
    bool batch = false;
    int written = 0;
    int failed = 0;

    void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) override {
        if (dib) {
            picture = std::make_unique<CDocPicture>();
            if (!picture->AttachPackedDib(std::move(dib))) picture.reset();
        }
        if (!picture) {
            ++failed;
            return;
        }
        if (SavePicture(*picture, PathFor(written + 1))) ++written;
        else ++failed;
    }

    // OUT for one scan; with --batch the page number before the extension.
    std::string PathFor(int page) const {
        if (!batch) return output;
        const std::size_t slash = output.rfind('/');
        std::size_t dot = output.rfind('.');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = output.size();
        return output.substr(0, dot) + "-" + std::to_string(page) + output.substr(dot);
    }
};

}  // namespace

int CmdScan(const Args& args) {
    UseToolMessages();
    if (!args.positional.empty()) return UsageError("scan takes no file argument (use -o OUT)");
    for (const auto& option : args.options) {
        const std::string& n = option.first;
        if (!IsCommonOption(n) && !IsSaveOption(n) && n != "output" && n != "device" && n != "mode" &&
            n != "resolution" && n != "area" && n != "batch" && n != "list")
            return UsageError("scan has no option --" + n);
    }
    if (args.Has("list")) {
        std::vector<twain::DeviceInfo> devices;
        std::string error;
        if (!twain::ListDevices(devices, error)) return Fail("cannot list the scanners: " + error);
        for (const auto& d : devices)
            std::printf("%s\t%s %s (%s)\n", d.name.c_str(), d.vendor.c_str(), d.model.c_str(), d.type.c_str());
        if (devices.empty()) std::fprintf(stderr, "stitchara-cli: %s\n", LoadStringById(IDS_SCANNER_NO_DEVICE));
        return kExitOk;
    }
    if (!args.Has("output") || args.Get("output").empty()) return UsageError("scan needs -o OUT");
    CommandLineUi ui;
    ui.mode = args.Get("mode");
    if (!ui.mode.empty() && ui.mode != "color" && ui.mode != "gray" && ui.mode != "lineart")
        return UsageError("--mode takes color, gray or lineart");
    if (args.Has("resolution")) {
        std::vector<int> v;
        if (!ParseIntList(args.Get("resolution"), v, 1) || v[0] <= 0 || v[0] > 32767)
            return UsageError("--resolution takes a positive number of dots per inch");
        ui.resolution = v[0];
    }
    if (args.Has("area")) {
        if (!ParseIntList(args.Get("area"), ui.area, 4) || ui.area[0] < 0 || ui.area[1] < 0 || ui.area[2] <= 0 ||
            ui.area[3] <= 0)
            return UsageError("--area takes X,Y,W,H in millimetres (W and H positive)");
    }
    ui.batch = args.Has("batch");
    if (int rc = TakeSaveOptions(args); rc != kExitOk) return rc;

    FileOwner owner;
    owner.output = args.Get("output");
    owner.batch = ui.batch;
    if (!CheckOutputPath(owner.PathFor(1))) return kExitFailed;

    CTwainAcquirer acquirer;
    if (!acquirer.Prepare(&owner)) return Fail(LoadStringById(IDS_SCANNER_NO_LIBRARY));
    twain::SetDefaultSourceOverride(args.Get("device"));
    twain::SetSourceUi(&ui);
    bool started = acquirer.Acquire() != 0;
    // The scan runs as the source's notices come in.
    while (started && acquirer.ProcessMessage(nullptr)) {
    }
    acquirer.CloseAll();
    twain::SetSourceUi(nullptr);
    twain::SetDefaultSourceOverride("");
    if (!ui.error.empty()) return Fail(ui.error);
    if (!started) return kExitFailed;  // the acquirer told why
    if (owner.failed > 0 || owner.written == 0) {
        if (owner.written == 0 && owner.failed == 0) return Fail("the scan was cancelled");
        return Fail(owner.written ? "a page of the batch could not be scanned" : "the scan failed");
    }
    return kExitOk;
}

}  // namespace cli
