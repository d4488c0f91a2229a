// stitchara-cli formats: the file formats that can be read and written.
#include <cstdio>
#include <string>
#include <vector>

#include "document/import_export_formats.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {

int CmdFormats(const Args& args) {
    if (!args.positional.empty()) return UsageError("formats takes no arguments");
    for (const auto& option : args.options)
        if (!IsCommonOption(option.first))
            return UsageError("formats has no option --" + option.first);
    UseToolMessages();
    FormatTable& table = Formats();
    std::vector<std::string> descriptions;
    if (table.Count() == 0 || !table.QueryDescriptions(descriptions))
        return Fail("no file format is available");
    // One line per format: extension, r when readable, w when writable, description.
    for (int i = 0; i < table.Count(); ++i) {
        const FormatEntry& entry = table.Entry(i);
        std::printf("%-4s %c%c  %s\n", table.ExtensionAt(i).c_str(), entry.readable ? 'r' : '-',
                    entry.writable ? 'w' : '-',
                    i < int(descriptions.size()) ? descriptions[std::size_t(i)].c_str() : "");
    }
    std::printf("%-4s %c%c  %s\n", "VDL", 'r', 'w', "Stitchara document (BMP)");
    return kExitOk;
}

}  // namespace cli
