#pragma once

// "DDNS": the DNS server the device asks and its dynamic-DNS registration. The DNS server lives in
// the DNS section, the registration (enable, system, account, domain) in the SMTP section beside
// the mail settings. "SNTP": the time server and zone; the sheet builds it but never shows it.

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_page.h"
#include "config/ip_address_ctrl.h"

struct SheetOpeningValues;
struct SysCfgBlocks;

// The DDNS fields of the SMTP section and the server of the DNS section.
namespace ddns_fields {
inline constexpr std::size_t kDnsServer = 4;  // DNS section
inline constexpr std::size_t kEnable = 5;
inline constexpr std::size_t kSystemName = 88;
inline constexpr std::size_t kUser = 104;
inline constexpr std::size_t kPassword = 120;
inline constexpr std::size_t kDomain = 328;
inline constexpr std::size_t kShortWidth = 16;
inline constexpr std::size_t kDomainWidth = 48;
}  // namespace ddns_fields

// What the DDNS page holds, taken from its controls.
struct DdnsSettings {
    std::uint32_t dnsServer = 0;
    std::uint8_t enable = 0;
    std::string user;
    std::string password;
    std::string domain;
    int system = -1;  // index into kDdnsSystemNames, -1 none
};

// Writes the DNS server when it differs from the opening value; true then.
bool WriteDnsChange(const SheetOpeningValues& saved, const DdnsSettings& page, SysCfgBlocks& cfg);
// Writes the DDNS fields of SMTP that differ; true when one did.
bool WriteDdnsChanges(const SheetOpeningValues& saved, const DdnsSettings& page, SysCfgBlocks& cfg);

class CDNSPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr int kMaxAccountChars = 15;
    static constexpr int kMaxDomainChars = 47;

    explicit CDNSPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;
    void OnEnable();
    void OnDisable();
    DdnsSettings Settings() const;

    int m_nSystemIndex = -1;
    std::string m_strUser;
    std::string m_strPassword;
    std::string m_strDomain;
    CIPAddressCtrl m_ipDns;
    std::uint8_t m_bDdnsEnable = 0;

    QRadioButton m_radioEnable;
    QRadioButton m_radioDisable;
    QLineEdit m_editUser;
    QLineEdit m_editPassword;
    QLineEdit m_editDomain;
    QComboBox m_comboSystem;

protected:
    void OnInitDialog() override;

private:
    void ShowEnable(bool enabled);
};

// A row of the time-zone list: the zone's name in the string table and its offset from GMT.
struct TimeZoneRow {
    std::uint32_t stringId;
    std::int8_t hours;
    std::int8_t minutes;
};
extern const std::array<TimeZoneRow, 75> kTimeZones;

class CSNTPPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr int kMaxServerChars = 63;
    // The zone the page offers whatever the device holds.
    static constexpr int kDefaultZone = 57;

    explicit CSNTPPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    std::string m_strServerName;
    int m_nZoneIndex = -1;

    QLineEdit m_editServerName;
    QComboBox m_comboZone;

protected:
    void OnInitDialog() override;
};
