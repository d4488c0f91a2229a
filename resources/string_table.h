// The whole string table, for code that lists it (tests, checks).
#pragma once
#include <span>

struct StringEntry {
    int id;
    const char* text;
};

// Every entry, ids ascending.
std::span<const StringEntry> AllStrings();
