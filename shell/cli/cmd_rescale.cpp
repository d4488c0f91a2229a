// stitchara-cli rescale
#include "shell/cli/cli.h"

namespace cli {

int CmdRescale(const Args&) { return Fail("the rescale command is not available yet"); }

}  // namespace cli
