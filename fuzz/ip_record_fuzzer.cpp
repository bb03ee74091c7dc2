// IPRecord.dat, the address book: read, written back and read again.
//
// Input: the file's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "login/ip_record_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = fuzz::Program::Get().WriteFile("IPRecord.dat", {data, size});
    const IPRecordFileContents contents = ReadIPRecordFile(file);
    if (contents.status != IPRecordFileStatus::Ok) {
        return 0;
    }
    if (contents.records.size() != size / kIPRecordSize ||
        !WriteIPRecordFile(file, contents.records)) {
        std::abort();
    }
    const IPRecordFileContents again = ReadIPRecordFile(file);
    if (again.status != IPRecordFileStatus::Ok || again.records.size() != contents.records.size()) {
        std::abort();
    }
    return 0;
}
