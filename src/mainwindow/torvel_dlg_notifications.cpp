// What the threads ask of the main window: every call hands its work to the window's thread,
// except the frame painting; and the posted status codes of the re-login thread.

#include "kernel/kernel_object.h"
#include "mainwindow/ptz_commands.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/clock.h"
#include "ui/queued_call.h"
#include "video/live_pipeline.h"
#include "video/stream_receiver.h"

template <class Work>
void CTorvelDlg::OnWindowThread(Work work) {
    if (OnGuiThread()) {
        work();
    } else {
        ui::PostCall(this, std::move(work));
    }
}

void CTorvelDlg::DrawFrame() {
    m_services.pipeline.Painter().Paint();
}

void CTorvelDlg::ShowStatusText(const std::string& text) {
    OnWindowThread([this, text] { ShowStatus(text); });
}

void CTorvelDlg::ShowStatus(const std::string& text) {
    if (m_bFullScreen) {
        return;
    }
    if (m_bWaitNoticeShown) {
        // The user keeps seeing that the program waits; the text comes back after the wait.
        m_strStatusBeforeWait = text;
        return;
    }
    if (m_bNoticeShown) {
        // The rates come every second and would wipe the notice before it could be read.
        m_strStatusUnderNotice = text;
        return;
    }
    m_strStatus = text;
    RepaintStatusLine();
}

void CTorvelDlg::ShowNoticeText(const std::string& text) {
    OnWindowThread([this, text] { ShowNotice(text); });
}

void CTorvelDlg::ShowNotice(const std::string& text) {
    if (m_bFullScreen || m_bWaitNoticeShown) {
        return;
    }
    if (!m_bNoticeShown) {
        m_strStatusUnderNotice = m_strStatus;
        m_bNoticeShown = true;
    }
    m_strStatus = text;
    m_notice.start();
    RepaintStatusLine();
}

void CTorvelDlg::EndNotice() {
    if (!m_bNoticeShown) {
        return;
    }
    m_bNoticeShown = false;
    m_notice.stop();
    ShowStatus(m_strStatusUnderNotice);
}

void CTorvelDlg::SetButtonImage(int controlId, int imageIndex) {
    OnWindowThread([this, controlId, imageIndex] {
        if (ui::CVtxButton* button = GetDlgItem(controlId)) {
            button->SetImageIndex(imageIndex);
            // The record button's tip says what a press does in the state it now shows.
            if (controlId == kRecordButtonId) {
                button->setToolTip(QString::fromStdString(TipWord(1005, imageIndex)));
            }
        }
    });
}

void CTorvelDlg::SetButtonTip(int controlId, const std::string& tip) {
    OnWindowThread([this, controlId, tip] {
        if (ui::CVtxButton* button = GetDlgItem(controlId)) {
            button->setToolTip(QString::fromStdString(tip));
        }
    });
}

void CTorvelDlg::ClearFrameTexts() {
    OnWindowThread([this] {
        m_strStatus2.clear();
        m_strIndicator.clear();
        RepaintStatusLine();
    });
}

void CTorvelDlg::ClearIndicatorText() {
    OnWindowThread([this] {
        m_strIndicator.clear();
        RepaintStatusLine();
    });
}

void CTorvelDlg::ReapplyLayout() {
    OnWindowThread([this] {
        ApplyLayoutMode();
        RelayoutControls();
    });
}

void CTorvelDlg::SwitchLayoutMode(std::uint16_t layoutMode) {
    OnWindowThread([this, layoutMode] {
        ApplyLayoutMode();
        switch (LayoutGroup(layoutMode)) {
            case 0:
                SwitchToNtscVga();
                break;
            case 1:
                SwitchToNtscQvga();
                break;
            case 2:
                SwitchToPalVga();
                break;
            default:
                SwitchToPalQvga();
                break;
        }
    });
}

void CTorvelDlg::PresentFrame(std::shared_ptr<const PaintedFrame> frame) {
    // One frame at most waits for the window thread, however long it is busy.
    if (m_frameHandOver.Offer(std::move(frame))) {
        OnWindowThread([this] { ShowNewestFrame(); });
    }
}

void CTorvelDlg::ShowNewestFrame() {
    const auto [frame, status2] = m_frameHandOver.Take();
    if (!frame || frame->fullScreen != m_bFullScreen) {
        return;  // nothing new, or painted before the last switch in or out of full screen
    }
    if (m_bFullScreen && m_bFullScreenFirstFrame) {
        HideControlsForFullScreen();
    }
    bool textsChanged = frame->indicator != m_strIndicator;
    m_strIndicator = frame->indicator;
    if (status2 && *status2 != m_strStatus2) {
        m_strStatus2 = *status2;
        textsChanged = true;
    }
    m_wndVideo.SetFrame(frame);
    if (textsChanged && !m_bFullScreen) {
        RepaintStatusLine();
    }
}

void CTorvelDlg::CheckForFrames() {
    const KernelObject& app = *g_lpApp;
    if (const std::optional<std::string> text =
            m_noFrameWatch.Check(platform::GetTickCount(), app.m_dwFramesShown,
                                 GetStreamState() == kStreamReceiving, GetSkippedFrame())) {
        ShowStatus(*text);
    }
}

void CTorvelDlg::OnShowStatus(ui::WPARAM wParam, ui::LPARAM lParam) {
    if (const std::optional<std::string> text = StatusTextOfCode(lParam, wParam)) {
        ShowStatus(*text);
        return;
    }
    switch (lParam) {
        case 5:
            m_btnCommand[0].SetImageIndex(0);
            break;
        case 6:
            m_btnCommand[0].SetImageIndex(1);
            break;
        case 8:
            if (!m_bFullScreen) {
                g_lpApp->m_fStatus8 = 1;
                RepaintStatusLine();
            }
            break;
        default:
            break;
    }
}

void CTorvelDlg::OnRecordOn(ui::WPARAM, ui::LPARAM) {
    m_btnCommand[kRecordButton].SetImageIndex(1);
}
