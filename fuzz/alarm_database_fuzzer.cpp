// AlarmData.dat as the configuration page opens it, then as the alarm recorder appends to it and
// the page deletes from it.
//
// Input: the file's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "kernel/alarm_db.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program& program = fuzz::Program::Get();
    program.ClearFolder();
    program.WriteFile("AlarmData.dat", {data, size});
    const std::string folder = program.Folder().string() + "/";
    SystemConfig database;
    database.OpenAlarmDatabase(folder);
    const std::size_t read = database.Items().size();
    if (read > kAlarmDBMaxItems) {
        std::abort();
    }
    if (read > 0) {
        database.MarkForDeletion(0);
        database.AlarmDB_Save();
    }
    database.NewAlarmDataItem(folder + "alarm.qrn");
    database.AppendAlarmData(folder, 25, "127.0.0.1");
    database.LoadAlarmDatabase(folder);
    return 0;
}
