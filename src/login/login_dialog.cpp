#include "login/login_dialog.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cctype>
#include <system_error>

#include "kernel/kernel_object.h"
#include "login/connect_dialog.h"
#include "platform/process.h"
#include "protocol/command_sender.h"
#include "protocol/login.h"
#include "recording/record_file.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"
#include "widgets/field_enter.h"
#include "widgets/skin_image.h"
#include "widgets/window_shape.h"

namespace {

constexpr const char* kPlayerProgram = "VideoPlayer";
constexpr const char* kBitRatePreset = "1200";

// The window's frame: the pieces in loading order, each stretched over its rectangle. The side
// and bottom pieces fill what the corners leave between them.
constexpr LoginRect kLeftTop{0, 0, 21, 34};
constexpr LoginRect kRightTop{278, 0, 304, 34};
constexpr LoginRect kLeftDown{0, 319, 25, 341};
constexpr LoginRect kRightDown{280, 319, 304, 341};
struct FramePiece {
    const char* file;
    LoginRect rect;
};
constexpr FramePiece kFramePieces[] = {
    {"BMP\\LOGIN\\spacer.bmp", {0, 0, kLoginWidth, kLoginHeight}},
    {"BMP\\LOGIN\\left_top.bmp", kLeftTop},
    {"BMP\\LOGIN\\right_top.bmp", kRightTop},
    {"BMP\\LOGIN\\top_middle1.bmp", {21, 0, 278, 12}},
    {"BMP\\LOGIN\\top_middle2.bmp", {21, 12, 278, 34}},
    {"BMP\\LOGIN\\left_middle.bmp",
     {kLeftTop.left, kLeftTop.bottom, kLeftTop.right, kLeftDown.top}},
    {"BMP\\LOGIN\\right_middle.bmp",
     {kRightTop.left, kRightTop.bottom, kRightTop.right, kRightDown.top}},
    {"BMP\\LOGIN\\left_down.bmp", kLeftDown},
    {"BMP\\LOGIN\\right_down.bmp", kRightDown},
    {"BMP\\LOGIN\\down_middle.bmp",
     {kLeftDown.right, kLeftDown.top, kRightDown.left, kLeftDown.bottom}},
};
constexpr const char* kRunningFile = "BMP\\LOGIN\\running.bmp";
constexpr const char* kDigitFiles[] = {
    "BMP\\LOGIN\\login_0.bmp", "BMP\\LOGIN\\login_1.bmp",     "BMP\\LOGIN\\login_2.bmp",
    "BMP\\LOGIN\\login_3.bmp", "BMP\\LOGIN\\login_4.bmp",     "BMP\\LOGIN\\login_5.bmp",
    "BMP\\LOGIN\\login_6.bmp", "BMP\\LOGIN\\login_7.bmp",     "BMP\\LOGIN\\login_8.bmp",
    "BMP\\LOGIN\\login_9.bmp", "BMP\\LOGIN\\login_point.bmp",
};
constexpr int kPointGlyph = 10;

constexpr int kVersionX = 182;
constexpr int kVersionY = 13;
constexpr int kGlyphWidth = 10;
constexpr int kGlyphHeight = 20;
constexpr std::size_t kMaxVersionGlyphs = 10;

constexpr QPoint kStripOrigin{74, 245};
constexpr int kAnimationFrames = 18;
constexpr QColor kStripColour{157, 216, 244};
constexpr QColor kErrorColour{0, 20, 255};
constexpr int kCornerEllipse = 15;
constexpr int kErrorFontPixels = 11;
// Up to the right frame piece, which covers the window from x = 278.
constexpr int kErrorTextWidth = 200;

// Both login buttons refuse, before anything is sent, an empty user name or password and one
// that a request cannot carry; the message says which.
bool LoginTextsSendable(const std::string& user, const std::string& password) {
    if (user.empty() || password.empty()) {
        ui::ShowMessage(ui::texts::kUserOrPasswordWrong);
        return false;
    }
    if (const auto refused = RefusedLoginText(user, password)) {
        ui::ShowMessage(*refused);
        return false;
    }
    return true;
}

bool IsRecordFile(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == recording::kRecordFileExtension;
}

}  // namespace

const std::array<LoginCommandButton, 7> kLoginCommandButtons = {{
    {{30, 50, 64, 84},
     IDC_BTN_ADDRESS,
     "BMP\\LOGIN\\address.bmp",
     "BMP\\LOGIN\\address_over.bmp",
     "BMP\\LOGIN\\address_down.bmp"},
    {{80, 50, 114, 84},
     IDC_BTN_SEARCH,
     "BMP\\LOGIN\\search.bmp",
     "BMP\\LOGIN\\search_over.bmp",
     "BMP\\LOGIN\\search_down.bmp"},
    {{130, 50, 164, 84},
     IDC_BTN_PLAYER,
     "BMP\\LOGIN\\player.bmp",
     "BMP\\LOGIN\\player_over.bmp",
     "BMP\\LOGIN\\player_down.bmp"},
    {{230, 50, 264, 84},
     IDC_BTN_UPGRADE,
     "BMP\\LOGIN\\download.BMP",
     "BMP\\LOGIN\\download_over.bmp",
     "BMP\\LOGIN\\download_down.bmp"},
    {{180, 50, 214, 84},
     IDC_BTN_COPY,
     "BMP\\LOGIN\\copy.bmp",
     "BMP\\LOGIN\\copy_over.bmp",
     "BMP\\LOGIN\\copy_down.bmp"},
    {{50, 275, 82, 307},
     IDC_BTN_CONNECT,
     "BMP\\LOGIN\\enter.bmp",
     "BMP\\LOGIN\\enter_over.bmp",
     "BMP\\LOGIN\\enter_down.bmp"},
    {{215, 275, 247, 307},
     IDC_BTN_CANCEL,
     "BMP\\LOGIN\\cancel.bmp",
     "BMP\\LOGIN\\cancel_over.bmp",
     "BMP\\LOGIN\\cancel_down.bmp"},
}};

const std::array<LoginLabelButton, 4> kLoginLabelButtons = {{
    {{30, 100, 58, 128}, IDC_LABEL_USERNAME, "BMP\\LOGIN\\name.BMP"},
    {{30, 136, 58, 164}, IDC_LABEL_PASSWORD, "BMP\\LOGIN\\password.BMP"},
    {{30, 172, 58, 200}, IDC_LABEL_IP, "BMP\\LOGIN\\ip.BMP"},
    {{30, 208, 58, 236}, IDC_LABEL_PORT, "BMP\\LOGIN\\port.BMP"},
}};

const std::array<int, 10> kLoginTabOrder = {
    IDC_EDIT_USERNAME, IDC_EDIT_PASSWORD, IDC_EDIT_HOST,  IDC_EDIT_PORT,  IDC_BTN_CONNECT,
    IDC_BTN_CANCEL,    IDC_BTN_ADDRESS,   IDC_BTN_SEARCH, IDC_BTN_PLAYER, IDC_BTN_COPY,
};

const std::array<LoginEditPlace, 4> kLoginEditPlaces = {{
    {IDC_EDIT_USERNAME, 93, 100, 180, 28},
    {IDC_EDIT_PASSWORD, 93, 136, 180, 28},
    {IDC_EDIT_HOST, 93, 172, 180, 28},
    {IDC_EDIT_PORT, 93, 208, 100, 28},
}};

std::vector<VersionGlyph> VersionGlyphs(std::string_view version) {
    std::vector<VersionGlyph> glyphs;
    for (std::size_t i = 0; i < version.size() && i < kMaxVersionGlyphs; ++i) {
        const char c = version[i];
        glyphs.push_back({QRect(kVersionX + kGlyphWidth * static_cast<int>(i), kVersionY,
                                kGlyphWidth, kGlyphHeight),
                          c >= '0' && c <= '9' ? c - '0' : -1});
    }
    return glyphs;
}

std::optional<std::filesystem::path> NewestRecordFile(const std::filesystem::path& folder) {
    std::optional<std::filesystem::path> newest;
    std::filesystem::file_time_type newestTime;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error) || !IsRecordFile(it->path())) {
            continue;
        }
        const auto time = it->last_write_time(error);
        if (error) {
            error.clear();
            continue;
        }
        if (!newest || time > newestTime ||
            (time == newestTime && it->path().filename() > newest->filename())) {
            newest = it->path();
            newestTime = time;
        }
    }
    return newest;
}

LoginDialog::LoginDialog(QWidget* parent, LoginDialogHooks hooks)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_hooks(std::move(hooks)) {
    m_strBitRate = kBitRatePreset;
    setAttribute(Qt::WA_OpaquePaintEvent);
}

LoginDialog::~LoginDialog() {
    m_threads.Stop();
}

int LoginDialog::DoModal() {
    OnInitDialog();
    return exec();
}

void LoginDialog::OnInitDialog() {
    if (m_bInitialised) {
        return;
    }
    m_bInitialised = true;
    move(0, 0);
    ui::SetRoundedWindowShape(*this, kLoginWidth, kLoginHeight, kCornerEllipse);

    // A missing picture is only left out; the window still gets every control.
    for (const FramePiece& piece : kFramePieces) {
        m_framePieces.push_back(ui::LoadSkinImage(piece.file));
    }
    m_hRunning = ui::LoadSkinImage(kRunningFile);
    for (std::size_t i = 0; i < m_hDigits.size(); ++i) {
        m_hDigits[i] = ui::LoadSkinImage(kDigitFiles[i]);
    }
    setToolTip("LOGIN");
    CreateControls();
    Button(IDC_BTN_UPGRADE)->hide();
    UpdateData(false);
    // Typing starts in the first field still to fill: the user name, or the password for a user
    // the settings remember.
    FirstEmptyField()->setFocus();
}

void LoginDialog::CreateControls() {
    const auto addButton = [this](const LoginRect& rect, int controlId) {
        auto* button = new ui::CVtxButton(this);
        button->Create(rect.ToQRect(), this, controlId);
        button->setToolTip(QString::fromStdString(ui::LoadString(controlId)));
        m_buttons.push_back(button);
        return button;
    };
    for (const LoginCommandButton& row : kLoginCommandButtons) {
        addButton(row.rect, row.controlId)
            ->LoadButtonBitmap(row.normal, row.hover, row.pressed, ui::kVtxPushHover);
    }
    for (const LoginLabelButton& row : kLoginLabelButtons) {
        ui::CVtxButton* label = addButton(row.rect, row.controlId);
        label->LoadButtonBitmap(row.bitmap, ui::kVtxSingle);
        // A field's picture names the field; it is no stop on the way through the window.
        label->setFocusPolicy(Qt::NoFocus);
    }
    struct Handler {
        int controlId;
        void (LoginDialog::*handler)();
    };
    constexpr Handler kHandlers[] = {
        {IDC_BTN_ADDRESS, &LoginDialog::OnAddressBookButton},
        {IDC_BTN_SEARCH, &LoginDialog::OnSearchButton},
        {IDC_BTN_PLAYER, &LoginDialog::OnPlayerButton},
        {IDC_BTN_COPY, &LoginDialog::OnCopyProgramButton},
        {IDC_BTN_CONNECT, &LoginDialog::OnConnectButton},
        {IDC_BTN_CANCEL, &LoginDialog::OnCancelButton},
        {IDC_BTN_UPGRADE, &LoginDialog::OnUpgradeFirmwareButton},
    };
    for (const Handler& h : kHandlers) {
        connect(Button(h.controlId), &QAbstractButton::clicked, this,
                [this, handler = h.handler] { (this->*handler)(); });
    }

    for (const LoginEditPlace& place : kLoginEditPlaces) {
        auto* edit = new QLineEdit(this);
        edit->setGeometry(place.x, place.y + geometry().top(), place.width, place.height);
        m_edits.emplace_back(place.controlId, edit);
    }
    Edit(IDC_EDIT_PASSWORD)->setEchoMode(QLineEdit::Password);
    // The bit rate is kept for the session but not offered to the user.
    auto* bitRate = new QLineEdit(this);
    bitRate->hide();
    m_edits.emplace_back(IDC_EDIT_BITRATE, bitRate);
    m_bitRateLabel = new QLabel("BitRate:", this);
    m_bitRateLabel->hide();

    // Enter in any field connects.
    ui::SetFieldEnterAction(*this, [this] { ui::PostMessage(Handle(), ui::WM_LOGINENTER, 0, 0); });

    // Tab goes through the fields top down, then to Connect and Cancel, then round the icons.
    QWidget* previous = nullptr;
    for (int controlId : kLoginTabOrder) {
        QWidget* next = Edit(controlId) ? static_cast<QWidget*>(Edit(controlId))
                                        : static_cast<QWidget*>(Button(controlId));
        if (previous) {
            setTabOrder(previous, next);
        }
        previous = next;
    }
}

QLineEdit* LoginDialog::FirstEmptyField() const {
    for (const LoginEditPlace& place : kLoginEditPlaces) {
        QLineEdit* edit = Edit(place.controlId);
        if (edit->text().isEmpty()) {
            return edit;
        }
    }
    return Edit(IDC_EDIT_USERNAME);
}

QLineEdit* LoginDialog::Edit(int controlId) const {
    for (const auto& [id, edit] : m_edits) {
        if (id == controlId) {
            return edit;
        }
    }
    return nullptr;
}

ui::CVtxButton* LoginDialog::Button(int controlId) const {
    for (ui::CVtxButton* button : m_buttons) {
        if (button->GetDlgCtrlID() == controlId) {
            return button;
        }
    }
    return nullptr;
}

void LoginDialog::UpdateData(bool pull) {
    struct Binding {
        int controlId;
        std::string LoginDialog::*text;
    };
    constexpr Binding kBindings[] = {
        {IDC_EDIT_HOST, &LoginDialog::m_strHost},
        {IDC_EDIT_USERNAME, &LoginDialog::m_strUserName},
        {IDC_EDIT_PASSWORD, &LoginDialog::m_strPassword},
        {IDC_EDIT_PORT, &LoginDialog::m_strPort},
        {IDC_EDIT_BITRATE, &LoginDialog::m_strBitRate},
    };
    for (const Binding& b : kBindings) {
        QLineEdit* edit = Edit(b.controlId);
        if (!edit) {
            continue;
        }
        if (pull) {
            this->*b.text = edit->text().toStdString();
        } else {
            edit->setText(QString::fromStdString(this->*b.text));
        }
    }
}

QRect LoginDialog::ErrorTextRect() {
    return QRect(kStripOrigin, QSize(kErrorTextWidth, kErrorLineHeight));
}

QFont LoginDialog::ErrorFont() const {
    // Two lines, the failure and its cause, fit between the strip's top and the Connect button.
    QFont font = this->font();
    font.setPixelSize(kErrorFontPixels);
    return font;
}

QRect LoginDialog::AnimationRect() const {
    const int step = m_hRunning.width() / 2;
    return QRect(kStripOrigin, QSize(kAnimationFrames * step, m_hRunning.height()));
}

void LoginDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (std::size_t i = 0; i < m_framePieces.size(); ++i) {
        if (!m_framePieces[i].isNull()) {
            painter.drawImage(kFramePieces[i].rect.ToQRect(), m_framePieces[i]);
        }
    }
    for (const VersionGlyph& glyph : VersionGlyphs(g_lpApp->m_strAppVersion)) {
        const QImage& image = m_hDigits[glyph.digit < 0 ? kPointGlyph : glyph.digit];
        if (!image.isNull()) {
            painter.drawImage(glyph.rect, image);
        }
    }
    if (m_bAnimationRunning && !m_hRunning.isNull()) {
        const QRect strip = AnimationRect();
        painter.setPen(kStripColour);
        painter.setBrush(kStripColour);
        painter.drawRect(strip.adjusted(0, 0, -1, -1));
        painter.drawImage(kStripOrigin + QPoint(m_bFrame * (m_hRunning.width() / 2), 0),
                          m_hRunning);
    }
    if (m_bError) {
        painter.setPen(kErrorColour);
        painter.setFont(ErrorFont());
        painter.drawText(ErrorTextRect(), Qt::AlignLeft | Qt::AlignTop,
                         QString::fromStdString(m_strError));
        if (!m_strErrorCause.empty()) {
            painter.drawText(ErrorTextRect().translated(0, kErrorLineHeight),
                             Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(m_strErrorCause));
        }
    }
}

void LoginDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QWindow* window = windowHandle();
        if (!window || !window->startSystemMove()) {
            m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        }
    }
    QDialog::mousePressEvent(event);
}

void LoginDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *m_dragOffset);
    }
    QDialog::mouseMoveEvent(event);
}

void LoginDialog::mouseReleaseEvent(QMouseEvent* event) {
    m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}

void LoginDialog::reject() {
    done(kResultCancel);
}

bool LoginDialog::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    static constexpr ui::MessageMapEntry<LoginDialog> kMessageMap[] = {
        {ui::WM_LOGINRESULT, &LoginDialog::OnLoginResult},
        {ui::WM_LOGINANIMATE, &LoginDialog::OnLoginAnimate},
        {ui::WM_LOGINENTER, &LoginDialog::OnLoginEnter},
        {ui::WM_LOGINSUCCESS, &LoginDialog::OnLoginSuccess},
    };
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

void LoginDialog::OnLoginResult(ui::WPARAM wParam, ui::LPARAM lParam) {
    if (!IsCurrentAttempt(lParam)) {
        return;
    }
    m_bAnimationRunning = false;
    if (const std::string text = LoginFailureText(LoginFailureOf(wParam)); !text.empty()) {
        m_strError = text;
        m_strErrorCause = LoginCauseText(LoginCauseOf(wParam));
        m_bError = true;
    }
    update();
}

void LoginDialog::OnLoginAnimate(ui::WPARAM, ui::LPARAM lParam) {
    // Ticks of an attempt that failed or was replaced no longer move the strip.
    if (!IsCurrentAttempt(lParam) || m_bError) {
        return;
    }
    m_bAnimationRunning = true;
    m_bFrame = static_cast<std::uint8_t>((m_bFrame + 1) % kAnimationFrames);
    update(AnimationRect());
}

void LoginDialog::OnLoginEnter(ui::WPARAM, ui::LPARAM) {
    OnConnectButton();
}

void LoginDialog::OnLoginSuccess(ui::WPARAM, ui::LPARAM lParam) {
    if (IsCurrentAttempt(lParam)) {
        done(kResultOk);
    }
}

void LoginDialog::OnConnectButton() {
    UpdateData(true);
    if (!LoginTextsSendable(m_strUserName, m_strPassword)) {
        return;
    }
    m_bError = false;
    m_bAnimationRunning = false;
    m_bFrame = 0;
    ++m_dwAttempt;
    if (m_threads.Start(Handle(), Texts(), m_dwAttempt)) {
        update();
    }
}

void LoginDialog::OnAddressBookButton() {
    if (!m_hooks.addressBook) {
        return;
    }
    if (const auto entry = m_hooks.addressBook()) {
        m_strHost = entry->host;
        m_strUserName = entry->user;
        m_strPort = std::to_string(entry->port);
        UpdateData(false);
        TypePasswordNext();
    }
}

void LoginDialog::OnSearchButton() {
    if (!m_hooks.search) {
        return;
    }
    const auto choice = m_hooks.search(this);
    if (choice) {
        ApplySearchChoice(*choice);
        m_strPort = std::to_string(choice->port);
        m_strHost = choice->server;
    }
    UpdateData(false);
    if (choice) {
        TypePasswordNext();
    }
}

void LoginDialog::TypePasswordNext() {
    // The password is what a device taken from elsewhere still needs, and the focus would
    // otherwise stay on the icon that opened the other window, where Enter opens it again.
    Edit(IDC_EDIT_PASSWORD)->setFocus(Qt::OtherFocusReason);
}

void LoginDialog::OnPlayerButton() {
    const ::CSettingINI& settings = g_lpApp->CSettingINI;
    const std::filesystem::path program =
        std::filesystem::path(settings.m_strProgramPath) / kPlayerProgram;
    std::vector<std::string> arguments;
    if (const std::string records = settings.m_strRecordPath; !records.empty()) {
        if (const auto newest = NewestRecordFile(records)) {
            arguments.push_back(newest->string());
        }
    }
    if (!platform::StartProcess(program, arguments)) {
        ui::ShowMessage(ui::texts::kStartPlayerProgramFailed);
    }
}

void LoginDialog::OnCopyProgramButton() {
    if (!m_hooks.getPath) {
        return;
    }
    // The folder browser starts at the root of the file system, where a system drive would be.
    const auto target = m_hooks.getPath(this, "/");
    if (!target) {
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directory(std::filesystem::path(*target) / "BMP", ignored);
    if (m_hooks.copyProgram) {
        m_hooks.copyProgram(this, g_lpApp->CSettingINI.m_strProgramPath, *target);
    }
}

void LoginDialog::OnUpgradeFirmwareButton() {
    UpdateData(true);
    if (!LoginTextsSendable(m_strUserName, m_strPassword)) {
        return;
    }
    CConnectProgressDlg connecting(this, Texts());
    connecting.m_strText = "Connect " + m_strHost;
    if (connecting.DoModal() != CConnectProgressDlg::kResultOk) {
        return;
    }
    if (g_lpApp->m_wUserLevel != kSupervisorLevel) {
        ui::ShowMessage(std::string("User level too low"));
        return;
    }
    if (m_hooks.upgradeFirmware) {
        m_hooks.upgradeFirmware();
    }
}

void LoginDialog::OnCancelButton() {
    done(kResultCancel);
}
