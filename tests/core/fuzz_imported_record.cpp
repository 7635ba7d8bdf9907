// libFuzzer target: whatever bytes a line of another vigil.dat holds, the record
// the import keeps builds no Vigil with a program to run or a control character
// in its description. Every test run builds it and feeds it the records in
// tests/fixtures/fuzz_imported_record (fuzz_driver.cpp stands in for libFuzzer
// where the compiler has none). To fuzz, with clang:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target fuzz_imported_record
//   build-fuzz/tests/fuzz_imported_record -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "net/protocol_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    // A line of the file ends at its LF.
    line = line.substr(0, line.find('\n'));
    const std::string kept = VigilStore::importedRecord(line);
    // The entry keeps the line as text: a NUL would cut it.
    if (kept.find('\0') != std::string::npos) __builtin_trap();
    const auto vigil = VigilStore::parseRecord(kept.c_str(), vigilList(), VigilStore::CacheName::Drop);
    if (vigil) {
        if ((vigil->flags() & NotifyFlags::Program) || vigil->commandLine() ||
            hasControlCharacter(vigil->description()))
            __builtin_trap();
        vigilList().clear();
    }
    return 0;
}
