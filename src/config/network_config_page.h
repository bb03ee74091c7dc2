#pragma once

// "Network": the device's own address, net mask, gateway and web port, how it gets its address
// (static, PPPoE or DHCP) and its PPPoE account. The page reads the IP and PPPOE sections; the
// sheet's network step writes back what changed, PPPOE before IP, because the device starts using
// a new IP section at once and would not be reachable for a PPPOE request after it.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_page.h"
#include "config/config_sheet.h"
#include "config/ip_address_ctrl.h"

struct SysCfgBlocks;

// IP section (24 bytes) and PPPOE section (68 bytes) as the client uses them.
namespace ip_section {
inline constexpr std::size_t kAddress = 4;
inline constexpr std::size_t kNetMask = 8;
inline constexpr std::size_t kGateway = 12;
inline constexpr std::size_t kWebPort = 16;
inline constexpr std::size_t kConnectionType = 22;
}  // namespace ip_section
namespace pppoe_section {
inline constexpr std::size_t kUser = 36;
inline constexpr std::size_t kPassword = 52;
inline constexpr std::size_t kTextWidth = 16;
}  // namespace pppoe_section

// Writes the PPPoE texts that differ from the opening values; true when one did.
bool WritePppoeChanges(const NetworkSettings& saved, const NetworkSettings& page,
                       SysCfgBlocks& cfg);
// Writes the address fields, the web port and the connection type that differ; true when one did.
bool WriteIpChanges(const NetworkSettings& saved, const NetworkSettings& page, SysCfgBlocks& cfg);

class NetworkConfigPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr int kMaxPppoeChars = 15;

    explicit NetworkConfigPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;
    bool OnKillActive() override;

    // The radio buttons' handlers: take the type at once and lay the page out for it.
    void OnStaticIp();
    void OnPppoe();
    void OnDhcp();

    // The members and address controls as the network step compares them.
    NetworkSettings Settings() const;

    CIPAddressCtrl m_ipNetMask;
    CIPAddressCtrl m_ipServer;
    CIPAddressCtrl m_ipGateway;
    int m_iWeb_Port = 0;
    std::string m_strPppoePassword;
    std::string m_strPppoeUser;
    std::uint8_t m_bConnectionType = 0;  // 0 static IP, 1 PPPoE, 2 DHCP

    std::array<QLabel, 3> m_lblAddresses;  // "Server IP :", "Gateway :", "Net Mask :"
    QLineEdit m_editWebPort;
    QRadioButton m_radioStatic;
    QRadioButton m_radioPppoe;
    QRadioButton m_radioDhcp;
    QGroupBox m_grpPppoe;
    QLineEdit m_editPppoeUser;
    QLineEdit m_editPppoePassword;

protected:
    void OnInitDialog() override;

private:
    // Any type other than static IP and DHCP gets the PPPoE layout.
    void LayOut(std::uint8_t connectionType);
};
