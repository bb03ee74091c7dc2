#include "login/connect_dialog.h"

#include <QLabel>
#include <QVBoxLayout>
#include <sstream>

#include "platform/clock.h"
#include "protocol/login.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

std::string FirstWord(const std::string& text) {
    std::istringstream words(text);
    std::string word;
    words >> word;
    return word;
}

}  // namespace

CConnectProgressDlg::CConnectProgressDlg(QWidget* parent, LoginTexts owner)
    : QDialog(parent), m_owner(std::move(owner)) {
    setWindowTitle("Connect ...");
    m_pText = new QLabel(this);
    m_pText->setMinimumWidth(220);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CConnectProgressDlg::OnTimer);
}

CConnectProgressDlg::~CConnectProgressDlg() {
    m_timer.stop();
    // The result of a login that outlived this window is of no use to anybody.
    if (g_pLogin && g_pLogin->m_pOwner == Handle()) {
        g_pLogin->Stop();
        g_pLogin->m_pOwner = 0;
    }
}

int CConnectProgressDlg::DoModal() {
    if (!OnInitDialog()) {
        return kResultFailed;
    }
    return exec();
}

bool CConnectProgressDlg::OnInitDialog() {
    // A port that does not fit 16 bits would be cut down to another port's number.
    if (!ParseWebPort(m_owner.port)) {
        ui::ShowMessage(ui::texts::kLoginError);
        return false;
    }
    CreateLoginObject();
    // A login still running for an earlier window ends before this one starts.
    g_pLogin->Stop();
    g_pLogin->m_pOwner = Handle();
    g_pLogin->m_strUser = m_owner.user;
    g_pLogin->m_strPassword = m_owner.password;
    g_pLogin->m_strServer = m_owner.host;
    g_pLogin->m_strPort = m_owner.port;
    m_dwStart = platform::GetTickCount();
    m_timer.start();
    g_pLogin->CreateThread();
    UpdateText();
    return true;
}

void CConnectProgressDlg::OnTimer() {
    static constexpr const char* kDots[] = {".", "..", "...", "...."};
    m_strText = FirstWord(ui::LoadString(ui::texts::kConnectWords)) + " " + m_owner.host + " " +
                kDots[m_dwTick % 4];
    ++m_dwTick;
    UpdateText();
    if (platform::GetTickCount() - m_dwStart > m_dwMaxWaitMs) {
        m_timer.stop();
        g_pLogin->Stop();
        done(kResultFailed);
    }
}

void CConnectProgressDlg::UpdateText() {
    m_pText->setText(QString::fromStdString(m_strText));
}

std::string CConnectProgressDlg::ShownText() const {
    return m_pText->text().toStdString();
}

bool CConnectProgressDlg::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    static constexpr ui::MessageMapEntry<CConnectProgressDlg> kMessageMap[] = {
        {ui::WM_CONNECTRESULT, &CConnectProgressDlg::OnConnectResult},
    };
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

void CConnectProgressDlg::OnConnectResult(ui::WPARAM, ui::LPARAM lParam) {
    // The failure that a stopped login still posts after the wait ran out.
    if (!isVisible()) {
        return;
    }
    m_timer.stop();
    done(static_cast<int>(lParam));
}
