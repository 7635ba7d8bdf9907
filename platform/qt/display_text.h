#pragma once
#include <QString>
#include <string_view>

// Texts from stored files and from other programs' bookmark files may be in a
// Windows 8-bit code page: what is not UTF-8 is shown as Latin-1 rather than as
// replacement marks.
QString displayText(std::string_view bytes);
