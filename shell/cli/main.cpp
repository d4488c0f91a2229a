// stitchara-cli entry point: common options, dispatch, exit codes.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/system.h"
#include "shell/cli/cli.h"
#include "base/progress.h"
#include "shell/terminal_progress.h"

namespace {

const char kUsage[] =
    "usage: stitchara-cli COMMAND [ARGS] [--quiet] [--memory-limit BYTES]\n"
    "commands:\n"
    "  formats\n"
    "  info FILE\n"
    "  convert IN OUT [--type bw|gray16|gray256|color16|color256|rgb24] [--mode 0..7]\n"
    "                 [--pattern 0..5] [--matrix 4|8]\n"
    "  transform IN OUT --op mirror-h|mirror-v|mirror-d|rotate-left|rotate-right|rotate-half\n"
    "  rescale IN OUT --size WxH\n"
    "  deskew IN OUT --thumbs AX,AY,BX,BY\n"
    "  stitch MAIN REST -o OUT [--side left|top|right|bottom] [--method auto|semi|manual]\n"
    "         [--overlap PCT] [--main-point X,Y --rest-point X,Y] [--no-blend]\n"
    "  print IN -o OUT.pdf | --printer QUEUE [--scale PCT | --fit] [--center]\n"
    "        [--margins L,T] [--unit inch|cm|pixel] [--frame 1..7]\n"
    "        [--watermark FILE [--watermark-layout center|tile]] [--copies N]\n"
    "        [--dpi DPI] [--paper A4|Letter|...] [--landscape]\n";

// Options that take no value; every other --option takes the next argument.
bool IsFlag(const std::string& name) {
    return name == "quiet" || name == "no-blend" || name == "help" || name == "fit" ||
           name == "center" || name == "landscape";
}

}  // namespace

namespace cli {

bool Args::Has(const std::string& name) const {
    for (const auto& o : options)
        if (o.first == name) return true;
    return false;
}

std::string Args::Get(const std::string& name, const std::string& fallback) const {
    for (const auto& o : options)
        if (o.first == name) return o.second;
    return fallback;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "stitchara-cli: %s\n", message.c_str());
    return kExitFailed;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "stitchara-cli: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool ParseIntList(const std::string& text, std::vector<int>& values, std::size_t count) {
    values.clear();
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(pos, end - pos);
        if (part.empty()) return false;
        errno = 0;
        char* stop = nullptr;
        long v = std::strtol(part.c_str(), &stop, 10);
        if (errno != 0 || *stop != '\0' || v < -2147483647L || v > 2147483647L) return false;
        values.push_back(int(v));
        pos = end + 1;
    }
    return values.size() == count;
}

#ifndef STITCHARA_CLI_PRINT
int CmdPrint(const Args&) { return Fail("this build has no printing (built without Qt)"); }
#endif

}  // namespace cli

int main(int argc, char** argv) {
    if (argc < 2) return cli::UsageError("no command given");
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return cli::kExitOk;
    }

    cli::Args args;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-o") a = "--output";
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2);
            std::string value;
            std::size_t eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            } else if (!IsFlag(name)) {
                if (i + 1 >= argc) return cli::UsageError("option --" + name + " needs a value");
                value = argv[++i];
            }
            args.options.emplace_back(name, value);
        } else {
            args.positional.push_back(a);
        }
    }

    if (args.Has("memory-limit")) {
        // The same byte counts as the setting and the environment take.
        std::uint64_t bytes = 0;
        if (!platform::ParseByteCount(args.Get("memory-limit"), bytes) || bytes == 0)
            return cli::UsageError(
                "--memory-limit takes a positive number of bytes (K, M or G may follow)");
        platform::SetMemoryBudget(bytes);
    }

    TerminalProgressHost terminal;
    if (!args.Has("quiet")) SetProgressHost(&terminal);

    int rc;
    if (command == "formats") rc = cli::CmdFormats(args);
    else if (command == "info") rc = cli::CmdInfo(args);
    else if (command == "convert") rc = cli::CmdConvert(args);
    else if (command == "transform") rc = cli::CmdTransform(args);
    else if (command == "rescale") rc = cli::CmdRescale(args);
    else if (command == "deskew") rc = cli::CmdDeskew(args);
    else if (command == "stitch") rc = cli::CmdStitch(args);
    else if (command == "print") rc = cli::CmdPrint(args);
    else rc = cli::UsageError("unknown command '" + command + "'");

    SetProgressHost(nullptr);
    // Output that could not be written (a full disk, a closed pipe) is a
    // failure, not a success with a lost result.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        int error = errno;
        cli::Fail(std::string("cannot write the output: ") + std::strerror(error));
        if (rc == cli::kExitOk) rc = cli::kExitFailed;
    }
    return rc;
}
