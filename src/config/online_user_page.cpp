#include "config/online_user_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "config/config_sheet.h"
#include "config/section_fields.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"
#include "widgets/window_fit.h"

namespace online_users {

namespace {

struct Coded {
    std::uint8_t code;
    std::uint32_t textId;
};
constexpr Coded kLevels[] = {{0, 3013}, {10, 3012}, {20, 8332}, {30, 3011}};
constexpr Coded kQualities[] = {{0, 2107}, {1, 2108}, {2, 2109}};
// By resolution code: the PAL text, then the NTSC one.
constexpr std::array<std::array<const char*, 2>, 3> kResolutions = {
    {{"640*552", "640*456"}, {"320*276", "320*228"}, {"160*138", "160*114"}}};

// A value the client does not know leaves its cell empty.
std::string CodedText(std::span<const Coded> table, std::uint8_t code) {
    const auto it =
        std::find_if(table.begin(), table.end(), [code](const Coded& c) { return c.code == code; });
    return it == table.end() ? std::string() : ui::LoadString(it->textId);
}

}  // namespace

std::vector<Cells> ListRows(std::span<const std::uint8_t, 240> online, bool pal) {
    std::vector<Cells> rows;
    for (std::size_t i = 0; i < kEntries; ++i) {
        const auto entry = online.subspan(i * kEntrySize, kEntrySize);
        if (entry[0] == 0) {
            continue;
        }
        const std::uint8_t resolution = entry[22];
        rows.push_back(
            {config::ReadFieldText(entry.first(16)),
             std::to_string(entry[16]) + "." + std::to_string(entry[17]) + "." +
                 std::to_string(entry[18]) + "." + std::to_string(entry[19]),
             CodedText(kLevels, entry[20]),
             resolution < kResolutions.size() ? kResolutions[resolution][pal ? 0 : 1] : "",
             CodedText(kQualities, entry[23])});
    }
    return rows;
}

}  // namespace online_users

COnlineUserPage::COnlineUserPage(QWidget* parent) : CConfigPage("Online User", parent) {
    m_lblTitle.setText("Online user information :");
    m_btnRefresh.setText("Info \nRefresh");
    m_listOnline.setRootIsDecorated(false);
    m_listOnline.setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(&m_btnRefresh);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_lblTitle);
    layout->addWidget(&m_listOnline);
    layout->addLayout(bottom);

    connect(&m_btnRefresh, &QPushButton::clicked, this, &COnlineUserPage::OnRefresh);
}

namespace {

constexpr std::uint32_t kColumnTitles[] = {2100, 2101, 2102, 2111, 2112};
constexpr int kColumnWidths[] = {40, 80, 80, 80, 80};

}  // namespace

void COnlineUserPage::OnInitDialog() {
    QStringList headers;
    for (const std::uint32_t title : kColumnTitles) {
        headers << QString::fromStdString(ui::LoadString(title));
    }
    m_listOnline.setHeaderLabels(headers);
    FillList();
}

void COnlineUserPage::FillList() {
    m_listOnline.clear();
    m_wRowCount = 0;
    const bool pal = g_lpApp->m_abVideoInfo[2] != 0;
    for (const online_users::Cells& cells : online_users::ListRows(g_lpApp->m_SysCfg.ONLINE, pal)) {
        QStringList texts;
        for (const std::string& text : cells) {
            texts << QString::fromStdString(text);
        }
        m_listOnline.addTopLevelItem(new QTreeWidgetItem(texts));
        ++m_wRowCount;
    }
    // No name or level cut short beside an empty list: each column as wide as its cells.
    ui::FitColumns(m_listOnline, kColumnWidths);
}

void COnlineUserPage::OnRefresh() {
    ConfigSheet* sheet = Sheet();
    if (sheet == nullptr) {
        return;
    }
    // Cleared before the fetch, so a failed one leaves the section empty.
    using Section = decltype(SysCfgBlocks::ONLINE);
    auto online = std::make_shared<Section>();
    sheet->RunDeviceCommand(
        [online] {
            return GetConfigSection(CFG_ONLINE, online->data(),
                                    static_cast<std::uint32_t>(online->size())) != 0;
        },
        [this, online](bool fetched) {
            g_lpApp->m_SysCfg.ONLINE = *online;
            if (!fetched) {
                ui::ShowMessage(ui::texts::kGetConfigError);
                return;
            }
            FillList();
        });
}
