#pragma once
#include <memory>
#include <string>

class Vigil;

// vigil.dat: a count line, then one record line per Vigil in list order.
namespace VigilStore {

// Reads the file into new Vigils appended to vigilList; each Vigil reports its
// status to callbackTarget. A missing file leaves the list as it is.
void load(const std::string& fileName, void* callbackTarget);

// Writes the whole list (through a temporary file renamed over the old one).
// 0 on success; -1 when the file could not be written (the old one then stays).
int save(const std::string& fileName);

// Builds one Vigil from a record line and appends it to vigilList; null when the
// line does not make a Vigil.
std::shared_ptr<Vigil> parseRecord(const std::string& line, void* callbackTarget);

}  // namespace VigilStore
