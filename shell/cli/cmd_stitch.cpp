// stitchara-cli stitch
#include "shell/cli/cli.h"

namespace cli {

int CmdStitch(const Args&) { return Fail("the stitch command is not available yet"); }

}  // namespace cli
