#include "recording/record_file_recorder.h"

#include "kernel/kernel_object.h"

namespace recording {

RecordFileRecorder::RecordFileRecorder(CPreAlarmRing& ring, std::uint8_t kind,
                                       RecordFileWriter::Clock clock)
    : RecorderHandover(ring), m_File(kind, clock) {}

bool RecordFileRecorder::CreateResource() {
    const bool handover = CreateHandover();
    platform::CloseObject(h_StartEvent);
    h_StartEvent = platform::CreateEventObject(false, false);
    return handover && h_StartEvent;
}

bool RecordFileRecorder::FreeResource() {
    FreeHandover();
    platform::CloseObject(h_StartEvent);
    return true;
}

std::filesystem::path RecordFileRecorder::RecordFilePath() const {
    std::lock_guard lock(m_FileLock);
    return m_File.IsOpen() ? m_File.Path() : std::filesystem::path();
}

bool RecordFileRecorder::BeginRecording(const std::string& recordPath) {
    m_RecordFolder = recordPath;
    if (!m_RecordFolder.empty()) {
        // A failure shows when the file cannot be created in it.
        std::error_code ignored;
        std::filesystem::create_directories(m_RecordFolder, ignored);
    }
    if (g_lpApp) {
        m_strServerName = g_lpApp->CSettingINI.m_strServerName;
        m_strUserName = g_lpApp->CSettingINI.m_strUserName;
    }
    return OpenFile();
}

bool RecordFileRecorder::OpenFile() {
    m_abAddress = DeviceAddressBytes(m_strServerName);
    if (!m_File.Create(m_RecordFolder, FileStem(), m_abAddress, m_strUserName)) {
        ReportFailure(kCreateRecordFileFailed, m_File.Error());
        return false;
    }
    m_fInfoBlockPending = true;
    OnFileOpened();
    return true;
}

void RecordFileRecorder::CloseFile() {
    if (!m_File.IsOpen()) {
        return;
    }
    const std::uint32_t frames = m_File.FrameCount();
    const std::filesystem::path path = m_File.Path();
    if (frames == 0) {
        if (!m_File.Discard()) {
            ReportFailure(kWriteRecordFileFailed,
                          m_File.Error() + ". Nothing could be written, so no file was kept.");
        }
        return;
    }
    if (!m_File.Close()) {
        ReportFailure(kWriteRecordFileFailed,
                      m_File.Error() + ". The recording ended there; the " +
                          std::to_string(m_File.FramesKept()) + " frames written before are kept.");
    }
    OnFileClosed(path, frames);
}

bool RecordFileRecorder::WriteSlot(std::uint16_t slot) {
    return m_File.IsOpen() && m_File.WriteFrame(m_Ring.Info(slot), m_Ring.Frame(slot));
}

}  // namespace recording
