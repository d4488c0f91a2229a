#include "base/workspace_qt.h"

namespace {

Workspace* g_workspace = nullptr;

}  // namespace

Workspace* ApplicationWorkspace() { return g_workspace; }

void SetApplicationWorkspace(Workspace* workspace) { g_workspace = workspace; }
