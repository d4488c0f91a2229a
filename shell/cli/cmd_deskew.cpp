// stitchara-cli deskew
#include "shell/cli/cli.h"

namespace cli {

int CmdDeskew(const Args&) { return Fail("the deskew command is not available yet"); }

}  // namespace cli
