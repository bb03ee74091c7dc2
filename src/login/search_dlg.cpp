#include "login/search_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <memory>
#include <sstream>

#include "kernel/kernel_object.h"
#include "kernel/settings_ini.h"
#include "login/confirm_authority_dlg.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "ui/message_sink.h"
#include "ui/queued_call.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"
#include "widgets/field_enter.h"
#include "widgets/window_fit.h"

namespace {

constexpr int kCaptionTimerMs = 300;
constexpr std::uint32_t kStopWaitMs = 30;

constexpr std::size_t kMaxAccountText = 15;

constexpr std::uint32_t kColumnTitles[] = {3022, 3023, 3024, 3025, 3026};
constexpr int kColumnWidths[] = {120, 130, 60, 100, 90};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

}  // namespace

// What APPLY and RESET DEFAULT differ in.
struct CSearchDlg::NetworkCommand {
    const char* command;
    LanSearchOperation operation;
    bool pullEdits;        // APPLY takes the edits first; RESET uses what the last choice pulled
    bool refuseUnchanged;  // APPLY with nothing changed sends nothing
    std::uint32_t waitMs;
    std::uint32_t doneText;
    std::uint32_t failedText;
    bool resultOnAnswer;  // APPLY hands over the device whatever the answer
};

// How far the exchange with the device got, and what it answered.
struct CSearchDlg::Exchange {
    LanReplySocket::Open opened = LanReplySocket::Open::NoSocket;
    bool sent = false;
    LanReplySocket::Wait waited = LanReplySocket::Wait::Failed;
    std::uint8_t code = 0;  // the answer's result code, with a datagram
};

void ApplySearchChoice(const SearchChoice& choice) {
    SetDeviceAddress(choice.server, choice.port);
}

CSearchDlg::CSearchDlg(QWidget* parent, LanSearchEndpoints endpoints)
    : QDialog(parent),
      m_endpoints(std::move(endpoints)),
      m_runner([this](std::function<void()> call) { ui::PostCall(this, std::move(call)); }) {
    setWindowTitle("SEARCH");
    // The title bar's close leaves the search like OK with no device chosen.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    std::istringstream words(ui::LoadString(ui::texts::kSearchStrings));
    words >> m_strBusyWord >> m_strIdleCaption;

    m_DeviceList = new QTreeWidget(this);
    m_DeviceList->setRootIsDecorated(false);
    m_DeviceList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_DeviceList->setColumnCount(static_cast<int>(std::size(kColumnTitles)));
    QStringList titles;
    for (const std::uint32_t title : kColumnTitles) {
        titles << Q(ui::LoadString(title));
    }
    m_DeviceList->setHeaderLabels(titles);
    // Every column as wide as its title and the widest value it can show, and the list as wide
    // as its columns and the scroll bar, so nothing is cut or hides behind a horizontal scroll.
    QString widestKind;
    for (const LanDeviceKind& kind : LanDeviceKinds()) {
        if (m_DeviceList->fontMetrics().horizontalAdvance(kind.text) >
            m_DeviceList->fontMetrics().horizontalAdvance(widestKind)) {
            widestKind = kind.text;
        }
    }
    const int listWidth =
        2 * m_DeviceList->frameWidth() +
        m_DeviceList->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
        ui::FitColumns(*m_DeviceList, kColumnWidths,
                       {"255.255.255.255", "ff:ff:ff:ff:ff:ff", "65535", widestKind, "PREVIOUS"});
    m_DeviceList->setMinimumWidth(listWidth);
    connect(m_DeviceList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        OnItemChanged(item ? m_DeviceList->indexOfTopLevelItem(item) : -1);
    });

    m_editServerIP = new QLineEdit(this);
    m_editMacAddress = new QLineEdit(this);
    m_editMacAddress->setReadOnly(true);
    m_editNetMask = new QLineEdit(this);
    m_editGateway = new QLineEdit(this);
    m_editDnsServer = new QLineEdit(this);
    m_editWebPort = new QLineEdit(this);
    m_btnSearchAgain = new QPushButton("SEARCH AGAIN", this);
    m_btnApply = new QPushButton("APPLY", this);
    m_btnResetDefault = new QPushButton("RESET DEFAULT", this);
    m_btnOK = new QPushButton("OK", this);

    m_staticNoAnswer = new QLabel(
        Q("No device answered. The search asks by UDP broadcast on the local network (to port " +
          std::to_string(m_endpoints.destinationPort) + ", answers to port " +
          std::to_string(m_endpoints.replyPort) +
          "): only devices on this computer's network segment can answer, and a firewall on "
          "the way must let these datagrams through."),
        this);
    m_staticNoAnswer->setWordWrap(true);
    m_staticNoAnswer->hide();

    auto* listGroup = new QGroupBox("Device List", this);
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(m_DeviceList);
    listLayout->addWidget(m_staticNoAnswer);
    auto* detailGroup = new QGroupBox("Detail Info", this);
    auto* detail = new QGridLayout(detailGroup);
    const std::pair<const char*, QLineEdit*> fields[] = {
        {"Server IP", m_editServerIP},   {"Mac Address", m_editMacAddress},
        {"Net Mask", m_editNetMask},     {"Gateway", m_editGateway},
        {"DNS Server", m_editDnsServer}, {"Web Port", m_editWebPort},
    };
    int row = 0;
    for (const auto& [label, edit] : fields) {
        detail->addWidget(new QLabel(label, detailGroup), row / 2, (row % 2) * 2);
        detail->addWidget(edit, row / 2, (row % 2) * 2 + 1);
        ++row;
    }
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_btnSearchAgain, m_btnApply, m_btnResetDefault, m_btnOK}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listGroup);
    layout->addWidget(detailGroup);
    layout->addLayout(buttons);

    connect(m_btnSearchAgain, &QPushButton::clicked, this, &CSearchDlg::OnSearchAgain);
    connect(m_btnApply, &QPushButton::clicked, this, &CSearchDlg::OnApply);
    connect(m_btnResetDefault, &QPushButton::clicked, this, &CSearchDlg::OnResetDefault);
    connect(m_btnOK, &QPushButton::clicked, this, &CSearchDlg::OnOK);
    // No button here is one to press unasked from a field: OK hands a device over.
    ui::SetFieldEnterAction(*this);
    m_captionTimer.setInterval(kCaptionTimerMs);
    connect(&m_captionTimer, &QTimer::timeout, this, &CSearchDlg::OnTimer);
}

CSearchDlg::~CSearchDlg() {
    StopSearch();
}

int CSearchDlg::DoModal() {
    if (!OnInitDialog()) {
        return -1;
    }
    return exec();
}

bool CSearchDlg::OnInitDialog() {
    g_strHostName.Set(m_endpoints.LocalAddress());
    StartSearch();
    return static_cast<bool>(m_hReceiveThread);
}

void CSearchDlg::EnableControls(bool enable) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_DeviceList, m_btnSearchAgain, m_btnApply, m_btnOK, m_btnResetDefault, m_editServerIP,
             m_editMacAddress, m_editNetMask, m_editGateway, m_editDnsServer, m_editWebPort}) {
        control->setEnabled(enable);
    }
}

void CSearchDlg::StopSearch() {
    platform::StopThread(m_hReceiveThread, kStopWaitMs);
    m_fSearching = false;
}

void CSearchDlg::StartSearch() {
    StopSearch();
    m_DeviceList->clear();
    m_Nodes.clear();
    m_dwAnimation = 0;
    m_nSelected = -1;
    m_staticNoAnswer->hide();
    EnableControls(false);
    m_captionTimer.start();
    const std::uint32_t generation = ++m_dwSearchGeneration;
    m_fSearching = true;
    m_hReceiveThread = platform::StartThread([this, endpoints = m_endpoints, generation] {
        return SearchReceiveThread(endpoints, generation);
    });
    if (!m_hReceiveThread) {
        EndSearch(false);
    }
}

void CSearchDlg::OnSearchAgain() {
    StartSearch();
}

std::uint32_t CSearchDlg::SearchReceiveThread(LanSearchEndpoints endpoints,
                                              std::uint32_t generation) {
    // Everything the thread learns goes to the dialog's thread; answers of a search that was
    // replaced meanwhile are dropped there.
    const auto post = [this, generation](auto call) {
        ui::PostCall(this, [this, generation, call] {
            if (generation == m_dwSearchGeneration) {
                call();
            }
        });
    };
    LanSearchDatagram request;
    request.command = "QX_SEARCH";
    request.operation = static_cast<std::uint8_t>(LanSearchOperation::Search);
    request.address = ParseDottedQuad(g_strHostName.Get()).value_or(std::array<std::uint8_t, 4>{});
    request.port = 3333;

    LanReplySocket replies;
    switch (replies.Bind(endpoints)) {
        case LanReplySocket::Open::NoSocket:
            post([this] { EndSearch(false); });
            return 0;
        case LanReplySocket::Open::BindFailed:
            ui::ShowMessage(ui::texts::kBindFailed);
            post([this] { EndSearch(true); });
            return 0;
        case LanReplySocket::Open::Ok:
            break;
    }
    if (!SendSearchBroadcast(EncodeLanSearchDatagram(request), endpoints)) {
        post([this] { EndSearch(false); });
        return 0;
    }
    // Whatever arrives, answer or not, counts as something heard: the search ends after a
    // silence of kAnswerWaitMs or at the first look at the clock after kSearchMs.
    const auto collector = std::make_shared<LanAnswerCollector>();
    const std::uint32_t start = platform::GetTickCount();
    while (platform::GetTickCount() - start < kSearchMs) {
        LanSearchBytes answer{};
        const LanReplySocket::Wait waited = replies.ReceiveOne(kAnswerWaitMs, answer, std::nullopt);
        if (waited == LanReplySocket::Wait::Dropped) {
            continue;
        }
        if (waited != LanReplySocket::Wait::Datagram) {
            break;
        }
        if (collector->Offer(answer)) {
            post([this, collector] { AddReplies(collector->Take()); });
        }
    }
    replies.Close();
    post([this] { EndSearch(false); });
    return 0;
}

void CSearchDlg::AddReplies(const std::vector<LanSearchBytes>& answers) {
    std::uint16_t lastMac1 = 255;
    std::uint16_t lastMac2 = 255;
    if (g_lpApp != nullptr) {
        lastMac1 = g_lpApp->CSettingINI.m_wLastMAC1;
        lastMac2 = g_lpApp->CSettingINI.m_wLastMAC2;
    }
    for (const LanSearchBytes& bytes : answers) {
        const LanSearchDatagram answer = DecodeLanSearchDatagram(bytes);
        const LanDeviceKind kind = MapLanDeviceCode(answer.code);
        SearchResultNode node;
        node.mac = FormatMacText(answer.mac);
        node.ip = FormatDottedQuad(answer.address);
        node.port = answer.port;
        node.gateway = FormatDottedQuad(answer.gateway);
        node.dns = FormatDottedQuad(answer.dns);
        node.mask = FormatDottedQuad(answer.mask);
        node.device = kind.code;
        const bool previous = answer.mac[4] == lastMac1 && answer.mac[5] == lastMac2;
        const QStringList texts{Q(node.ip), Q(node.mac), QString::number(node.port), kind.text,
                                previous ? "PREVIOUS" : ""};
        // The detail edits show the latest answer; the ones before it would only flicker past.
        if (&bytes == &answers.back()) {
            SetDetailEdits(node);
        }
        // One row per device: a device that answers again brings its row up to date.
        const auto known =
            std::find_if(m_Nodes.begin(), m_Nodes.end(),
                         [&node](const SearchResultNode& n) { return n.mac == node.mac; });
        if (known != m_Nodes.end()) {
            node.index = known->index;
            *known = std::move(node);
            QTreeWidgetItem* item = m_DeviceList->topLevelItem(static_cast<int>(m_Nodes.size()) -
                                                               static_cast<int>(known->index) - 1);
            for (int column = 0; column < texts.size(); ++column) {
                item->setText(column, texts[column]);
            }
            continue;
        }
        node.index = static_cast<std::uint32_t>(m_Nodes.size());
        // Newest first: row r holds node count - r - 1.
        m_DeviceList->insertTopLevelItem(0, new QTreeWidgetItem(texts));
        m_Nodes.push_back(std::move(node));
    }
}

void CSearchDlg::EndSearch(bool bindFailed) {
    m_fSearching = false;
    m_captionTimer.stop();
    setWindowTitle(Q(m_strIdleCaption));
    if (bindFailed) {
        m_btnOK->setEnabled(true);
    } else {
        m_staticNoAnswer->setVisible(m_Nodes.empty());
        for (QWidget* control : std::initializer_list<QWidget*>{
                 m_DeviceList, m_btnSearchAgain, m_btnOK, m_btnApply, m_btnResetDefault}) {
            control->setEnabled(true);
        }
    }
    // The search held every control off, so nothing has the focus: the keyboard starts where
    // the user goes next, at the devices found or, with none, at the way out.
    (m_Nodes.empty() ? static_cast<QWidget*>(m_btnOK) : m_DeviceList)
        ->setFocus(Qt::OtherFocusReason);
}

void CSearchDlg::OnTimer() {
    static constexpr const char* kDots[] = {" .", " ..", " ...", " ...."};
    setWindowTitle(Q(" " + m_strBusyWord + kDots[m_dwAnimation % 4]));
    ++m_dwAnimation;
}

void CSearchDlg::SetDetailEdits(const SearchResultNode& node) {
    m_editServerIP->setText(Q(node.ip));
    m_editMacAddress->setText(Q(node.mac));
    m_editWebPort->setText(QString::number(node.port));
    m_editGateway->setText(Q(node.gateway));
    m_editDnsServer->setText(Q(node.dns));
    m_editNetMask->setText(Q(node.mask));
}

const SearchResultNode* CSearchDlg::SelectedNode() const {
    if (m_nSelected < 0 || static_cast<std::size_t>(m_nSelected) >= m_Nodes.size()) {
        return nullptr;
    }
    return &m_Nodes[static_cast<std::size_t>(m_nSelected)];
}

void CSearchDlg::OnItemChanged(int row) {
    if (row < 0) {
        return;
    }
    m_nSelected = static_cast<int>(m_Nodes.size()) - row - 1;
    const SearchResultNode* node = SelectedNode();
    if (node == nullptr) {
        ui::ShowMessage(ui::texts::kIndexItemFailed);
        return;
    }
    SetDetailEdits(*node);
    UpdateData();
    for (QLineEdit* edit : {m_editServerIP, m_editMacAddress, m_editWebPort, m_editGateway,
                            m_editDnsServer, m_editNetMask}) {
        edit->setEnabled(true);
    }
}

void CSearchDlg::done(int result) {
    if (m_runner.Busy()) {
        m_runner.Cancel();
    }
    QDialog::done(result);
}

void CSearchDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CSearchDlg::UpdateData(bool prompt) {
    const std::string portText = m_editWebPort->text().trimmed().toStdString();
    std::uint32_t port = 0;
    const auto [end, error] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port > 65535) {
        if (prompt) {
            ui::ShowMessage("Please enter an integer between 0 and 65535.");
        }
        return false;
    }
    m_strServerIP = Text(m_editServerIP);
    m_strMacAddress = Text(m_editMacAddress);
    m_strNetMask = Text(m_editNetMask);
    m_strGateway = Text(m_editGateway);
    m_strDnsServer = Text(m_editDnsServer);
    m_dwWebPort = port;
    return true;
}

std::optional<LanSearchDatagram> CSearchDlg::DetailFields() const {
    LanSearchDatagram fields;
    const auto mac = ParseMacText(m_strMacAddress);
    if (!mac) {
        ui::ShowMessage("Mac Address \"" + m_strMacAddress +
                        "\" is not six hex pairs separated by \":\"");
        return std::nullopt;
    }
    fields.mac = *mac;
    const std::tuple<const char*, const std::string&, std::array<std::uint8_t, 4>&> quads[] = {
        {"Server IP", m_strServerIP, fields.address},
        {"Net Mask", m_strNetMask, fields.mask},
        {"Gateway", m_strGateway, fields.gateway},
        {"DNS Server", m_strDnsServer, fields.dns},
    };
    for (const auto& [label, text, into] : quads) {
        const auto bytes = ParseDottedQuad(text);
        if (!bytes) {
            ui::ShowMessage(std::string(label) + " \"" + text +
                            "\" is not four numbers 0 to 255 separated by \".\"");
            return std::nullopt;
        }
        into = *bytes;
    }
    fields.port = static_cast<std::uint16_t>(m_dwWebPort);
    return fields;
}

void CSearchDlg::TakeResultFromEdits() {
    m_strResultIP = Text(m_editServerIP);
    m_strResultMac = Text(m_editMacAddress);
    std::uint32_t port = 0;
    const std::string portText = m_editWebPort->text().trimmed().toStdString();
    if (std::from_chars(portText.data(), portText.data() + portText.size(), port).ec ==
            std::errc() &&
        port <= 65535) {
        m_dwResultPort = port;
    }
}

void CSearchDlg::OnOK() {
    // Only a device being handed over needs a port; without one OK just leaves, also when the
    // greyed port edit is empty.
    const bool handingOver = SelectedNode() != nullptr;
    if (!UpdateData(handingOver) && handingOver) {
        return;
    }
    accept();
    if (SelectedNode() != nullptr) {
        TakeResultFromEdits();
        m_fDeviceChosen = true;
    }
}

std::optional<SearchChoice> CSearchDlg::Choice() const {
    // The flag goes up as a request goes out, the address only with its outcome: a command left
    // before its answer, or a reset the device answered, stored none, and an empty address
    // would wipe the login's.
    if (!m_fDeviceChosen || m_strResultIP.empty()) {
        return std::nullopt;
    }
    return SearchChoice{m_strResultIP, static_cast<std::uint16_t>(m_dwWebPort)};
}

void CSearchDlg::OnApply() {
    static constexpr NetworkCommand kApply = {
        "QX_SET_IP", LanSearchOperation::SetAddress, true, true, kApplyWaitMs, 4005, 4004, true};
    RunNetworkCommand(kApply);
}

void CSearchDlg::OnResetDefault() {
    static constexpr NetworkCommand kReset = {
        "QX_RESET", LanSearchOperation::Reset, false, false, kResetWaitMs, 4062, 4061, false};
    RunNetworkCommand(kReset);
}

void CSearchDlg::RunNetworkCommand(const NetworkCommand& command) {
    // The buttons are greyed while a command runs; one still waiting keeps the answer port.
    if (m_runner.Busy()) {
        return;
    }
    if (m_DeviceList->currentItem() == nullptr || m_nSelected < 0) {
        ui::ShowMessage(ui::texts::kSelectItem);
        return;
    }
    if (command.pullEdits && !UpdateData()) {
        return;
    }
    const SearchResultNode* node = SelectedNode();
    if (node == nullptr) {
        ui::ShowMessage(ui::texts::kItemDataFailed);
        return;
    }
    if (node->device != kLanDeviceVideoServer && node->device != kLanDevice16ChMpeg4Dvr) {
        ui::ShowMessage(ui::texts::kCannotModify);
        return;
    }
    // A malformed address would go out as garbage and could cut a device off the network.
    std::optional<LanSearchDatagram> request = DetailFields();
    if (!request) {
        return;
    }
    CConfirmAuthorityDlg authority(this);
    if (authority.DoModal() != QDialog::Accepted) {
        return;
    }
    request->command = command.command;
    request->operation = static_cast<std::uint8_t>(command.operation);
    request->user = authority.m_strUserName;
    request->password = authority.m_strPassword;
    if (request->user.empty() || request->user.size() > kMaxAccountText) {
        ui::ShowMessage(ui::texts::kUserNameWrong);
        return;
    }
    if (request->password.empty() || request->password.size() > kMaxAccountText) {
        ui::ShowMessage(ui::texts::kPasswordWrong);
        return;
    }
    if (command.refuseUnchanged && m_strServerIP == node->ip && m_strMacAddress == node->mac &&
        m_strGateway == node->gateway && m_strDnsServer == node->dns &&
        m_strNetMask == node->mask && m_dwWebPort == node->port) {
        ui::ShowMessage(ui::texts::kNotChanged);
        return;
    }
    m_fDeviceChosen = true;

    // Nothing may start another exchange on the answer port meanwhile, nor change the choice
    // and the edits the result is taken from; OK and the window's close still leave.
    QWidget* const focused = focusWidget();
    EnableControls(false);
    m_btnOK->setEnabled(true);
    const auto work = [endpoints = m_endpoints, bytes = EncodeLanSearchDatagram(*request),
                       device = request->mac, waitMs = command.waitMs] {
        Exchange exchange;
        LanReplySocket replies;
        exchange.opened = replies.Bind(endpoints);
        if (exchange.opened != LanReplySocket::Open::Ok) {
            return exchange;
        }
        exchange.sent = SendSearchBroadcast(bytes, endpoints);
        if (!exchange.sent) {
            return exchange;
        }
        // Only the device asked can say how it went.
        LanSearchBytes answer{};
        exchange.waited = replies.Receive(waitMs, answer, device);
        if (exchange.waited == LanReplySocket::Wait::Datagram) {
            exchange.code = DecodeLanSearchDatagram(answer).code;
        }
        return exchange;
    };
    const bool started =
        m_runner.Start<Exchange>(work, [this, &command, focused](const Exchange& result) {
            EnableControls(true);
            if (focused != nullptr) {
                focused->setFocus(Qt::OtherFocusReason);
            }
            EndNetworkCommand(command, result);
        });
    if (!started) {
        EnableControls(true);
        ui::ShowMessage(ui::texts::kConnectError);
    }
}

void CSearchDlg::EndNetworkCommand(const NetworkCommand& command, const Exchange& exchange) {
    if (exchange.opened != LanReplySocket::Open::Ok) {
        ui::ShowMessage(ui::texts::kConnectError);
        if (exchange.opened == LanReplySocket::Open::BindFailed) {
            TakeResultFromEdits();
        }
        return;
    }
    if (!exchange.sent) {
        TakeResultFromEdits();
        return;
    }
    switch (exchange.waited) {
        case LanReplySocket::Wait::TimedOut:
        case LanReplySocket::Wait::Dropped:
        case LanReplySocket::Wait::Stopped:
            ui::ShowMessage(ui::texts::kCommandTimeout);
            TakeResultFromEdits();
            return;
        case LanReplySocket::Wait::Failed:
            ui::ShowMessage(ui::texts::kReceiveError);
            TakeResultFromEdits();
            return;
        case LanReplySocket::Wait::Datagram:
            break;
    }
    switch (exchange.code) {
        case kLanResultDone:
            ui::ShowMessage(command.doneText);
            break;
        case kLanResultBadAccount:
            ui::ShowMessage(ui::texts::kUserOrPasswordWrong);
            break;
        case kLanResultNotStatic:
            ui::ShowMessage(ui::texts::kNotStaticMode);
            break;
        default:
            ui::ShowMessage(command.failedText);
            break;
    }
    if (command.resultOnAnswer) {
        TakeResultFromEdits();
    }
}
