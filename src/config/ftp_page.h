#pragma once

// "FTP": where the device uploads its pictures: server, port, account and directory, all in the
// FTP section. The apply rewrites only the fields the user changed and sends the section once.

#include <QLineEdit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_page.h"

struct SheetOpeningValues;
struct SysCfgBlocks;

namespace ftp_fields {
inline constexpr std::size_t kServer = 4;
inline constexpr std::size_t kUser = 36;
inline constexpr std::size_t kPassword = 52;
inline constexpr std::size_t kDirectory = 68;
inline constexpr std::size_t kPort = 100;
inline constexpr std::size_t kLongWidth = 32;
inline constexpr std::size_t kShortWidth = 16;
}  // namespace ftp_fields

// What the FTP page holds.
struct FtpSettings {
    std::string server;
    std::string user;
    std::string password;
    std::string directory;
    std::uint32_t port = 0;
};

// Writes the fields that differ from the opening values (a text only when it fits its field);
// true when anything was written.
bool WriteFtpChanges(const SheetOpeningValues& saved, const FtpSettings& page, SysCfgBlocks& cfg);

class FTPPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr int kMaxServerChars = 31;
    static constexpr int kMaxAccountChars = 15;
    static constexpr int kMaxDirectoryChars = 31;
    static constexpr std::uint32_t kDefaultPort = 21;

    explicit FTPPropertyPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;
    bool OnKillActive() override;
    // Every edit of the port keeps its digits and puts a port outside 1..65535 back to 21.
    void OnChangePort();
    FtpSettings Settings() const;

    std::string m_strFtpServer;
    std::string m_strFtpPassword;
    std::uint32_t m_nFtpPort = kDefaultPort;
    std::string m_strFtpUserName;
    std::string m_strFtpDirectory;

    QLineEdit m_editServer;
    QLineEdit m_editPassword;
    QLineEdit m_editPort;
    QLineEdit m_editUserName;
    QLineEdit m_editDirectory;

protected:
    void OnInitDialog() override;
};
