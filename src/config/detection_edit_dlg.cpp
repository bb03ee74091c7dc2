#include "config/detection_edit_dlg.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "config/data_exchange.h"
#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace {

constexpr int kSideButtonWidth = 65;
constexpr int kSideButtonHeight = 60;
constexpr int kGrowthMargin = 20;

}  // namespace

CDetectionEditDlg::CDetectionEditDlg(QWidget* parent)
    : CRowEditDlg(parent),
      m_nDisplayHeight(g_lpApp->m_bVideoMode != 0 ? kPalDisplayHeight : kNtscDisplayHeight) {
    m_btnSelectAll.setParent(&Page());
    m_btnClearAll.setParent(&Page());
    m_btnSelectAll.setText("( + )\nSELECT\nALL");
    m_btnClearAll.setText("( - )\nCLEAR\nALL");
    m_btnSelectAll.hide();
    m_btnClearAll.hide();
    AddComboItems(m_cbDetect, config::kDetectTexts);
    AddComboItems(m_cbAlarm, config::kAlarmSettingTexts);
    m_btnSetup.setText("Setup");

    AddField("DETECT", m_cbDetect);
    AddField("AREA", m_btnSetup);
    for (const auto& [heading, edit] :
         {std::pair{"LS", &m_edLS}, {"SS", &m_edSS}, {"TS", &m_edTS}, {"RE", &m_edRE}}) {
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaximumWidth(40);
        config::ClampNumberOnEdit(*edit);
        AddField(heading, *edit);
    }
    AddField("ALARM", m_cbAlarm);
    FinishRow();
    // Room for the picture with the two area buttons beside it.
    SetPageSize(QSize(std::max(Page().width(), kDisplayWidth + 2 * (kSideButtonWidth + 10)),
                      Page().height()));
    m_Grid.x0 = (Page().width() - kDisplayWidth) / 2;
    m_Grid.y0 = std::max(kPictureTop, m_row.height());
    m_Grid.cellWidth = kDisplayWidth / config::kGridColumns;
    m_Grid.cellHeight = m_nDisplayHeight / config::kGridRows;
    // Moves without a button reach the editor from the page only when both track them.
    setMouseTracking(true);
    Page().setMouseTracking(true);

    connect(&m_btnSetup, &QPushButton::clicked, this, &CDetectionEditDlg::OnSetup);
    connect(&m_btnSelectAll, &QPushButton::clicked, this, &CDetectionEditDlg::OnSelectAll);
    connect(&m_btnClearAll, &QPushButton::clicked, this, &CDetectionEditDlg::OnClearAll);
    h_StartEvent = platform::CreateEventObject(false, false);
    h_StopEvent = platform::CreateEventObject(false, false);
}

CDetectionEditDlg::~CDetectionEditDlg() {
    platform::SetEvent(h_StopEvent);
    platform::StopThread(h_GrabThread, kThreadStopWaitMs);
    platform::CloseObject(h_StartEvent);
    platform::CloseObject(h_StopEvent);
}

void CDetectionEditDlg::OnInitDialog() {
    h_GrabThread = platform::StartThread([this] { return GrabThread(); });
}

bool CDetectionEditDlg::UpdateData(bool save) {
    CRowEditDlg::UpdateData(save);
    config::ExchangeIndex(save, m_cbAlarm, m_nAlarm);
    config::ExchangeIndex(save, m_cbDetect, m_nDetect);
    return config::ExchangeInt(save, m_edLS, m_nLS, 0, 255) &&
           config::ExchangeInt(save, m_edRE, m_nRE, 0, 255) &&
           config::ExchangeInt(save, m_edSS, m_nSS, 0, 255) &&
           config::ExchangeInt(save, m_edTS, m_nTS, 0, 255);
}

bool CDetectionEditDlg::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    static constexpr ui::MessageMapEntry<CDetectionEditDlg> kMessageMap[] = {
        {WM_STILLGRABBED, &CDetectionEditDlg::OnStillGrabbed},
    };
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

bool CDetectionEditDlg::TakeCopiedFrame(config::Still& still) {
    const KernelObject& app = *g_lpApp;
    return config::TakeStill(app.m_lpFrameCopyBuffer.get(), app.m_wCopyWidth, app.m_wCopyHeight,
                             kImageSlotSize, still);
}

void CDetectionEditDlg::OnSetup() {
    if (m_fAreaEditing) {
        return;
    }
    SetPageSize(QSize(Page().width(), Page().height() + m_nDisplayHeight + kGrowthMargin));
    m_btnSetup.setEnabled(false);

    // A copy released for an earlier request would be taken for ours; only a frame painted
    // after this request may come back.
    KernelObject& app = *g_lpApp;
    if (!app.h_FrameCopiedSem) {
        app.h_FrameCopiedSem = platform::CreateSemaphoreObject(0, 1);
    } else {
        while (platform::WaitForObject(app.h_FrameCopiedSem, 0) == platform::kWaitObject0) {
        }
    }
    // The area can be edited at once over a blank picture; the grab thread brings the first frame
    // when the stream has one, so the window never waits for the device's next picture.
    {
        const std::lock_guard lock(m_stillMutex);
        m_still = config::BlankStill(kDisplayWidth, static_cast<std::uint16_t>(m_nDisplayHeight));
    }
    m_fAreaEditing = 1;

    const int x = m_Grid.x0 + kDisplayWidth * 65 / 64;
    m_btnSelectAll.setGeometry(x, m_Grid.y0 + m_nDisplayHeight / 8, kSideButtonWidth,
                               kSideButtonHeight);
    m_btnClearAll.setGeometry(x, m_Grid.y0 + m_nDisplayHeight * 5 / 8, kSideButtonWidth,
                              kSideButtonHeight);
    m_btnSelectAll.show();
    m_btnClearAll.show();
    Page().update();
    platform::SetEvent(h_StartEvent);
}

std::uint32_t CDetectionEditDlg::GrabThread() {
    const platform::Handle start[] = {h_StartEvent, h_StopEvent};
    if (platform::WaitForAnyObject(start, platform::kInfinite) != platform::kWaitObject0) {
        return 0;
    }
    KernelObject& app = *g_lpApp;
    app.m_fFrameCopyRequest = 1;
    for (;;) {
        // The stop event comes first, so a stop wins over a frame that arrived with it.
        const platform::Handle waits[] = {h_StopEvent, app.h_FrameCopiedSem.Get()};
        const std::uint32_t result = platform::WaitForAnyObject(waits, kGrabRetryMs);
        if (result == platform::kWaitTimeout) {
            // The request stays raised until the painter takes it. Raising it again here could
            // let the painter begin the next copy into the buffer while the one under way is
            // still to be read.
            continue;
        }
        if (result != platform::kWaitObject0 + 1) {
            return 0;
        }
        config::Still still;
        if (TakeCopiedFrame(still)) {
            {
                const std::lock_guard lock(m_stillMutex);
                m_still = std::move(still);
            }
            ui::PostMessage(Handle(), WM_STILLGRABBED, 0, 0);
        }
        app.m_fFrameCopyRequest = 1;
    }
}

void CDetectionEditDlg::OnStillGrabbed(ui::WPARAM, ui::LPARAM) {
    Page().update();
}

config::Still CDetectionEditDlg::CurrentStill() const {
    const std::lock_guard lock(m_stillMutex);
    return m_still;
}

void CDetectionEditDlg::PaintPage(QPainter& painter) {
    if (!m_fAreaEditing) {
        return;
    }
    config::Still picture = CurrentStill();
    if (picture.width == 0 || picture.height == 0) {
        return;
    }
    config::DrawMotionOverlay(picture, m_WorkingMask, m_HoverMask);
    const QImage bottomUp(picture.pixels.data(), picture.width, picture.height, picture.width * 3,
                          QImage::Format_BGR888);
    painter.drawImage(QRect(m_Grid.x0, m_Grid.y0, kDisplayWidth, m_nDisplayHeight),
                      bottomUp.mirrored(false, true));
}

void CDetectionEditDlg::OnSelectAll() {
    m_WorkingMask.fill(0xFF);
    Page().update();
}

void CDetectionEditDlg::OnClearAll() {
    m_WorkingMask.fill(0);
    Page().update();
}

int CDetectionEditDlg::CellAt(QPoint point) const {
    return m_fAreaEditing ? m_Grid.CellAt(point.x(), point.y()) : -1;
}

void CDetectionEditDlg::HoverCell(int cell) {
    if (config::IsCellSet(m_HoverMask, cell)) {
        return;
    }
    m_HoverMask.fill(0);
    config::SetCell(m_HoverMask, cell, true);
    Page().update();
}

void CDetectionEditDlg::OnLButtonDown(QPoint point) {
    if (m_bMouseState == kIdle && CellAt(point) >= 0) {
        m_bMouseState = kPressed;
    }
}

void CDetectionEditDlg::OnMouseMove(QPoint point) {
    const int cell = CellAt(point);
    if (cell < 0) {
        if (m_bMouseState != kDragging && config::AnyCellSet(m_HoverMask)) {
            m_HoverMask.fill(0);
            Page().update();
        }
        return;
    }
    switch (m_bMouseState) {
        case kIdle:
            HoverCell(cell);
            break;
        case kPressed:
            m_HoverMask.fill(0);
            m_bMouseState = kDragging;
            m_ptAnchor = point;
            HoverCell(cell);
            break;
        case kDragging:
            m_ptCurrent = point;
            if (m_ptCurrent != m_ptAnchor) {
                m_HoverMask = m_Grid.CellsMeeting(
                    std::min(m_ptAnchor.x(), point.x()), std::min(m_ptAnchor.y(), point.y()),
                    std::max(m_ptAnchor.x(), point.x()), std::max(m_ptAnchor.y(), point.y()));
                Page().update();
            }
            break;
        default:
            break;
    }
}

void CDetectionEditDlg::OnLButtonUp(QPoint point) {
    if (m_bMouseState == kPressed) {
        // A press released outside the picture toggles nothing; either way the press is over, so
        // a later move without the button held does not sweep cells.
        config::ToggleCell(m_WorkingMask, CellAt(point));
        m_bMouseState = kIdle;
        Page().update();
    } else if (m_bMouseState == kDragging) {
        for (int cell = 0; cell < config::kGridCells; ++cell) {
            if (config::IsCellSet(m_HoverMask, cell)) {
                config::ToggleCell(m_WorkingMask, cell);
            }
        }
        m_HoverMask.fill(0);
        m_bMouseState = kIdle;
        Page().update();
    }
}

void CDetectionEditDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(event->position().toPoint());
    }
    CRowEditDlg::mousePressEvent(event);
}

void CDetectionEditDlg::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
    CRowEditDlg::mouseMoveEvent(event);
}

void CDetectionEditDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp(event->position().toPoint());
    }
    CRowEditDlg::mouseReleaseEvent(event);
}
