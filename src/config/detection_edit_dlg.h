#pragma once

// The row editor of the detection page, with the motion-area editor. "Setup" grows the editor
// downwards and shows a still of the live picture with the 16 x 12 grid of the channel's area
// over it; a click toggles the cell under the pointer, a drag toggles every cell it sweeps.
//
// The still comes from the frame painter: the editor raises the frame-copy request of the state
// object and waits on the frame-copied semaphore, which the painter releases once it has copied
// the next frame it drew. After the first still a grab thread keeps asking for frames and posts
// each new still to the editor. Every wait for the painter is bounded: without a live picture the
// editor shows a black still and the area can still be edited.

#include <QComboBox>
#include <QLineEdit>
#include <QPoint>
#include <cstdint>
#include <mutex>

#include "config/channel_sections.h"
#include "config/list_page.h"
#include "config/motion_area.h"
#include "platform/sync.h"
#include "ui/window_message.h"

class CDetectionEditDlg : public CRowEditDlg, public ui::MessageWindow {
    Q_OBJECT

public:
    // Posted by the grab thread when it has put a new still in place.
    static constexpr std::uint32_t WM_STILLGRABBED = 0x430;
    // The longest single wait of the grab thread for a frame; it then waits on.
    static constexpr std::uint32_t kGrabRetryMs = 500;
    static constexpr std::uint32_t kThreadStopWaitMs = 100;
    // Where the picture begins below the top of the editor.
    static constexpr int kPictureTop = 60;
    static constexpr int kDisplayWidth = 320;
    static constexpr int kNtscDisplayHeight = 228;
    static constexpr int kPalDisplayHeight = 276;

    enum MouseState : std::uint8_t { kIdle = 1, kDragging = 2, kPressed = 4 };

    explicit CDetectionEditDlg(QWidget* parent = nullptr);
    ~CDetectionEditDlg() override;

    bool UpdateData(bool save) override;
    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    void OnSetup();
    void OnSelectAll();
    void OnClearAll();
    void OnLButtonDown(QPoint point);
    void OnMouseMove(QPoint point);
    void OnLButtonUp(QPoint point);

    // A copy of the still shown now (the grab thread replaces it).
    config::Still CurrentStill() const;

    QPushButton m_btnSelectAll;
    QPushButton m_btnClearAll;
    int m_nAlarm = -1;
    int m_nDetect = -1;
    int m_nLS = 0;
    int m_nRE = 0;
    int m_nSS = 0;
    int m_nTS = 0;
    config::MotionAreaMask m_WorkingMask{};
    std::uint32_t m_fAreaEditing = 0;

    QComboBox m_cbDetect;
    QPushButton m_btnSetup;
    QLineEdit m_edLS;
    QLineEdit m_edSS;
    QLineEdit m_edTS;
    QLineEdit m_edRE;
    QComboBox m_cbAlarm;

    // The grid on the screen; its cell height follows the display height of the video mode.
    config::MotionGrid m_Grid;
    config::MotionAreaMask m_HoverMask{};
    std::uint8_t m_bMouseState = kIdle;
    QPoint m_ptAnchor;
    QPoint m_ptCurrent;

protected:
    void OnInitDialog() override;
    void PaintPage(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t GrabThread();
    // The still of the frame the painter copied last; false when there is none.
    static bool TakeCopiedFrame(config::Still& still);
    void OnStillGrabbed(ui::WPARAM, ui::LPARAM);
    // The cell under a point while the area is being edited, -1 otherwise.
    int CellAt(QPoint point) const;
    void HoverCell(int cell);

    mutable std::mutex m_stillMutex;
    config::Still m_still;  // guarded by m_stillMutex
    int m_nDisplayHeight;
    platform::HandleField h_GrabThread;
    platform::Handle h_StartEvent;
    platform::Handle h_StopEvent;
};
