#pragma once

// The one application-wide state object, reached by every thread and dialog through g_lpApp.
// Threads share its fields without locks, as the design has them do: ordering comes from the
// events and semaphores; flags and counters that two threads touch are atomics.
//
// Objects that belong to the layers above (recorders, stream parser, device list, alarm sound)
// join it as those layers are built.

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "kernel/ctrl_protocol.h"
#include "kernel/device_list.h"
#include "kernel/main_window_link.h"
#include "kernel/packet_info.h"
#include "kernel/recording_link.h"
#include "kernel/settings_ini.h"
#include "kernel/trace_log.h"
#include "platform/sync.h"
#include "ui/window_message.h"

// Sizes of the shared frame buffers.
// Room for the largest frame a device sends: a 720 x 576 picture of fine detail (noise) at the
// highest quality is about 340 KB, a detailed scene at 704 x 576 about 120 KB.
inline constexpr std::size_t kSocketBufferSize = 524'288;
inline constexpr std::uint16_t kSocketBufferCount = 5;
inline constexpr std::size_t kImageSlotSize = 1'572'864;
inline constexpr std::uint16_t kImageSlotCount = 2;

inline constexpr std::uint32_t kUnlimitedLifeTime = 0xFFFFFFFF;

// The configuration sections as the device sends them, one buffer per section.
struct SysCfgBlocks {
    std::array<std::uint8_t, 24> IP{};
    std::array<std::uint8_t, 196> SECURE{};
    std::array<std::uint8_t, 12> DNS{};
    std::array<std::uint8_t, 440> SMTP{};
    std::array<std::uint8_t, 104> FTP{};
    std::array<std::uint8_t, 68> PPPOE{};
    std::array<std::uint8_t, 40> SNTP{};
    std::array<std::uint8_t, 12> IMG{};
    std::array<std::uint8_t, 24> ALARM{};
    std::array<std::uint8_t, 124> RS485{};
    std::array<std::uint8_t, 44> INF{};
    std::array<std::uint8_t, 240> ONLINE{};
    std::array<std::uint8_t, 772> DVRLIVE{};
    std::array<std::uint8_t, 128> DVRREC{};
};

struct AccountRow {
    std::uint32_t used = 0;
    std::uint16_t level = 0;
    std::uint32_t lifetime = 0;  // minutes
    std::string user;
    std::string password;
};

// The stream format that the video-setting page shows. Nothing fills it from the device.
struct VideoSettingBlock {
    std::uint8_t type = 0;  // 0 JPEG, 4 MPEG4
    std::uint16_t bitRate = 0;
    std::uint8_t quality = 0;
};

struct DeviceIdRecord {
    std::string text;
    std::array<std::uint8_t, 12> bytes{};
};

class KernelObject {
public:
    static constexpr std::array<int, kDeviceTypeCount> MakeUnboundProtocols() {
        std::array<int, kDeviceTypeCount> none{};
        none.fill(-1);
        return none;
    }

    // --- Process threads, mailbox and process events ---
    platform::HandleField h_Process_KernelMessageThread;
    platform::HandleField h_Process_Terminate_Thread;
    platform::HandleField h_Process_Init_Thread;
    platform::HandleField h_KernelMessagePostSem;
    platform::HandleField h_KernelMessageFreeSem;
    platform::HandleField h_Process_Notify_TerminateEvent;
    platform::HandleField h_Process_Reply_TerminateEvent;
    platform::HandleField h_Process_Notify_InitEvent;
    platform::HandleField h_Process_Reply_InitEvent;
    platform::HandleField h_NotifyGetJPEGImageThreadResetEvent;
    platform::HandleField h_FeedBackForNotifyResetEvent;

    // --- Session and other threads ---
    platform::HandleField h_ConnectionThread;
    platform::HandleField h_GetJpegImageThread;
    platform::HandleField h_ComposeImageDataThread;
    platform::HandleField h_ShowImageDataThread;
    platform::HandleField h_ReLoginThread;
    platform::HandleField h_UpgradeFirmwareThread;
    platform::HandleField h_PlayAudioWavThread;

    // --- Session events ---
    platform::HandleField h_DeviceAnswerEvent;
    platform::HandleField h_StartToGetJpegImageEvent;
    platform::HandleField h_EndofGetJpegImageEvent;  // manual reset
    platform::HandleField h_StartToShowImageEvent;
    platform::HandleField h_EndofShowImageEvent;
    platform::HandleField h_FinishShowImageJobEvent;
    platform::HandleField h_TimerEvent;
    platform::HandleField h_StartConnectionThreadEvent;
    platform::HandleField h_EndConnectionThreadEvent;
    platform::HandleField h_PlayAlarmWavEvent;
    platform::HandleField h_StopAlarmWavEvent;

    // --- Session state ---
    std::atomic<std::uint32_t> m_fStatus8{0};
    std::atomic<std::uint32_t> m_fConnected{0};
    std::atomic<std::uint32_t> m_fStreamThreadsRunning{0};
    std::atomic<std::uint8_t> m_bHotPointMode{1};  // 1 off, 2 on
    std::atomic<std::uint16_t> m_wMouseX{0};
    std::atomic<std::uint16_t> m_wMouseY{0};
    std::atomic<std::uint16_t> m_wHotBoxX{50};
    std::atomic<std::uint16_t> m_wHotBoxY{50};
    std::atomic<std::uint16_t> m_wHotBoxWidth{50};
    std::atomic<std::uint16_t> m_wHotBoxHeight{50};
    std::atomic<std::uint16_t> m_wHotBoxFrames{0};
    std::uint32_t m_fMMX = 0;
    std::atomic<std::uint32_t> m_fVideoReady{0};
    std::array<std::uint8_t, 4> m_abVideoInfo{};
    std::atomic<std::uint32_t> m_dwLifeTime{kUnlimitedLifeTime};  // minutes
    std::atomic<std::uint32_t> m_dwLifeTimeSeconds{0};

    // --- Shared buffers and their indices ---
    std::unique_ptr<std::uint8_t[]> m_lpSocketBuffer;
    std::unique_ptr<PacketInfo[]> m_lpPacketInfo;
    std::unique_ptr<std::uint8_t[]> m_lpCompressedFrameBuffer;
    std::unique_ptr<std::uint8_t[]> m_lpImageBuffer;
    std::atomic<std::uint8_t*> m_lpCurrentImage{nullptr};
    std::unique_ptr<std::uint8_t[]> m_lpFullScreenBuffer;
    std::unique_ptr<std::uint8_t[]> m_lpDoubledImage;
    std::unique_ptr<std::uint8_t[]> m_lpFrameCopyBuffer;
    std::atomic<std::uint16_t> m_wCopyWidth{0};
    std::atomic<std::uint16_t> m_wCopyHeight{0};
    std::atomic<std::uint32_t> m_fFrameCopyRequest{0};
    platform::HandleField h_FrameCopiedSem;
    platform::HandleField h_FreeSocketBufferSem;
    platform::HandleField h_FilledSocketBufferSem;
    platform::HandleField h_FreeImageBufferSem;
    platform::HandleField JPEGImageBufferRelSem;
    platform::HandleField h_FreeImageBufferSem2;
    std::uint16_t m_wSocketBufferCount = 0;
    std::uint16_t m_wImageBufferCount = 0;
    std::uint16_t m_wSocketWriteIndex = 0;
    std::uint16_t m_wSocketReadIndex = 0;
    std::uint16_t m_wSocketIndex3 = 0;
    std::uint16_t w_VortaMp4DecodeIndex = 0;
    std::uint16_t m_wDecodeImageIndex = 0;
    std::uint16_t m_wSlotIndex3 = 0;

    // --- Mailbox (one slot) ---
    std::uint32_t m_dwKernelMessage = 0;
    std::uint32_t m_dwKernelParam1 = 0;
    std::uint32_t m_dwKernelParam2 = 0;

    std::uint16_t m_wTimerResolution = 1;  // ms

    // --- Device and picture state ---
    std::atomic<std::uint8_t> m_bUserClass{0};
    std::atomic<std::uint8_t> m_bVideoMode{0};  // 0 NTSC, 1 PAL
    std::atomic<std::uint8_t> m_bPictureSizeCode{0};
    std::atomic<std::uint8_t> m_bPictureSizeCode2{0};
    std::atomic<std::uint16_t> m_wImageWidth{0};
    std::atomic<std::uint16_t> m_wImageHeight{0};
    std::array<std::uint16_t, 20> m_wShowTable{};
    std::atomic<std::uint16_t> w_LoginResult{0};
    // Set by the stream receive thread when the device answered the stream request with an HTTP
    // status line; the re-login thread then waits as for a device with too many users.
    std::atomic<std::uint8_t> m_fStreamRefused{0};
    std::atomic<std::uint16_t> m_wUserLevel{0};
    std::string m_strFirmwareVersion;
    std::string m_strBootVersion;
    std::string m_strCodecVersion;
    std::string m_strFPGAVersion;
    std::string m_strAppVersion = "0.0.1.5";
    std::array<DeviceIdRecord, 2> m_DeviceID;  // 0: product and MAC, 1: host name
    std::array<char, 40> m_szFirmwareFileName{};
    std::array<AccountRow, 5> m_AccountRows;
    CDeviceList m_DeviceList;
    // The remote-control protocols of CtrlFile.ini, and for each device type the index of the
    // one bound to it (-1: none).
    std::vector<CtrlProtocol> m_lpCtrlFileRecords;
    std::array<int, kDeviceTypeCount> m_DeviceProtocol = MakeUnboundProtocols();
    std::atomic<std::uint32_t> m_fRetr{0};
    std::atomic<std::uint8_t> m_bKeyMode{5};
    std::atomic<std::uint32_t> m_fPowerOn{0};
    std::atomic<std::uint32_t> m_fTurbo{0};
    std::atomic<std::uint8_t> m_bRecordMode{4};
    SysCfgBlocks m_SysCfg;
    VideoSettingBlock m_VideoSetting;

    // --- User-interface state shared with the threads ---
    std::atomic<ui::WindowHandle> h_MainDialogHandle{0};
    std::atomic<MainWindowLink*> m_pMainDialog{nullptr};
    std::atomic<RecordingLink*> m_pRecording{nullptr};
    std::atomic<std::uint8_t> m_bFirstChannelButton{0};
    std::atomic<std::uint32_t> m_fHotPointOn{0};
    std::atomic<std::uint32_t> m_fDrawBorder{0};
    std::atomic<std::uint32_t> m_fSnapshotRequest{0};
    std::atomic<std::uint16_t> m_wLayoutMode{0};
    std::atomic<std::uint8_t> m_bChannelCopy{0};
    std::atomic<std::uint8_t> m_bResolutionCopy{0};
    std::atomic<std::uint32_t> m_fAlarmSoundOn{0};
    std::atomic<std::uint32_t> m_fAlarmStartActive{0};
    std::atomic<std::uint32_t> m_fAlarmWavPlaying{0};
    std::atomic<std::uint32_t> m_dwRateTick{0};
    std::atomic<std::uint32_t> m_dwBytesReceived{0};
    std::atomic<std::uint32_t> m_dwDataRateKbps{0};
    std::atomic<std::uint32_t> m_dwFramesShown{0};
    std::atomic<std::uint32_t> m_dwFramesAtRate{0};
    std::atomic<std::uint32_t> m_dwFramesLatest{0};
    std::uint16_t m_wLogPixelsX = 96;
    std::uint16_t m_wLogPixelsY = 96;
    float m_fScale = 1.0f;
    std::uint16_t m_wLangID = 0;

    // --- Embedded objects ---
    CTraceFile m_TraceFile;
    std::atomic<std::time_t> m_tmCapture{0};  // capture time of the newest pre-alarm frame
    ::CSettingINI CSettingINI;
};

// Null before InitKernelObject and after shut-down.
extern KernelObject* g_lpApp;
