// Full screen and the main window's keyboard and mouse: Esc and the fit-screen command, the
// drag of the frameless window, the press that stops the alarm sound or aims the PTZ hot point.

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "kernel/kernel_object.h"
#include "mainwindow/ptz_commands.h"
#include "mainwindow/torvel_dlg.h"
#include "ui/message_ids.h"
#include "video/live_pipeline.h"

int CTorvelDlg::EnableControlGroup(int show) {
    if (show == 0 || show == 1) {
        for (ui::CVtxButton& button : m_btnCommand) {
            button.setVisible(show == 1);
        }
    }
    return 1;
}

void CTorvelDlg::EnterFullScreen() {
    m_bFullScreen = true;
    m_bFullScreenFirstFrame = true;
    m_services.pipeline.Painter().SetFullScreen(true,
                                                static_cast<std::uint16_t>(m_rcScreen.width()),
                                                static_cast<std::uint16_t>(m_rcScreen.height()));
}

void CTorvelDlg::OnFullScreenButton(int) {
    EnterFullScreen();
}

void CTorvelDlg::OnFitScreen(int) {
    if (m_bFullScreen) {
        LeaveFullScreen();
    } else {
        EnterFullScreen();
    }
}

void CTorvelDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (m_bFullScreen) {
        LeaveFullScreen();
    }
    event->accept();
}

bool CTorvelDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            StopAlarmSound();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CTorvelDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!m_bFullScreen) {
        m_dragOffset = event->globalPosition().toPoint() - pos();
    }
    KernelObject& app = *g_lpApp;
    if (app.m_bHotPointMode == 2 && app.m_fVideoReady != 0) {
        // The cell is the one under the press itself, not wherever the pointer is later.
        app.m_wMouseX = static_cast<std::uint16_t>(point.x());
        app.m_wMouseY = static_cast<std::uint16_t>(point.y());
        ui::PostMessage(Handle(), ui::WM_HOTPOINTCLICK, 0, PointParam(point));
    }
    event->accept();
}

void CTorvelDlg::mouseMoveEvent(QMouseEvent* event) {
    KernelObject& app = *g_lpApp;
    const QPoint point = event->position().toPoint();
    if (app.m_bHotPointMode != 1) {
        app.m_wMouseX = static_cast<std::uint16_t>(point.x());
        app.m_wMouseY = static_cast<std::uint16_t>(point.y());
    }
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        const QRect target =
            OnMoving(QRect(event->globalPosition().toPoint() - *m_dragOffset, m_fit.Page().size()));
        if (target.size() != m_fit.Page().size()) {
            m_fit.SetSize(target.size());
        }
        move(target.topLeft());
    }
    event->accept();
}

void CTorvelDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}
