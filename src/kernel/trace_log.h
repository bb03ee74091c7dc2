#pragma once

// trace.log: a rolling text log of protocol events in the program folder that keeps only its
// newest lines. Callable from any thread: a write only queues its line, and a writer thread of the
// log's own rewrites the file (whole, through platform/file_gate) with every line queued since
// its last rewrite.

#include <cstdint>
#include <mutex>
#include <string>

// Sets the number of lines kept and the folder of trace.log (`folder` ends in a separator).
// Until it is called, 30 lines are kept and writes go nowhere.
void TraceLogInit(int maxLines, const std::string& folder);
// Appends one line, cut to 512 bytes and made printable (PrintableText: a line break or another
// control character in it becomes "?"); when the file already holds the maximum, the oldest lines
// drop first. Callers hand texts from devices and users as they are.
void TraceLogWrite(const char* line);
// Waits until every line written so far is in the file.
void TraceLogFlush();
// Writes what is queued, then stops the writer; later writes go nowhere until the next init.
void TraceLogClose();

// DebugTrace.log: created empty at every start and kept open until shut-down.
class CTraceFile {
public:
    CTraceFile() = default;
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    // Creates <folder>DebugTrace.log empty unless it is open already. 1 on success, else 0.
    std::uint32_t Open(const std::string& folder);
    std::uint32_t Close();
    // Appends `text` and a line end; the file starts over after 1,048,577 writes. 0 when no file
    // is open or it cannot be recreated.
    std::uint32_t Write(const std::string& text);
    std::uint32_t Delete();

private:
    static constexpr std::uint32_t kRestartAfterWrites = 1'048'577;

    // Creates the file at m_strPath empty. Caller holds m_mutex.
    bool Recreate();

    std::mutex m_mutex;
    int m_fd = -1;
    std::string m_strPath;
    std::uint32_t m_dwWriteCount = 0;
};
