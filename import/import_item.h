#pragma once
#include <vector>

#include "core/simple_string.h"

// One importable entry: the text shown in the import window's list and the
// complete vigil.dat record line (separator first) that becomes the Vigil.
struct ImportItem {
    ImportItem(const char* display, const char* record) : displayText(display), recordLine(record) {}
    SimpleString displayText;
    SimpleString recordLine;
};

// Entries in the order in which their source holds them.
using ImportList = std::vector<ImportItem>;
