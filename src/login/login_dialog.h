#pragma once

// The first window the user sees: a borderless skinned window with rounded corners in which the
// user types the device's address, web port, user name and password and logs in. The exchange
// runs on the login thread while a "running" strip moves; the window ends with 1 after a
// successful login and with 2 on Cancel or Escape.

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPoint>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "login/login_thread.h"
#include "login/search_dlg.h"
#include "ui/window_message.h"
#include "widgets/vtx_button.h"

class QLabel;

// A rectangle of the skin, as left, top, right, bottom.
struct LoginRect {
    int left, top, right, bottom;
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
};

inline constexpr int kLoginWidth = 304;
inline constexpr int kLoginHeight = 341;
// Lines of the error text (the failure, then its cause) from the strip's top left corner.
inline constexpr int kErrorLineHeight = 14;

// Control ids of the window.
enum LoginControl : int {
    IDC_EDIT_USERNAME = 1040,
    IDC_EDIT_HOST = 1042,
    IDC_EDIT_PASSWORD = 1043,
    IDC_EDIT_PORT = 1044,
    IDC_EDIT_BITRATE = 1376,
    IDC_BTN_ADDRESS = 8440,
    IDC_BTN_SEARCH = 8441,
    IDC_BTN_PLAYER = 8442,
    IDC_BTN_COPY = 8443,
    IDC_BTN_CONNECT = 8444,
    IDC_BTN_CANCEL = 8445,
    IDC_BTN_UPGRADE = 8527,
    IDC_LABEL_USERNAME = 8528,
    IDC_LABEL_PASSWORD = 8529,
    IDC_LABEL_IP = 8530,
    IDC_LABEL_PORT = 8531,
};

struct LoginCommandButton {
    LoginRect rect;
    int controlId;  // also the string id of its tooltip
    const char* normal;
    const char* hover;
    const char* pressed;
};
struct LoginLabelButton {
    LoginRect rect;
    int controlId;  // also the string id of its tooltip
    const char* bitmap;
};
struct LoginEditPlace {
    int controlId;
    int x, y, width, height;
};

extern const std::array<LoginCommandButton, 7> kLoginCommandButtons;
extern const std::array<LoginLabelButton, 4> kLoginLabelButtons;
extern const std::array<LoginEditPlace, 4> kLoginEditPlaces;
// The keyboard's way through the window: the fields top down, Connect, Cancel, the icons.
extern const std::array<int, 10> kLoginTabOrder;

// One character of the version text as the window draws it.
struct VersionGlyph {
    QRect rect;
    int digit;  // 0..9, or -1 for the point glyph (any character that is not a digit)
};
// At most 10 characters are drawn, 10 pixels apart from x = 182.
std::vector<VersionGlyph> VersionGlyphs(std::string_view version);

// The newest "*.qrn" file of the folder (extension in any case), by last-write time; of files
// written at the same time the one with the greater name, whose date and time come later. Nothing
// when the folder holds none or cannot be read.
std::optional<std::filesystem::path> NewestRecordFile(const std::filesystem::path& folder);

// What the dialogs of the neighbouring windows hand back. Each hook is optional; a command
// whose hook is not set does nothing.
struct AddressBookEntry {
    std::string host;
    std::string user;
    std::uint16_t port = 0;
};
struct LoginDialogHooks {
    // The address book; an entry when the user chose one.
    std::function<std::optional<AddressBookEntry>()> addressBook{};
    // The LAN search with `parent`; a device when the user chose one.
    std::function<std::optional<SearchChoice>(QWidget* parent)> search{};
    // The folder browser starting at `start`; the chosen folder after OK.
    std::function<std::optional<std::string>(QWidget* parent, const std::string& start)> getPath{};
    // The copy dialog: copies the program folder `source` to `destination`.
    std::function<void(QWidget* parent, const std::string& source, const std::string& destination)>
        copyProgram{};
    // The firmware-upgrade dialog, run after a supervisor logged in through "Connect ...".
    std::function<void()> upgradeFirmware{};
};

class LoginDialog : public QDialog, public ui::MessageWindow {
    Q_OBJECT

public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit LoginDialog(QWidget* parent = nullptr, LoginDialogHooks hooks = {});
    ~LoginDialog() override;

    // Sets up the window (OnInitDialog) and runs it modally.
    int DoModal();
    // Skin, buttons and edits; DoModal calls it. Missing skin files leave their pictures out.
    void OnInitDialog();

    // Moves the texts into the edits (false) or the edits into the texts (true).
    void UpdateData(bool pull);

    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    void OnConnectButton();
    void OnAddressBookButton();
    void OnSearchButton();
    void OnPlayerButton();
    void OnCopyProgramButton();
    void OnUpgradeFirmwareButton();
    void OnCancelButton();

    LoginTexts Texts() const { return {m_strHost, m_strUserName, m_strPassword, m_strPort}; }

    std::string m_strHost;
    std::string m_strUserName;
    std::string m_strPassword;
    std::string m_strPort;
    std::string m_strBitRate;

    bool m_bError = false;
    std::string m_strError;
    // Why, in words, drawn on the line under the error text; empty when the text says it all.
    std::string m_strErrorCause;
    bool m_bAnimationRunning = false;
    std::uint8_t m_bFrame = 0;

    QLineEdit* Edit(int controlId) const;
    ui::CVtxButton* Button(int controlId) const;
    // The strip the running picture moves in.
    QRect AnimationRect() const;
    // The first line of the error text; the cause goes one line below it.
    static QRect ErrorTextRect();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void reject() override;

private:
    void OnLoginResult(ui::WPARAM wParam, ui::LPARAM lParam);
    void OnLoginAnimate(ui::WPARAM wParam, ui::LPARAM lParam);
    void OnLoginEnter(ui::WPARAM wParam, ui::LPARAM lParam);
    void OnLoginSuccess(ui::WPARAM wParam, ui::LPARAM lParam);
    bool IsCurrentAttempt(ui::LPARAM lParam) const {
        return static_cast<std::uint32_t>(lParam) == m_dwAttempt;
    }
    QFont ErrorFont() const;
    void CreateControls();
    // Where typing starts: the first empty field from the top, else the user name.
    QLineEdit* FirstEmptyField() const;
    // After a device came from the address book or the search: the cursor in the password.
    void TypePasswordNext();

    LoginDialogHooks m_hooks;
    bool m_bInitialised = false;

    // Frame pieces in drawing order of the table in the .cpp, then the running picture.
    std::vector<QImage> m_framePieces;
    QImage m_hRunning;
    std::array<QImage, 11> m_hDigits;  // "login_0" .. "login_9", "login_point"

    std::vector<std::pair<int, QLineEdit*>> m_edits;
    std::vector<ui::CVtxButton*> m_buttons;
    QLabel* m_bitRateLabel = nullptr;

    LoginThreads m_threads;
    std::uint32_t m_dwAttempt = 0;

    // Dragging by the body where the window system does not move the window itself.
    std::optional<QPoint> m_dragOffset;
};
