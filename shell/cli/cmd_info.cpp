// stitchara-cli info
#include "shell/cli/cli.h"

namespace cli {

int CmdInfo(const Args&) { return Fail("the info command is not available yet"); }

}  // namespace cli
