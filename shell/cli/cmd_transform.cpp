// stitchara-cli transform
#include "shell/cli/cli.h"

namespace cli {

int CmdTransform(const Args&) { return Fail("the transform command is not available yet"); }

}  // namespace cli
