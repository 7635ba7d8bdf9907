#pragma once
#include <memory>
#include <string>
#include <vector>

class Vigil;

// The results of a batch run, in list order and three sections: changed, with
// problems, unchanged. A report file that cannot be written is a failure of the
// run (reportRunFailure); the rest of the run goes on.
namespace ResultsReport {

// To the "/text" and "/html" files, of the Vigils the run checked.
void writeText(const std::vector<std::shared_ptr<Vigil>>& vigils);
void writeHtml(const std::vector<std::shared_ptr<Vigil>>& vigils);

// The report texts themselves (vigils without null entries).
std::string textReport(const std::vector<std::shared_ptr<Vigil>>& vigils);
// One line; descriptions and URLs have &, <, > and " escaped.
std::string htmlReport(const std::vector<std::shared_ptr<Vigil>>& vigils);

}  // namespace ResultsReport
