#include "config/server_log_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/thread.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "ui/message_ids.h"
#include "ui/string_table.h"

namespace {

constexpr std::uint16_t kLogSeconds = 15;
// The count reply is read as a short text; the device's answer is a few characters.
constexpr std::size_t kCountReplyText = 256;
constexpr std::uint32_t kCountReplyRoom = 4096;
// A device sends 30 or more entries in every page but the last.
constexpr std::uint32_t kFullPageEntries = 30;
constexpr std::uint32_t kHiddenEvent = 65535;

struct EventName {
    std::uint32_t id;
    const char* text;
};

constexpr EventName kEventNames[] = {
    {1, "POWER ON"},       {2, "VIDEO LOSS"},  {4, "HDD FULL"},         {8, "EMAIL FAILED"},
    {16, "FTP FAILED"},    {32, "KEY LOCK"},   {64, "KEY UNLOCK"},      {128, "RESET DEFAULT"},
    {256, "REMOTE LOGIN"}, {512, "HDD ERROR"}, {1024, "HDD DMA ERROR"}, {2048, "USB_ERROR"},
};
constexpr std::uint32_t kRemoteLogin = 256;

std::string EventText(const ServerLogEntry& entry) {
    const std::uint32_t id = entry.EventId();
    const auto* name = std::find_if(std::begin(kEventNames), std::end(kEventNames),
                                    [id](const EventName& e) { return e.id == id; });
    if (name == std::end(kEventNames)) {
        return "NO EVENT";
    }
    if (id == kRemoteLogin) {
        return std::string(name->text) + " ( " + entry.Detail() + " )";
    }
    return name->text;
}

void AddCookie(CCgiRequest& request) {
    if (!g_szSessionCookie.Empty()) {
        request.AddParam("Cookie", g_szSessionCookie.Get());
    }
}

// The page's stop event, or the thread layer's own stop (the page going away).
bool StopAsked(platform::Handle stopEvent) {
    return platform::WaitForObject(stopEvent, 0) == platform::kWaitObject0 ||
           platform::StopRequested();
}

// What the user is told of a request that failed.
std::string SendFailureText(const VortaStatus& status) {
    switch (status.failure) {
        case SendFailure::NoAddress:
            return "no device address is set";
        case SendFailure::NoSuchHost:
            return "the device's host name is not known";
        case SendFailure::Refused:
            return "nothing listens on the device's web port";
        case SendFailure::Unreachable:
            return "the device cannot be reached";
        case SendFailure::NoAnswer:
            return "the device did not answer";
        case SendFailure::Status:
            return "the device refused the request (status " + std::to_string(status.httpStatus) +
                   ")";
        case SendFailure::BadReply:
            return "the device's reply could not be read";
        case SendFailure::None:
            break;
    }
    return "the request could not be sent";
}

// Null when the request went through; else why not.
std::optional<std::string> SendLogRequest(CCgiRequest& request, const char* state, void* reply,
                                          std::uint32_t room, std::uint32_t* length) {
    request.Reset();
    AddCookie(request);
    request.AddParam("STATE", state);
    VortaStatus status;
    *length = 0;
    if (VortaSendCommand(CGI_GETLOG, request.Url(), nullptr, 0, &status, reply, room, length,
                         kLogSeconds, kLogSeconds, 0) != 0) {
        return std::nullopt;
    }
    return SendFailureText(status);
}

}  // namespace

std::uint32_t ServerLogEntry::EventId() const {
    return platform::GetU32(bytes.data());
}

std::string ServerLogEntry::Detail() const {
    const auto* first = reinterpret_cast<const char*>(bytes.data()) + kSize - kDetailSize;
    return std::string(first, strnlen(first, kDetailSize));
}

std::optional<int> ParseLogCount(std::string_view reply) {
    const std::size_t key = reply.find("COUNT");
    if (key == std::string_view::npos || key + 6 > reply.size()) {
        return std::nullopt;
    }
    std::string_view number = reply.substr(key + 6);
    number = number.substr(0, number.find(';'));
    std::size_t i = number.find_first_not_of(" \t");
    if (i == std::string_view::npos) {
        return std::nullopt;
    }
    const bool negative = number[i] == '-';
    if (number[i] == '-' || number[i] == '+') {
        ++i;
    }
    long long value = 0;
    const std::size_t firstDigit = i;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
        value = value * 10 + (number[i] - '0');
        if (value > 0x7FFFFFFF) {
            return std::nullopt;
        }
    }
    if (i == firstDigit) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

std::uint32_t GetServerLogThread(const ServerLogThreadParam& param) {
    const auto finish = [&param](ui::WPARAM result) {
        ui::PostMessage(param.window, ui::WM_SERVERLOGRESULT, result, param.tag);
        return 0u;
    };
    const auto fail = [&param, &finish](std::string why) {
        if (param.failure != nullptr) {
            *param.failure = std::move(why);
        }
        return finish(kServerLogFailed);
    };
    *param.count = 0;

    CCgiRequest request(CGI_GETLOG);
    std::vector<char> countReply(kCountReplyRoom, '\0');
    std::uint32_t length = 0;
    if (auto failed =
            SendLogRequest(request, "COUNT", countReply.data(), kCountReplyRoom, &length)) {
        return fail(std::move(*failed));
    }
    const std::optional<int> count = ParseLogCount(
        std::string_view(countReply.data(), std::min<std::size_t>(length, kCountReplyText)));
    if (!count || *count < 0) {
        return fail("the device's entry count could not be read");
    }
    if (*count == 0) {
        return finish(kServerLogEmpty);
    }
    // A MAX LOG LIST of 0 asks for nothing: the reading is done before the first page.
    const int total = std::min(*count, std::clamp(param.maxLogList, 0, kServerLogCapacity));
    if (total == 0) {
        return finish(kServerLogDone);
    }

    // A page lands here first, so a page longer than what is left of the log buffer keeps only
    // the entries that fit.
    std::vector<ServerLogEntry> page(kServerLogCapacity);
    const auto pageRoom = static_cast<std::uint32_t>(page.size() * ServerLogEntry::kSize);
    int stored = 0;
    for (bool first = true;; first = false) {
        if (StopAsked(param.stopEvent)) {
            return 0;
        }
        std::optional<std::string> failed =
            SendLogRequest(request, first ? "LAST" : "PRE", page.data(), pageRoom, &length);
        if (StopAsked(param.stopEvent)) {
            return 0;
        }
        if (failed) {
            return fail(std::move(*failed));
        }
        const auto whole = static_cast<int>(length / ServerLogEntry::kSize);
        const int n = std::min(whole, kServerLogCapacity - stored);
        if (n == 0) {
            return finish(kServerLogDone);
        }
        std::copy_n(page.begin(), n, param.buffer + stored);
        stored += n;
        *param.count = stored;
        ui::PostMessage(param.window, WM_SERVERLOGPROGRESS,
                        static_cast<ui::WPARAM>(std::min(stored * 100 / total, 100)), param.tag);
        if (whole < static_cast<int>(kFullPageEntries) || stored >= kServerLogCapacity ||
            stored >= total) {
            return finish(kServerLogDone);
        }
    }
}

std::vector<ServerLogRow> ServerLogRows(std::span<const ServerLogEntry> entries,
                                        std::uint32_t mask) {
    std::vector<ServerLogRow> rows;
    for (const ServerLogEntry& entry : entries) {
        const std::uint32_t id = entry.EventId();
        if ((id & mask) == 0 || id == kHiddenEvent) {
            continue;
        }
        char number[16];
        std::snprintf(number, sizeof number, "%2d", static_cast<int>(rows.size()) + 1);
        char time[64];
        std::snprintf(time, sizeof time, "%.2d-%.2d-%.2d %.2d:%.2d:%.2d", entry.Date(0),
                      entry.Date(1), entry.Date(2), entry.Hour(), entry.Minute(), entry.Second());
        rows.push_back({number, EventText(entry), time,
                        entry.Channel() != 0 ? std::to_string(entry.Channel()) : "NO"});
    }
    return rows;
}

CServerLogDlg::CServerLogDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Server Log");
    m_nChecked.fill(1);
    m_ctlLogList.setRootIsDecorated(false);
    m_ctlLogList.setSelectionMode(QAbstractItemView::SingleSelection);
    m_ctlLogList.setSelectionBehavior(QAbstractItemView::SelectRows);
    auto* filters = new QGridLayout;
    for (std::size_t i = 0; i < kFilters.size(); ++i) {
        m_chkFilter[i].setText(kFilters[i].text);
        filters->addWidget(&m_chkFilter[i], static_cast<int>(i / 4), static_cast<int>(i % 4));
        connect(&m_chkFilter[i], &QCheckBox::clicked, this, [this, i] { OnFilterClicked(i); });
    }
    m_btnOK.setText("OK");
    connect(&m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(&m_btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_ctlLogList);
    layout->addLayout(filters);
    layout->addLayout(buttons);
    resize(520, 420);
}

int CServerLogDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CServerLogDlg::OnInitDialog() {
    struct Column {
        QString title;
        int width;
    };
    const Column columns[] = {
        {"NO.", 40},
        {QString::fromStdString(ui::LoadString(8570)), 210},
        {QString::fromStdString(ui::LoadString(8571)), 150},
        {QString::fromStdString(ui::LoadString(8572)), 40},
    };
    m_ctlLogList.setColumnCount(static_cast<int>(std::size(columns)));
    QStringList titles;
    for (int c = 0; c < static_cast<int>(std::size(columns)); ++c) {
        titles << columns[c].title;
        m_ctlLogList.setColumnWidth(c, columns[c].width);
    }
    m_ctlLogList.setHeaderLabels(titles);
    for (int c = 0; c < static_cast<int>(std::size(columns)); ++c) {
        m_ctlLogList.headerItem()->setTextAlignment(c, Qt::AlignCenter);
    }
    FillLogList();
    return true;
}

int CServerLogDlg::FillLogList() {
    m_ctlLogList.clear();
    const std::size_t count =
        plogList == nullptr
            ? 0
            : static_cast<std::size_t>(std::clamp(m_nLogCount, 0, kServerLogCapacity));
    for (const ServerLogRow& row : ServerLogRows({plogList, count}, m_dwEventMask)) {
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(row.number), QString::fromStdString(row.event),
                        QString::fromStdString(row.time), QString::fromStdString(row.channel)});
        for (int c = 0; c < 4; ++c) {
            item->setTextAlignment(c, Qt::AlignCenter);
        }
        m_ctlLogList.addTopLevelItem(item);
    }
    UpdateData();
    return 1;
}

void CServerLogDlg::OnFilterClicked(std::size_t filter) {
    if (m_nChecked[filter] == 1) {
        m_nChecked[filter] = 0;
        m_dwEventMask &= ~kFilters[filter].bit;
    } else {
        m_nChecked[filter] = 1;
        m_dwEventMask |= kFilters[filter].bit;
    }
    FillLogList();
}

void CServerLogDlg::UpdateData() {
    for (std::size_t i = 0; i < kFilters.size(); ++i) {
        m_chkFilter[i].setChecked(m_nChecked[i] == 1);
    }
}
