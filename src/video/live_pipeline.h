#pragma once

// The live pipeline of one program run: the stream parser, the frame slots, the frame painter
// and the alarm sound, with the thread bodies that the session's resource chains start. The
// application wires these members into its session components; the main window's DrawFrame
// forwards to Painter().Paint().

#include <cstdint>
#include <string>

#include "platform/sync.h"
#include "video/alarm_wave.h"
#include "video/frame_painter.h"
#include "video/frame_slots.h"
#include "video/stream_packet_header.h"

class LivePipeline {
public:
    LivePipeline();

    // Session thread bodies: the stream receiver, the compose thread and the show thread.
    std::uint32_t GetImageThread();
    std::uint32_t ComposeThread();
    std::uint32_t ShowThread();

    // The alarm sound: load (stopping a running player first), the event the output signals,
    // and the player thread's body.
    bool LoadAlarmWave(const std::string& path);
    void SetAlarmWavePlayEvent(platform::Handle playEvent);
    std::uint32_t PlayAudioWavThread();

    PacketHeaderParser& Parser() { return m_Parser; }
    CFramePainter& Painter() { return m_Painter; }

private:
    PacketHeaderParser m_Parser;
    FrameSlots m_Slots;
    CFramePainter m_Painter;
    CAlarmWave m_AlarmWave;
};
