// stitchara-cli formats
#include "shell/cli/cli.h"

namespace cli {

int CmdFormats(const Args&) { return Fail("the formats command is not available yet"); }

}  // namespace cli
