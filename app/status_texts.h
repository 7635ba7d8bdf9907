#pragma once
#include "core/simple_string.h"

// The texts of the Status column and the status line, by index. The status line
// and the FTP error box use an index; every other caller goes through statusText.
constexpr int kStatusTextCount = 32;
extern const char* const statusTexts[kStatusTextCount];

namespace StatusTextIndex {
constexpr int Initializing = 0;
constexpr int Blank = 1;
constexpr int AddingFtp = 2;
constexpr int AddingWeb = 3;
constexpr int AddingGopher = 4;
constexpr int Changed = 6;
constexpr int NoChange = 7;
constexpr int FtpServiceNotAvailable = 10;  // the FTP error texts run to 17
constexpr int FtpUnknown = 17;
constexpr int FileFound = 24;
}  // namespace StatusTextIndex

// Icon resource numbers: the kinds, and the status icons shown when the "status
// icons" setting is on. 1234 exists among the icons but nothing shows it.
namespace IconId {
constexpr int Program = 713;
constexpr int Ftp = 1010;
constexpr int Web = 1011;
constexpr int Gopher = 1012;
constexpr int Checking = 1232;
constexpr int Error = 1233;
constexpr int Unused = 1234;
constexpr int Normal = 1235;
constexpr int Changed = 1236;
constexpr int SiteProblem = 1237;
}  // namespace IconId

// The Status column text of a status code.
SimpleString statusText(int status);
// True when that text is "No change".
bool showsNoChange(int status);
// The status icon of a status code.
int statusIcon(int status);
// The icon of a Vigil kind (VigilKind).
int kindIcon(int kind);
