// IPRecord.dat, the address book: read, written back and read again.
//
// Input: the file's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "login/ip_record_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program& program = fuzz::Program::Get();
    program.ClearFolder();
    const auto file = program.WriteFile("IPRecord.dat", {data, size});
    const IPRecordFileContents contents = ReadIPRecordFile(file);
    if (contents.status != IPRecordFileStatus::Ok) {
        return 0;
    }
    // A cut file is kept aside; the whole records it held stay in the book.
    if (contents.records.size() != size / kIPRecordSize ||
        contents.keptAside.has_value() != (size % kIPRecordSize != 0) ||
        !WriteIPRecordFile(file, contents.records)) {
        std::abort();
    }
    const IPRecordFileContents again = ReadIPRecordFile(file);
    if (again.status != IPRecordFileStatus::Ok || again.keptAside ||
        again.records.size() != contents.records.size()) {
        std::abort();
    }
    return 0;
}
