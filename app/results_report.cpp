#include "app/results_report.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/run_state.h"
#include "core/vigil.h"
#include "net/protocol_text.h"
#include "platform/files.h"
#include "platform/trace.h"

namespace {

struct ProblemReason {
    int status;
    const char* html;  // with its line break tag
    const char* text;  // after "  <description> - "
};

// Not a status: a batch run ended (by a signal) before it reached the item.
constexpr int kNotChecked = -1;

const ProblemReason problemReasons[] = {
    {kNotChecked, "Not Checked<BR>", "Not Checked"},
    {VigilStatus::CopyNotStored, "Copy Not Stored<BR>", "Copy Not Stored"},
    {VigilStatus::CopyUnreadable, "Copy Not Readable<BR>", "Copy Not Readable"},
    {VigilStatus::Unavailable, "Not Available<br>", "Not Available"},
    {VigilStatus::UnknownError, "Unknown Error<BR>", "Unknown Error"},
    {VigilStatus::HostNotResolved, "Couldn't Resolve Host<BR>", "Couldn't Resolve Host"},
    {VigilStatus::NotFound, "HTML File Not Found<BR>", "HTML File Not Found"},
    {VigilStatus::BadRequest, "Bad HTTP Request<BR>", "Bad HTTP Request"},
    {VigilStatus::ProxyAuthRequired, "Proxy Authorization Required<BR>", "Proxy Authorization Required"},
    {VigilStatus::NotAuthorized, "Not Authorized<BR>", "Not Authorized"},
    {VigilStatus::FtpReplyBase + 421, "FTP Service Not Available<BR>", "FTP Service Not Available"},
    {VigilStatus::FtpReplyBase + 425, "FTP Couldn't Open Connection<BR>", "FTP Couldn't Open Connection"},
    {VigilStatus::FtpReplyBase + 450, "FTP File Unavailable<BR>", "FTP File Unavailable"},
    {VigilStatus::FtpReplyBase + 550, "FTP File Unavailable<BR>", "FTP File Unavailable"},
    {VigilStatus::FtpReplyBase + 530, "FTP Not Logged In<BR>", "FTP Not Logged In"},
    {VigilStatus::FtpReplyBase + 553, "FTP File Name Not Allowed<BR>", "FTP File Name Not Allowed"},
    {VigilStatus::ProxyError, "The proxy had an error<BR>", "Proxy Error"},
    {VigilStatus::ServerError, "The web server had an error<BR>", "Web server error"},
};

const ProblemReason* reasonFor(int status) {
    for (const ProblemReason& r : problemReasons)
        if (r.status == status) return &r;
    return nullptr;
}

// What the report says of an item: its status, unless this batch run's check of it
// said nothing of the site. An item the run never reached, or whose copy could not
// be stored or read, keeps a status of an earlier run; "did not change" or
// "changed" would then be a claim about this run that no check made.
int reportedStatus(const Vigil& vigil) {
    const int status = vigil.status();
    if (!runState().batchMode) return status;
    const int result = vigil.checkResult();
    if (result == VigilStatus::CopyNotStored || result == VigilStatus::CopyUnreadable) return result;
    // Stopped and unresolved items are not for a batch run to check.
    const bool skipped = status == VigilStatus::Inactive || status == VigilStatus::HostNotResolved ||
                         vigil.active() != 1;
    return result == 0 && !skipped ? kNotChecked : status;
}

// A page whose <html> tag came or went shows "No change" until a second check
// finds it so: the reports say what the list says.
bool unchanged(int status) {
    return status == VigilStatus::NoChange || status == VigilStatus::StructureChanged;
}

const char* const ruleLine = "---------------------------------\n";

// Descriptions and URLs are the user's own text; in the page they must stay text,
// and a control byte (an ESC sequence for a terminal that shows the file) a blank.
std::string escapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += isControlChar(c) ? ' ' : c;
        }
    }
    return out;
}

// A description holds what its source gave it; an ESC sequence written raw would
// run in the terminal that shows the report.
std::string reportText(std::string text) {
    std::replace_if(text.begin(), text.end(), isControlChar, ' ');
    return text;
}

std::string anchor(const Vigil& vigil) {
    return "<A HREF=\"" + escapeHtml(vigil.url()) + "\">" + escapeHtml(vigil.description()) + "</A>";
}

// A report that is missing or cut short is a failure of the run, said on
// standard error: from cron nobody would learn of it otherwise.
void writeReport(const char* kind, const std::string& path, const std::string& contents) {
    auto write = [&contents](FILE* file) {
        return std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    };
    bool ok;
    struct stat st;
    if (::stat(localPath(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A pipe or a device is written into as it is.
        FILE* file = openFile(path, "w");
        ok = file != nullptr && write(file) && std::fflush(file) == 0;
        if (file) ok = std::fclose(file) == 0 && ok;
    } else {
        // Replaced whole, as vigil.dat is, and on disk before the vigil.dat saved
        // after it. A new one is the list owner's: a run as root must not leave the
        // user a report that the user's next run cannot replace.
        ok = replaceFile(path, write, ownerModelFor("vigil.dat"));
    }
    if (ok) {
        traceLine(std::string(kind) + " report: " + path);
    } else {
        reportRunFailure(std::string(kind) + " report not written: " + path + " (" + std::strerror(errno) + ")");
    }
}

std::vector<std::shared_ptr<Vigil>> withoutNull(std::vector<std::shared_ptr<Vigil>> vigils) {
    vigils.erase(std::remove(vigils.begin(), vigils.end(), nullptr), vigils.end());
    return vigils;
}

}  // namespace

namespace ResultsReport {

std::string textReport(const std::vector<std::shared_ptr<Vigil>>& vigils) {
    std::string out = "The following sites have changed:\n";
    out += ruleLine;
    for (const auto& v : vigils)
        if (reportedStatus(*v) == VigilStatus::Changed) out += "  " + reportText(v->description()) + "\n";

    out += "\nThe following sites had problems:\n";
    out += ruleLine;
    for (const auto& v : vigils)
        if (const ProblemReason* r = reasonFor(reportedStatus(*v)))
            out += "  " + reportText(v->description()) + " - " + r->text + "\n";

    out += "\nThe following sites did not change:\n";
    out += ruleLine;
    for (const auto& v : vigils)
        if (unchanged(reportedStatus(*v))) out += "  " + reportText(v->description()) + "\n";
    return out;
}

std::string htmlReport(const std::vector<std::shared_ptr<Vigil>>& vigils) {
    std::string out = "<HTML><TITLE>Tervane Results</TITLE><BODY><H1>Tervane Results</H1><HR>";
    out += "<H3>Changed Sites</H3>";
    for (const auto& v : vigils)
        if (reportedStatus(*v) == VigilStatus::Changed) out += anchor(*v) + "<BR>";

    out += "<BR><HR><H3>Sites That Had Problems</H3>";
    for (const auto& v : vigils) {
        const int status = reportedStatus(*v);
        if (status == VigilStatus::Changed || unchanged(status)) continue;
        out += anchor(*v) + " - ";
        if (const ProblemReason* r = reasonFor(status)) out += r->html;
    }

    out += "<BR><HR><H3>Sites That Didn't Change</H3>";
    for (const auto& v : vigils)
        if (unchanged(reportedStatus(*v))) out += anchor(*v) + "<BR>";
    out += "</BODY></HTML>\n";
    return out;
}

void writeText(const std::vector<std::shared_ptr<Vigil>>& vigils) {
    writeReport("text", runState().textReportName, textReport(withoutNull(vigils)));
}

void writeHtml(const std::vector<std::shared_ptr<Vigil>>& vigils) {
    writeReport("html", runState().htmlReportName, htmlReport(withoutNull(vigils)));
}

}  // namespace ResultsReport
