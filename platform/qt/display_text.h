#pragma once
#include <QString>
#include <string>
#include <string_view>

// Texts from stored files and from other programs' bookmark files may be in a
// Windows 8-bit code page: what is not UTF-8 is shown as Latin-1 rather than as
// replacement marks.
QString displayText(std::string_view bytes);

// Text the user typed, as bytes for a stored file: Latin-1 when the file's text is
// 8-bit and the text fits it, else UTF-8 (nothing typed is lost).
std::string storedText(const QString& text, bool eightBit);
