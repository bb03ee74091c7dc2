#pragma once

// "SEARCH": finds devices on the local network with the discovery datagram, lists every answer,
// shows the network settings of the chosen device and can send it new settings (APPLY) or order
// it back to its factory settings (RESET DEFAULT). The search listens on a worker thread that
// hands the answers to the dialog's thread, one row per device; APPLY and RESET send and wait for
// the answer of the device asked on a command runner, so the dialog paints on meanwhile and its
// close drops the command.

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "login/search_datagram.h"
#include "platform/sync.h"
#include "protocol/command_runner.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class CSettingINI;

// One device that answered, in the order of its first answer; it holds its latest answer.
struct SearchResultNode {
    std::string mac;
    std::string ip;
    std::uint32_t port = 0;
    std::string gateway;
    std::string dns;
    std::string mask;
    std::uint8_t device = 0;  // after the device-code mapping
    std::uint32_t index = 0;
};

// The device the user chose, for the login dialog.
struct SearchChoice {
    std::string server;
    std::uint16_t port = 80;
};

// The login dialog's settings follow the chosen device at once.
void ApplySearchChoice(const SearchChoice& choice);

class CSearchDlg : public QDialog {
    Q_OBJECT
public:
    // Answers keep the search open until this long without one, or until kSearchMs have passed.
    static constexpr std::uint32_t kAnswerWaitMs = 5'000;
    static constexpr std::uint32_t kSearchMs = 10'000;
    static constexpr std::uint32_t kApplyWaitMs = 12'000;
    static constexpr std::uint32_t kResetWaitMs = 7'000;

    explicit CSearchDlg(QWidget* parent = nullptr,
                        LanSearchEndpoints endpoints = LanSearchEndpoints());
    ~CSearchDlg() override;

    int DoModal();
    // Every way out (OK, the window's close) drops a command still waiting for its device.
    void done(int result) override;
    // Sets the local address, disables the controls and starts the first search.
    bool OnInitDialog();
    void OnSearchAgain();
    void OnOK();
    void OnApply();
    void OnResetDefault();
    // A row of the result list became the selected one (-1: none).
    void OnItemChanged(int row);
    void OnTimer();

    // Set once OK, APPLY or RESET handed over a device; it stays set.
    bool DeviceChosen() const { return m_fDeviceChosen; }
    // What the login dialog takes: the result address and the web port of the detail edit; none
    // while no address was stored.
    std::optional<SearchChoice> Choice() const;

    bool Searching() const { return m_fSearching; }
    // From APPLY or RESET DEFAULT sending until their answer has been shown.
    bool CommandRunning() const { return m_runner.Busy(); }
    const std::vector<SearchResultNode>& Nodes() const { return m_Nodes; }

    QTreeWidget* m_DeviceList;
    // Under the list once a search ended without an answer: what the search needs.
    QLabel* m_staticNoAnswer;
    QLineEdit* m_editServerIP;
    QLineEdit* m_editMacAddress;
    QLineEdit* m_editNetMask;
    QLineEdit* m_editGateway;
    QLineEdit* m_editDnsServer;
    QLineEdit* m_editWebPort;
    QPushButton* m_btnSearchAgain;
    QPushButton* m_btnApply;
    QPushButton* m_btnResetDefault;
    QPushButton* m_btnOK;

    // The detail values bound to the edits.
    std::string m_strMacAddress;
    std::string m_strServerIP;
    std::uint32_t m_dwWebPort = 0;
    std::string m_strNetMask;
    std::string m_strGateway;
    std::string m_strDnsServer;

    std::string m_strResultIP;
    std::string m_strResultMac;
    std::uint32_t m_dwResultPort = 80;

protected:
    // Escape does not close the search; OK and the window's close do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct NetworkCommand;
    struct Exchange;

    void StartSearch();
    void StopSearch();
    std::uint32_t SearchReceiveThread(LanSearchEndpoints endpoints, std::uint32_t generation);
    // Runs on the dialog's thread with the answers of the current search that waited.
    void AddReplies(const std::vector<LanSearchBytes>& answers);
    void EndSearch(bool bindFailed);
    void EnableControls(bool enable);
    void SetDetailEdits(const SearchResultNode& node);
    // Edits into the detail members; false, after a message when `prompt`, when the port is no
    // number 0..65535 (the members then stay as they were).
    bool UpdateData(bool prompt = true);
    // The detail members as datagram fields; null after a message naming the malformed one.
    std::optional<LanSearchDatagram> DetailFields() const;
    const SearchResultNode* SelectedNode() const;
    void RunNetworkCommand(const NetworkCommand& command);
    // On the dialog's thread once the device answered, or did not.
    void EndNetworkCommand(const NetworkCommand& command, const Exchange& exchange);
    void TakeResultFromEdits();

    LanSearchEndpoints m_endpoints;
    platform::HandleField m_hReceiveThread;
    std::vector<SearchResultNode> m_Nodes;
    int m_nSelected = -1;
    std::uint32_t m_dwAnimation = 0;
    QTimer m_captionTimer;
    std::string m_strBusyWord;
    std::string m_strIdleCaption;
    bool m_fSearching = false;
    // Answers of an earlier search that arrive after SEARCH AGAIN are dropped by this number.
    std::uint32_t m_dwSearchGeneration = 0;
    bool m_fDeviceChosen = false;
    // Last, so that it is cancelled before anything its results would touch goes.
    CommandRunner m_runner;
};
