#pragma once
#include <ctime>

// Month number 0-11 from the first three letters of a month name (any case), or -1.
int monthFromName(const char* text);

// Reads the three HTTP/1.0 date forms into record, filling only the fields found.
// Returns the number of blank-separated fields.
int parseHttpDate(const char* text, struct tm* record);
