// stitchara-cli: the command-line front end over the core.
#pragma once
#include <string>
#include <vector>

namespace cli {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// The arguments of one command after the common options were taken out.
struct Args {
    std::vector<std::string> positional;
    // --name value and --flag options, in order; a flag has an empty value.
    std::vector<std::pair<std::string, std::string>> options;

    bool Has(const std::string& name) const;
    // The value of --name, or fallback when absent.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// Prints "stitchara-cli: message" on stderr and returns kExitFailed.
int Fail(const std::string& message);
// Prints the usage error on stderr; returns kExitUsage, on which main adds
// the command's synopsis once the command returns it.
int UsageError(const std::string& message);

// Parses "A,B,..." integers; false on any junk or a wrong count.
bool ParseIntList(const std::string& text, std::vector<int>& values, std::size_t count);

// The PictureType name without its prefix ("TrueColor24"), as info prints it.
const char* PictureTypeName(int type);

// The commands; each returns an ExitCode.
int CmdFormats(const Args& args);
int CmdInfo(const Args& args);
int CmdConvert(const Args& args);
int CmdTransform(const Args& args);
int CmdRescale(const Args& args);
int CmdCrop(const Args& args);
int CmdTrim(const Args& args);
int CmdDeskew(const Args& args);
int CmdStitch(const Args& args);
int CmdMosaic(const Args& args);
// Prints through Qt's printer support; without it, says so and fails.
int CmdPrint(const Args& args);
int CmdScan(const Args& args);

}  // namespace cli
