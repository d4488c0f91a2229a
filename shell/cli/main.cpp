// stitchara-cli entry point: common options, dispatch, exit codes.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/temporary_files.h"
#include "shell/cli/cli.h"
#include "base/progress.h"
#include "shell/terminal_progress.h"

namespace {

// Each command: its synopsis (usage lines), the options that take a value
// and those that do not. Every command also takes the common options and,
// when it writes a picture file, the writers' options.
struct CommandDecl {
    const char* name;
    const char* synopsis;
    std::vector<std::string> values;
    std::vector<std::string> flags;
    bool writes;  // takes --quality and --compression
    int (*run)(const cli::Args&);
};

const CommandDecl kCommands[] = {
    {"formats", "formats\n", {}, {}, false, cli::CmdFormats},
    {"info", "info FILE [--check]\n       --check also reads every pixel and reports damage\n", {}, {"check"}, false, cli::CmdInfo},
    {"convert",
     "convert IN OUT [--type bw|gray16|gray256|color16|color256|rgb24] [--mode 0..7]\n"
     "               [--pattern 0..5 --matrix 4|8 (ordered dither, --mode 3)]\n",
     {"type", "mode", "pattern", "matrix"}, {}, true, cli::CmdConvert},
    {"transform", "transform IN OUT --op mirror-h|mirror-v|mirror-d|rotate-left|rotate-right|rotate-half\n",
     {"op"}, {}, true, cli::CmdTransform},
    {"rescale", "rescale IN OUT --size WxH\n", {"size"}, {}, true, cli::CmdRescale},
    {"crop", "crop IN OUT --rect X,Y,W,H\n     W x H pixels from pixel (X,Y), counted from the top-left corner\n",
     {"rect"}, {}, true, cli::CmdCrop},
    {"trim",
     "trim IN OUT [--tolerance N]\n     removes the border of one colour around the picture; colours within N\n"
     "     (0..255, default 0) of it count as border\n",
     {"tolerance"}, {}, true, cli::CmdTrim},
    {"deskew",
     "deskew IN OUT --thumbs AX,AY,BX,BY\n"
     "       the two thumbs A and B mark a line in the picture that should become\n"
     "       vertical; the picture is turned so that it does\n",
     {"thumbs"}, {}, true, cli::CmdDeskew},
    {"stitch",
     "stitch MAIN REST -o OUT [--side left|top|right|bottom] [--method auto|semi|manual]\n"
     "       [--overlap PCT] [--main-point X,Y --rest-point X,Y] [--no-blend]\n"
     "       points (Manual and Semi-Auto) are pixels of each picture: pixel (rx,ry)\n"
     "       of REST lands on pixel (mx,my) of MAIN\n",
     {"output", "side", "method", "overlap", "main-point", "rest-point"}, {"no-blend"}, true, cli::CmdStitch},
    {"mosaic",
     "mosaic PIECE... -o OUT [--no-blend]\n"
     "       2 to 16 pieces of one original, in any order: placed and joined into\n"
     "       one picture with the pieces' resolution\n",
     {"output"}, {"no-blend"}, true, cli::CmdMosaic},
    {"print",
     "print IN -o OUT.pdf | --printer QUEUE [--scale PCT | --fit] [--center]\n"
     "      [--margins L,T] [--unit inch|cm|pixel] [--frame 1..7]\n"
     "      [--watermark FILE [--watermark-layout center|tile]] [--copies N]\n"
     "      [--dpi DPI] [--paper A4|Letter|...] [--landscape | --portrait]\n"
     "      [--poster [--overlap MM] [--marks] [--labels]]\n"
     "      --poster prints the picture at its scale across as many sheets as it\n"
     "      needs (the fewer of either orientation unless one is given), each\n"
     "      overlapping its neighbours by MM millimetres (10); --marks adds cut\n"
     "      marks, --labels the sheet's place (\"B2 - row 2 of 3, column 2 of 2\")\n",
     {"output", "printer", "scale", "margins", "unit", "frame", "watermark", "watermark-layout", "copies",
      "dpi", "paper", "overlap"},
     {"fit", "center", "landscape", "portrait", "poster", "marks", "labels"}, false, cli::CmdPrint},
    {"scan",
     "scan -o OUT [--device NAME] [--mode color|gray|lineart] [--resolution DPI]\n"
     "     [--area X,Y,W,H] [--batch]\n"
     "     the area in millimetres from the top-left of the scan bed; --batch scans\n"
     "     every page of the document feeder into OUT with the page number added\n"
     "     stitchara-cli scan --list\n",
     {"output", "device", "mode", "resolution", "area"}, {"batch", "list"}, true, cli::CmdScan},
};

const char kCommonUsage[] =
    "options of every command:\n"
    "  --quiet               no progress bar\n"
    "  --memory-limit BYTES  memory for pictures (K, M or G may follow); beyond it\n"
    "                        pictures go to swap files (also STITCHARA_MEMORY_LIMIT)\n"
    "  --help                the command's usage\n"
    "options of every command that writes a picture file:\n"
    "  --quality 1..100      JPEG quality\n"
    "  --compression none|lzw|deflate|packbits|jpeg|g3|g4\n"
    "                        TIFF compression (g3 and g4: black and white pictures only)\n"
    "OUT's extension chooses the format (see formats); .vdl writes the document file.\n"
    "-- ends the options: later arguments are files even when they begin with -.\n"
    "exit status: 0 success, 1 the operation failed, 2 usage error\n";

std::string Usage() {
    std::string text = "usage: stitchara-cli [--quiet] [--memory-limit BYTES] COMMAND [ARGS]\n"
                       "       stitchara-cli COMMAND --help | --help | --version\n"
                       "commands:\n";
    for (const CommandDecl& c : kCommands) {
        std::string synopsis = c.synopsis;
        std::size_t at = 0;
        while (at < synopsis.size()) {
            std::size_t end = synopsis.find('\n', at);
            text += "  " + synopsis.substr(at, end - at + 1);
            at = end + 1;
        }
    }
    return text + kCommonUsage;
}

const CommandDecl* FindCommand(const std::string& name) {
    for (const CommandDecl& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    for (const std::string& item : list)
        if (item == name) return true;
    return false;
}

enum class OptionKind { kUnknown, kFlag, kValue };

OptionKind KindOf(const CommandDecl* command, const std::string& name) {
    if (name == "quiet" || name == "help" || name == "version") return OptionKind::kFlag;
    if (name == "memory-limit") return OptionKind::kValue;
    if (!command) return OptionKind::kUnknown;
    if (Contains(command->flags, name)) return OptionKind::kFlag;
    if (Contains(command->values, name)) return OptionKind::kValue;
    if (command->writes && (name == "quality" || name == "compression")) return OptionKind::kValue;
    return OptionKind::kUnknown;
}

std::string CommandUsage(const CommandDecl& command) {
    std::string text = std::string("usage: stitchara-cli ") + command.synopsis;
    if (command.writes) text += "       [--quality 1..100] [--compression none|lzw|deflate|packbits|jpeg|g3|g4]\n";
    return text + "       [--quiet] [--memory-limit BYTES]\n";
}

// Says a usage error of the command line, with the usage of command (all of
// it when none is known yet).
int CommandLineError(const CommandDecl* command, const std::string& message) {
    cli::UsageError(message);
    std::fputs(command ? CommandUsage(*command).c_str() : Usage().c_str(), stderr);
    return cli::kExitUsage;
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
    // main adds the command's usage when the command returns.
    std::fprintf(stderr, "stitchara-cli: %s\n", message.c_str());
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
    // Swap files and save temporaries of processes killed outright go first;
    // this process's own are removed should a signal end it.
    platform::RemoveLeftTemporaries();
    platform::RemoveTemporariesOnSignals();

    // The common options may come before the command; the command's own
    // options, its files and the common options may come in any order
    // after it; "--" ends the options.
    cli::Args args;
    std::string name;
    const CommandDecl* command = nullptr;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const bool isOption = !optionsEnded && a.size() > 1 && a[0] == '-';
        if (!isOption) {
            if (name.empty()) {
                name = a;
                command = FindCommand(name);
                if (!command && name != "help") return CommandLineError(command, "unknown command '" + name + "'");
            } else {
                args.positional.push_back(a);
            }
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string option, value;
        bool hasValue = false;
        if (a == "-o") option = "output";
        else if (a == "-h") option = "help";
        else if (a.compare(0, 2, "--") == 0) option = a.substr(2);
        else return CommandLineError(command, "unknown option '" + a + "'");
        if (std::size_t eq = option.find('='); eq != std::string::npos) {
            value = option.substr(eq + 1);
            option = option.substr(0, eq);
            hasValue = true;
        }
        const OptionKind kind = KindOf(command, option);
        if (kind == OptionKind::kUnknown) {
            if (!command) return CommandLineError(command, "option --" + option + " belongs after the command");
            return CommandLineError(command, std::string(command->name) + " has no option --" + option);
        }
        if (kind == OptionKind::kFlag && hasValue)
            return CommandLineError(command, "option --" + option + " takes no value");
        if (kind == OptionKind::kValue && !hasValue) {
            if (i + 1 >= argc) return CommandLineError(command, "option --" + option + " needs a value");
            value = argv[++i];
        }
        if (args.Has(option)) return CommandLineError(command, "option --" + option + " is given more than once");
        args.options.emplace_back(option, value);
    }

    if (args.Has("version")) {
        std::printf("stitchara-cli %s\n", STITCHARA_VERSION);
        return cli::kExitOk;
    }
    if (args.Has("help")) {
        std::fputs(command ? CommandUsage(*command).c_str() : Usage().c_str(), stdout);
        return cli::kExitOk;
    }
    if (name.empty()) return CommandLineError(command, "no command given");
    if (name == "help") {
        // "help COMMAND" is "COMMAND --help".
        const CommandDecl* about = args.positional.empty() ? nullptr : FindCommand(args.positional[0]);
        std::fputs(about ? CommandUsage(*about).c_str() : Usage().c_str(), stdout);
        return cli::kExitOk;
    }

    if (args.Has("memory-limit")) {
        // The same byte counts as the setting and the environment take.
        std::uint64_t bytes = 0;
        if (!platform::ParseByteCount(args.Get("memory-limit"), bytes) || bytes == 0)
            return CommandLineError(command,
                "--memory-limit takes a positive number of bytes (K, M or G may follow)");
        platform::SetMemoryBudget(bytes);
    } else if (const char* env = std::getenv("STITCHARA_MEMORY_LIMIT"); env && *env) {
        std::uint64_t bytes = 0;
        if (!platform::ParseByteCount(env, bytes) || bytes == 0)
            return CommandLineError(command, std::string("STITCHARA_MEMORY_LIMIT='") + env +
                                   "' is not a positive number of bytes (K, M or G may follow)");
    }

    // The command's long operations report to this progress, drawn as the
    // terminal's bar (nothing with --quiet).
    TerminalProgressHost terminal;
    Progress progress(args.Has("quiet") ? nullptr : &terminal);
    int rc;
    {
        ProgressScope scope(&progress);
        rc = command->run(args);
    }
    // The command said what was wrong with its arguments; its usage follows.
    if (rc == cli::kExitUsage) std::fputs(CommandUsage(*command).c_str(), stderr);
    // Ctrl-C pressed while work that cannot stop halfway ran on: the command
    // wrote nothing after it (see SavePicture), and does not end as a success.
    if (TerminalProgressHost::Interrupted() && rc == cli::kExitOk) rc = cli::Fail("interrupted");
    // Output that could not be written (a full disk, a closed pipe) is a
    // failure, not a success with a lost result.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        int error = errno;
        cli::Fail(std::string("cannot write the output: ") + std::strerror(error));
        if (rc == cli::kExitOk) rc = cli::kExitFailed;
    }
    return rc;
}
