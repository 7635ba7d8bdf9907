#include "app/status_texts.h"

#include "core/vigil.h"

const char* const statusTexts[kStatusTextCount] = {
    "Initializing...",
    " ",
    "Adding a new FTP site...",
    "Adding a new Web site...",
    "Adding a new Gopher site...",
    "Checking...",
    "Changed!",
    "No change",
    "Suspended",
    "Host unavailable",
    "FTP Error - Service not available",
    "FTP Error - Can't open connection",
    "FTP Error - Connection closed",
    "FTP Error - File Unavailable",
    "FTP Error - Not logged in",
    "FTP Error - File Unavailable",
    "FTP Error - File name not allowed",
    "FTP Error - Unknown",
    "Error",
    "Serious error",
    "Inactive",
    "Doc not found",
    "This document has been permanently moved.  Would you like to change the Vigil to go to the new location?",
    "This document has been temporarily moved.  Would you like to change the Vigil to go to the new location?",
    "This file has been found",
    "Could not resolve host name.",
    "Bad get.  Contact programmer",
    "Proxy password required",
    "Not authorized.  You need to provide a user name and password for this page.",
    "The proxy had an error.",
    "Timed Out",
    "The web server had an error",
};

namespace {

int statusTextIndex(int status) {
    using namespace VigilStatus;
    switch (status) {
        case Checking: return 5;
        case Changed: return 6;
        case Unavailable: return 9;
        case HostNotResolved: return 25;
        case Inactive: return 20;
        case NotFound: return 21;
        case FileFound: return 24;
        case BadRequest: return 26;
        case ProxyAuthRequired: return 27;
        case NotAuthorized: return 28;
        case ProxyError: return 29;
        case ServerError: return 31;
        case UnknownError: return 18;
        default: break;
    }
    if (status >= FtpReplyBase && status <= FtpReplyBase + 600) return 18;
    return StatusTextIndex::NoChange;  // every other code
}

}  // namespace

SimpleString statusText(int status) {
    return SimpleString(statusTexts[statusTextIndex(status)]);
}

bool showsNoChange(int status) {
    return statusTextIndex(status) == StatusTextIndex::NoChange;
}

int statusIcon(int status) {
    using namespace VigilStatus;
    switch (status) {
        case Checking: return IconId::Checking;
        case Changed: return IconId::Changed;
        // FTP replies 421, 425, 426, 450, 530, 550 and 553
        case FtpReplyBase + 421: case FtpReplyBase + 425: case FtpReplyBase + 426:
        case FtpReplyBase + 450: case FtpReplyBase + 530: case FtpReplyBase + 550:
        case FtpReplyBase + 553:
        case UnknownError: case ProxyAuthRequired:
            return IconId::Error;
        case Unavailable: case HostNotResolved: case BadRequest: case NotFound: case NotAuthorized:
            return IconId::SiteProblem;
        default:
            return IconId::Normal;
    }
}

int kindIcon(int kind) {
    switch (kind) {
        case VigilKind::Ftp: return IconId::Ftp;
        case VigilKind::Web: return IconId::Web;
        case VigilKind::Gopher: return IconId::Gopher;
        default: return IconId::Program;
    }
}
