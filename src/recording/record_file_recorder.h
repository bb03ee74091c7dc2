#pragma once

// What the alarm and the user recorder share: both write record files from the ring's frames,
// roll over to a new file after 6,000 frames, and differ in the file names and in what happens
// around opening and closing a file.

#include <cstdint>
#include <filesystem>
#include <string>

#include "recording/pre_alarm_ring.h"
#include "recording/record_file.h"
#include "recording/recorder_handover.h"

namespace recording {

class RecordFileRecorder : public RecorderHandover {
public:
    bool AllocateBuffer() { return m_File.AllocateBuffer(); }
    bool FreeBuffer() { return m_File.FreeBuffer(); }
    // The hand-over semaphores and the start, stop and reply events.
    bool CreateResource();
    bool FreeResource();

    // Path of the open file; empty when none is open.
    std::filesystem::path RecordFilePath() const;

    platform::HandleField h_StartEvent;

protected:
    RecordFileRecorder(CPreAlarmRing& ring, std::uint8_t kind, RecordFileWriter::Clock clock);

    // File lock held. Takes the folder (made, with its parents, when missing), the device
    // address and user name for the recording and opens its first file.
    bool BeginRecording(const std::string& recordPath);
    // A new file named by FileStem().
    bool OpenFile() override;
    bool WriteSlot(std::uint16_t slot) override;
    bool FileOpen() const override { return m_File.IsOpen(); }
    std::uint32_t FileFrameCount() const override { return m_File.FrameCount(); }
    // Closes the file (a failure is reported), then OnFileClosed. A file that got no frame is
    // removed instead, and nothing else happens for it: an empty recording is no recording.
    void CloseFile() override;

    virtual std::string FileStem() const = 0;
    virtual void OnFileOpened() {}
    virtual void OnFileClosed(const std::filesystem::path& /*path*/, std::uint32_t /*frames*/) {}

    RecordFileWriter m_File;
    std::string m_strServerName;

private:
    std::filesystem::path m_RecordFolder;
    std::string m_strUserName;
};

}  // namespace recording
