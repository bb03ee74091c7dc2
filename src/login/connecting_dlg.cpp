#include "login/connecting_dlg.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <string>

#include "kernel/kernel_object.h"
#include "platform/sync.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr std::uint32_t kAnswerWaitMs = 10;

}  // namespace

int CConnectingDlg::s_nDots = 1;

CConnectingDlg::CConnectingDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_endProgram([] { std::exit(0); }) {
    m_staticText = new QLabel(this);
    auto* cancel = new QPushButton("Cancel", this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_staticText);
    layout->addWidget(cancel);
    m_dotsTimer.setInterval(kDotsMs);
    m_giveUpTimer.setInterval(kGiveUpMs);
    m_giveUpTimer.setSingleShot(true);
    connect(&m_dotsTimer, &QTimer::timeout, this, [this] { OnTimer(kDotsTimer); });
    connect(&m_giveUpTimer, &QTimer::timeout, this, [this] { OnTimer(kGiveUpTimer); });
}

int CConnectingDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CConnectingDlg::OnInitDialog() {
    m_dotsTimer.start();
    m_giveUpTimer.start();
    return true;
}

void CConnectingDlg::OnTimer(int timerId) {
    if (timerId == kDotsTimer) {
        m_staticText->setText(QString::fromStdString(ui::LoadString(ui::texts::kConnectingText) +
                                                     std::string(s_nDots, '.')));
        s_nDots = s_nDots % kMaxDots + 1;
        if (g_lpApp != nullptr && g_lpApp->h_DeviceAnswerEvent &&
            platform::WaitForObject(g_lpApp->h_DeviceAnswerEvent, kAnswerWaitMs) ==
                platform::kWaitObject0) {
            m_fDeviceAnswered = true;
        }
    } else if (timerId == kGiveUpTimer) {
        ui::ShowMessage(ui::texts::kNoServer);
        m_endProgram();
        return;
    }
    if (m_fDeviceAnswered) {
        m_dotsTimer.stop();
        m_giveUpTimer.stop();
        done(0);
    }
}
