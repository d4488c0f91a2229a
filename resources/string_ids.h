// Named constants for the string ids; code may use the name or the number.
#pragma once

#define STITCHARA_STRING(name, id, text) constexpr int name = id;
#include "resources/string_list.inc"
#undef STITCHARA_STRING
