// stitchara-cli convert
#include "shell/cli/cli.h"

namespace cli {

int CmdConvert(const Args&) { return Fail("the convert command is not available yet"); }

}  // namespace cli
