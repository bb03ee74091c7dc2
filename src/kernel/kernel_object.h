#pragma once

// The one application-wide state object, reached by every thread and dialog through g_lpApp.
// Threads share its fields without locks: ordering comes from the events and semaphores that hand
// work from one thread to the next, and flags and counters that two threads touch are atomics.
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

    // --- Process threads (app/process_threads) ---
    // Created by the process chain after login and stopped at shut-down: the mailbox dispatcher
    // and the two threads that tear the stream down and build it again, with the event pairs
    // through which the login thread and the main window drive them.
    platform::HandleField h_Process_KernelMessageThread;
    platform::HandleField h_Process_Terminate_Thread;
    platform::HandleField h_Process_Init_Thread;
    platform::HandleField h_KernelMessagePostSem;  // a message waits in the mailbox
    platform::HandleField h_KernelMessageFreeSem;  // the mailbox slot is free
    platform::HandleField h_Process_Notify_TerminateEvent;
    platform::HandleField h_Process_Reply_TerminateEvent;
    platform::HandleField h_Process_Notify_InitEvent;
    platform::HandleField h_Process_Reply_InitEvent;
    // Asks the receive thread to close its connection; it answers on the feedback event.
    platform::HandleField h_NotifyGetJPEGImageThreadResetEvent;
    platform::HandleField h_FeedBackForNotifyResetEvent;

    // --- Mailbox slot (kernel/mailbox) ---
    // Written by the sender that holds the free slot, read by the dispatcher after the post.
    std::uint32_t m_dwKernelMessage = 0;
    std::uint32_t m_dwKernelParam1 = 0;
    std::uint32_t m_dwKernelParam2 = 0;

    // --- Session threads ---
    // The login chain starts and stops the lifetime, receive, compose and show threads; the main
    // window starts the login thread and the alarm-sound player, the firmware page its upload.
    platform::HandleField h_ConnectionThread;  // counts the account's lifetime down
    platform::HandleField h_GetJpegImageThread;
    platform::HandleField h_ComposeImageDataThread;
    platform::HandleField h_ShowImageDataThread;
    platform::HandleField h_ReLoginThread;
    platform::HandleField h_UpgradeFirmwareThread;
    platform::HandleField h_PlayAudioWavThread;

    // --- Session events (created by the login chain unless noted) ---
    platform::HandleField h_DeviceAnswerEvent;  // the connecting dialog's "device answered"
    platform::HandleField h_StartToGetJpegImageEvent;
    platform::HandleField h_EndofGetJpegImageEvent;  // manual reset
    platform::HandleField h_StartToShowImageEvent;
    platform::HandleField h_EndofShowImageEvent;
    platform::HandleField h_FinishShowImageJobEvent;
    platform::HandleField h_TimerEvent;  // the schedule recorder's tick (process chain)
    platform::HandleField h_StartConnectionThreadEvent;
    platform::HandleField h_EndConnectionThreadEvent;
    platform::HandleField h_PlayAlarmWavEvent;  // made afresh by each alarm-sound load
    platform::HandleField h_StopAlarmWavEvent;

    // --- Session state (login thread, receive thread, main window) ---
    std::atomic<std::uint32_t> m_fStatus8{0};  // the status line must redraw its indicator
    std::atomic<std::uint32_t> m_fConnected{0};
    std::atomic<std::uint32_t> m_fStreamThreadsRunning{0};  // the receive thread is streaming
    std::atomic<std::uint32_t> m_fVideoReady{0};            // pictures are arriving
    std::array<std::uint8_t, 4> m_abVideoInfo{};  // [2]: video mode at login (main window)
    // The account's lifetime from the device-info reply, and the seconds the lifetime thread has
    // counted of it.
    std::atomic<std::uint32_t> m_dwLifeTime{kUnlimitedLifeTime};  // minutes
    std::atomic<std::uint32_t> m_dwLifeTimeSeconds{0};

    // --- PTZ hot point (main window writes, the painter draws the box) ---
    std::atomic<std::uint8_t> m_bHotPointMode{1};  // 1 off, 2 on
    std::atomic<std::uint16_t> m_wMouseX{0};       // last mouse position, client area
    std::atomic<std::uint16_t> m_wMouseY{0};
    std::atomic<std::uint16_t> m_wHotBoxX{50};  // the box, relative to the picture
    std::atomic<std::uint16_t> m_wHotBoxY{50};
    std::atomic<std::uint16_t> m_wHotBoxWidth{50};
    std::atomic<std::uint16_t> m_wHotBoxHeight{50};
    std::atomic<std::uint16_t> m_wHotBoxFrames{0};  // frames the box is still drawn in

    // --- Frame buffers (app/system_buffers) ---
    // Allocated at start-up and freed at shut-down. The stream threads hand the buffers to each
    // other through the semaphores, which the process chains make per session; each index has
    // one writer, the thread that fills or drains that ring.
    std::unique_ptr<std::uint8_t[]> m_lpSocketBuffer;
    std::unique_ptr<PacketInfo[]> m_lpPacketInfo;
    std::unique_ptr<std::uint8_t[]> m_lpCompressedFrameBuffer;
    std::unique_ptr<std::uint8_t[]> m_lpImageBuffer;
    std::atomic<std::uint8_t*> m_lpCurrentImage{nullptr};  // the picture being shown
    std::unique_ptr<std::uint8_t[]> m_lpFullScreenBuffer;
    std::unique_ptr<std::uint8_t[]> m_lpDoubledImage;
    platform::HandleField h_FreeSocketBufferSem;
    platform::HandleField h_FilledSocketBufferSem;
    platform::HandleField h_FreeImageBufferSem;
    platform::HandleField JPEGImageBufferRelSem;
    platform::HandleField h_FreeImageBufferSem2;
    std::uint16_t m_wSocketBufferCount = 0;
    std::uint16_t m_wImageBufferCount = 0;
    std::uint16_t m_wSocketWriteIndex = 0;  // receive thread
    std::uint16_t m_wSocketReadIndex = 0;   // compose thread
    std::uint16_t m_wSocketIndex3 = 0;      // a third ring position; only ever reset
    std::uint16_t w_VortaMp4DecodeIndex = 0;
    std::uint16_t m_wDecodeImageIndex = 0;
    std::uint16_t m_wSlotIndex3 = 0;  // a third slot position; only ever reset

    // --- Frame copy for the motion-detection editor ---
    // The editor sets the size and the request; the painter copies the next picture and
    // releases the semaphore.
    std::unique_ptr<std::uint8_t[]> m_lpFrameCopyBuffer;
    std::atomic<std::uint16_t> m_wCopyWidth{0};
    std::atomic<std::uint16_t> m_wCopyHeight{0};
    std::atomic<std::uint32_t> m_fFrameCopyRequest{0};
    platform::HandleField h_FrameCopiedSem;

    // --- Device and picture (login thread, main window, stream threads) ---
    std::atomic<std::uint8_t> m_bUserClass{0};  // row of the user-class button table
    std::atomic<std::uint8_t> m_bVideoMode{0};  // 0 NTSC, 1 PAL
    std::atomic<std::uint8_t> m_bPictureSizeCode{0};
    std::atomic<std::uint8_t> m_bPictureSizeCode2{0};  // the size the compose thread last saw
    std::atomic<std::uint16_t> m_wImageWidth{0};       // of the decoded picture
    std::atomic<std::uint16_t> m_wImageHeight{0};
    std::array<std::uint16_t, 20> m_wShowTable{};
    std::atomic<std::uint16_t> w_LoginResult{0};  // 100 retry, 102 too many users, 30 logged in
    // Set by the stream receive thread when the device answered the stream request with an HTTP
    // status line, with that status (0 when it could not be read); the re-login thread then
    // waits before it tries again.
    std::atomic<std::uint8_t> m_fStreamRefused{0};
    std::atomic<std::uint16_t> m_wStreamRefusedStatus{0};
    // Kept by the stream receive thread: how many connections ended out of step since the
    // stream was last stopped, whatever they brought before and whatever ended those between.
    // From the second on it leaves the reason here, and the re-login thread waits, as after a
    // refusal, before it tries again.
    std::atomic<std::uint32_t> m_dwOutOfStepConnections{0};
    std::atomic<const char*> m_pStreamOutOfStep{nullptr};
    std::atomic<std::uint16_t> m_wUserLevel{0};
    // Version and identity texts: written by the login thread before it starts the stream,
    // read by the window thread's dialogs afterwards.
    std::string m_strFirmwareVersion;
    std::string m_strBootVersion;
    std::string m_strCodecVersion;
    std::string m_strFPGAVersion;
    std::string m_strAppVersion = "0.0.1.5";
    std::array<DeviceIdRecord, 2> m_DeviceID;     // 0: product and MAC, 1: host name
    std::array<char, 40> m_szFirmwareFileName{};  // expected for the chosen firmware type
    CDeviceList m_DeviceList;

    // --- Device configuration (configuration dialog, main window, remote keys) ---
    std::array<AccountRow, 5> m_AccountRows;
    // The remote-control protocols of CtrlFile.ini, and for each device type the index of the
    // one bound to it (-1: none).
    std::vector<CtrlProtocol> m_lpCtrlFileRecords;
    std::array<int, kDeviceTypeCount> m_DeviceProtocol = MakeUnboundProtocols();
    std::atomic<std::uint32_t> m_fRetr{0};  // the master device is an R.E.T.R. unit
    std::atomic<std::uint8_t> m_bKeyMode{5};
    std::atomic<std::uint32_t> m_fPowerOn{0};
    std::atomic<std::uint32_t> m_fTurbo{0};
    std::atomic<std::uint8_t> m_bRecordMode{4};  // which recorders run with the session
    SysCfgBlocks m_SysCfg;
    VideoSettingBlock m_VideoSetting;

    // --- Main window state shared with the threads ---
    // The window's handle and links are set while it exists; the rest are the window's choices
    // that the stream threads follow.
    std::atomic<ui::WindowHandle> h_MainDialogHandle{0};
    std::atomic<MainWindowLink*> m_pMainDialog{nullptr};
    std::atomic<RecordingLink*> m_pRecording{nullptr};
    std::atomic<std::uint8_t> m_bFirstChannelButton{0};
    std::atomic<std::uint32_t> m_fHotPointOn{0};
    std::atomic<std::uint32_t> m_fDrawBorder{0};
    std::atomic<std::uint32_t> m_fSnapshotRequest{0};  // the painter saves the next picture
    std::atomic<std::uint16_t> m_wLayoutMode{0};
    std::atomic<std::uint8_t> m_bChannelCopy{0};  // saved across full screen
    std::atomic<std::uint8_t> m_bResolutionCopy{0};
    std::atomic<std::uint32_t> m_fAlarmSoundOn{0};
    std::atomic<std::uint32_t> m_fAlarmStartActive{0};  // a second start is ignored
    std::atomic<std::uint32_t> m_fAlarmWavPlaying{0};

    // --- Stream statistics (receive thread counts, the painter shows the rates) ---
    std::atomic<std::uint32_t> m_dwRateTick{0};
    std::atomic<std::uint32_t> m_dwBytesReceived{0};
    std::atomic<std::uint32_t> m_dwDataRateKbps{0};
    std::atomic<std::uint32_t> m_dwFramesShown{0};
    std::atomic<std::uint32_t> m_dwFramesAtRate{0};
    std::atomic<std::uint32_t> m_dwFramesLatest{0};

    // --- Machine and screen (written once at start-up, before any thread) ---
    std::uint32_t m_fMMX = 0;
    std::uint16_t m_wTimerResolution = 1;  // ms
    std::uint16_t m_wLogPixelsX = 96;
    std::uint16_t m_wLogPixelsY = 96;
    float m_fScale = 1.0f;  // dialog scale for the screen's pixel density
    std::uint16_t m_wLangID = 0;

    // --- Embedded objects ---
    CTraceFile m_TraceFile;
    std::atomic<std::time_t> m_tmCapture{0};  // capture time of the newest pre-alarm frame
    ::CSettingINI CSettingINI;
};

// Null before InitKernelObject and after shut-down.
extern KernelObject* g_lpApp;
