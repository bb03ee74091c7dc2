#pragma once

// "Online User": who is connected to the device right now, as its ONLINE section reports them:
// name, address, level, and the resolution and quality of the stream each one receives. The
// page only reads; its refresh button fetches ONLINE again.

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "config/config_page.h"

namespace online_users {

inline constexpr std::size_t kEntries = 5;  // the client reads the first five entries
inline constexpr std::size_t kEntrySize = 24;

using Cells = std::array<std::string, 5>;  // name, address, level, resolution, quality

// The list rows for the entries with a name, in entry order; `pal` picks the resolution texts.
std::vector<Cells> ListRows(std::span<const std::uint8_t, 240> online, bool pal);

}  // namespace online_users

class COnlineUserPage : public CConfigPage {
    Q_OBJECT

public:
    explicit COnlineUserPage(QWidget* parent = nullptr);

    void OnRefresh();

    std::uint16_t m_wRowCount = 0;
    QLabel m_lblTitle;
    QTreeWidget m_listOnline;
    QPushButton m_btnRefresh;

protected:
    void OnInitDialog() override;

private:
    void FillList();
};
