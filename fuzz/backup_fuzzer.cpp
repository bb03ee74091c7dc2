// The network backup: the disk bitmap the disk list is built from, and the reply of
// "/NetworkBk.cgi", blocks from its first byte, written to the backup file.
//
// Input: a reply script (fuzz_support.h); its first reply is the disk answer, its second the
// backup reply.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/backup_download.h"
#include "config/download_progress_dlg.h"
#include "fuzz_support.h"
#include "platform/sync.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::LoopbackDevice device;
    static const platform::Handle startEvent = platform::CreateEventObject(true, true);
    static const platform::Handle stopEvent = platform::CreateEventObject(true, false);
    fuzz::Program& program = fuzz::Program::Get();
    program.PointAt(device.Port());
    fuzz::ReplyScript script = fuzz::DecodeReplyScript({data, size});
    if (!script.replies.empty()) {
        const std::string disks = script.replies.front();
        script.replies.erase(script.replies.begin());
        config::DiskMap map{};
        std::memcpy(map.data(), disks.data(), std::min(disks.size(), map.size()));
        const std::uint8_t flag = disks.size() > map.size() ? disks[map.size()] : 0;
        const auto rows = config::DiskRows(map, flag);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            if (config::DiskNumberOfRow(map, static_cast<int>(row)) != rows[row].bit) {
                std::abort();
            }
        }
    }
    DownloadJob job;
    job.request.megabytes = 1;
    job.filePath = (program.Folder() / "backup.qrn").string();
    job.startEvent = startEvent;
    job.stopEvent = stopEvent;
    device.Serve(std::move(script));
    DownloadFileThread(job);
    device.WaitIdle();
    return 0;
}
