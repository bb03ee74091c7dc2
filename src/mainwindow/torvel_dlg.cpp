#include "mainwindow/torvel_dlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <span>
#include <sstream>
#include <string>

#include "kernel/kernel_object.h"
#include "ui/queued_call.h"
#include "ui/string_table.h"
#include "video/live_pipeline.h"
#include "widgets/field_enter.h"

namespace {

constexpr int kPanelOpenId = 8192;
constexpr int kPanelCloseId = 8193;
constexpr int kPowerId = 8311;
constexpr int kTurboKey = 59;
// A command that answers within this time shows no waiting text.
constexpr int kWaitNoticeMs = 500;
// Long enough to read a file name in the status line.
constexpr int kNoticeMs = 4000;
constexpr int kPtzKey = 60;
constexpr int kRetrKey = 61;

// Layout prefixes of the image names, by layout mode 0 to 5.
constexpr const char* kModePrefix[kLayoutModeCount] = {"N_VGA",  "N_QVGA", "P_VGA",
                                                       "P_QVGA", "N_QVGA", "P_QVGA"};

// The keys that show turbo faces while turbo is on, and the stem of their turbo images.
struct TurboKey {
    int key;
    const char* stem;  // after the layout prefix for the direction keys; whole for the others
    bool direction;
};
constexpr TurboKey kTurboKeys[] = {
    {54, "LEFT", true},
    {55, "UP", true},
    {57, "DOWN", true},
    {58, "RIGHT", true},
    {30, "2Col_zoom_turbo_in", false},
    {31, "2Col_zoom_turbo_out", false},
    {32, "2Col_focus_turbo_in", false},
    {33, "2Col_focus_turbo_out", false},
};

// Word `n` (0 or 1) of a string whose words are separated by white space; two-state buttons
// keep their two texts that way.
QString StringWord(std::uint32_t id, int n) {
    std::istringstream words(ui::LoadString(id));
    std::string word;
    for (int i = 0; i <= n; ++i) {
        if (!(words >> word)) {
            return {};
        }
    }
    return QString::fromStdString(word.substr(0, 79));
}

// The idle text of a string that keeps its two state texts separated by "$" (or the whole text).
QString IdleText(std::uint32_t id) {
    const std::string text = ui::LoadString(id);
    return QString::fromStdString(text.substr(0, text.find('$')));
}

QString Tip(std::uint32_t id) {
    return QString::fromStdString(ui::LoadString(id));
}

QRect ToQRect(const SkinRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

std::string Bmp(const std::string& stem) {
    return "BMP\\" + stem + ".bmp";
}

bool IsTwoStateKind(std::uint16_t kind) {
    const std::uint16_t low = kind & 0xFF;
    return low == ui::kVtxListByClick || low == ui::kVtxListByProgram;
}

bool IsThreeImageKind(std::uint16_t kind) {
    return (kind & 0xFF) == kKeyThreeImage;
}

// The rectangle of a layout row held as left, top, right, bottom from word `first`.
QRect LayoutRect(const LayoutRow& L, int first) {
    return QRect(L[first], L[first + 1], L[first + 2] - L[first], L[first + 3] - L[first + 1]);
}

QRegion RoundedRegion(int width, int height, int corner) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), corner / 2.0, corner / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace

CTorvelDlg::CTorvelDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_services(std::move(services)),
      m_runner([this](std::function<void()> call) { ui::PostCall(this, std::move(call)); }) {
    g_lpApp->m_wLayoutMode = 0;
    m_waitNotice.setSingleShot(true);
    m_waitNotice.setInterval(kWaitNoticeMs);
    connect(&m_waitNotice, &QTimer::timeout, this, &CTorvelDlg::ShowWaitNotice);
    m_notice.setSingleShot(true);
    m_notice.setInterval(kNoticeMs);
    connect(&m_notice, &QTimer::timeout, this, &CTorvelDlg::EndNotice);
    m_noFrameTimer.setInterval(kNoFrameCheckMs);
    connect(&m_noFrameTimer, &QTimer::timeout, this, &CTorvelDlg::CheckForFrames);
    m_noFrameTimer.start();
    // Enter never presses a button that has no focus.
    ui::SetFieldEnterAction(*this);
    // Every button is a hidden child from the start, so that a layout call that comes before
    // the buttons are created can never show one as a window of its own.
    for (ui::CVtxButton* button : AllButtons()) {
        button->setParent(&m_fit.Page());
        button->hide();
        button->SetImageCache(&m_skinImages);
    }
    m_wndVideo.setParent(&m_fit.Page());
    m_wndVideo.setAutoFillBackground(true);
    QPalette black = m_wndVideo.palette();
    black.setColor(QPalette::Window, Qt::black);
    m_wndVideo.setPalette(black);
}

const DeviceTypeSkin& CTorvelDlg::CurrentSkin() const {
    const std::size_t type = g_lpApp->m_DeviceList.GetCurrentType();
    return DeviceTypeSkinTable()[type < kDeviceTypeCount ? type : 0];
}

const UserClassButtons& CTorvelDlg::CurrentUserClass() const {
    return UserClassButtonTable[std::min<int>(g_lpApp->m_bUserClass, kUserClassCount - 1)];
}

const LayoutRow& CTorvelDlg::CurrentLayout() const {
    return LayoutRectTable[std::min<int>(g_lpApp->m_wLayoutMode, kLayoutModeCount - 1)];
}

bool CTorvelDlg::OnGuiThread() const {
    return QThread::currentThread() == thread();
}

std::vector<ui::CVtxButton*> CTorvelDlg::AllButtons() {
    std::vector<ui::CVtxButton*> all;
    for (std::span<ui::CVtxButton> group :
         {std::span<ui::CVtxButton>(m_btnTitle), std::span<ui::CVtxButton>(m_btnChannel),
          std::span<ui::CVtxButton>(m_btnKey), std::span<ui::CVtxButton>(m_btnCommand)}) {
        for (ui::CVtxButton& button : group) {
            all.push_back(&button);
        }
    }
    all.insert(all.end(), {&m_btnPanelUp, &m_btnPanelDown, &m_btnPower});
    return all;
}

ui::CVtxButton* CTorvelDlg::GetDlgItem(int controlId) {
    for (ui::CVtxButton* button : AllButtons()) {
        if (button->GetDlgCtrlID() == controlId) {
            return button;
        }
    }
    return nullptr;
}

const QImage& CTorvelDlg::Background(int mode, bool panelOpen) const {
    return panelOpen ? m_hBackgroundEx[mode] : m_hBackground[mode];
}

// ---------------------------------------------------------------------------------------------
// Start-up of the skin

void CTorvelDlg::ShapeForVideoMode() {
    KernelObject& app = *g_lpApp;
    const std::uint32_t resolution = app.CSettingINI.m_nResolution;
    int mode = app.m_wLayoutMode;
    if (app.m_bVideoMode == 0) {
        mode = resolution == 2 ? 4 : resolution == 1 ? 1 : 0;
    } else if (app.m_bVideoMode == 1) {
        mode = resolution == 2 ? 5 : resolution == 1 ? 3 : 2;
    }
    app.m_bPictureSizeCode = static_cast<std::uint8_t>(mode);
    app.m_bPictureSizeCode2 = static_cast<std::uint8_t>(mode);
    app.m_wLayoutMode = static_cast<std::uint16_t>(LayoutGroup(mode));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_rcScreen = screen->availableGeometry();
    }
    ShapeWindow(layout_word::kClosed, 20);
    LoadBackgroundBitmaps();
}

void CTorvelDlg::CreateSkinControls() {
    KernelObject& app = *g_lpApp;
    const std::uint32_t resolution = app.CSettingINI.m_nResolution;
    ShapeForVideoMode();
    CreateButtons();
    LoadControlBitmaps(app.m_wLayoutMode, true);
    m_btnPower.hide();

    const int selected = app.CSettingINI.m_bSelectedChannel;
    for (int i = 0; i < kChannelStripCount; ++i) {
        m_btnChannel[i].SetImageIndex(i == selected ? 0 : 1);
        if (i != selected && i < 17) {
            m_btnChannel[i].setEnabled(false);
        }
    }

    const bool keysInClosedWindow = CurrentSkin().trailer.flags & kTypeKeysInClosedWindow;
    m_btnPanelDown.setVisible(keysInClosedWindow);
    m_btnPanelUp.setVisible(!keysInClosedWindow);

    const UserClassButtons& userClass = CurrentUserClass();
    for (int i = 0; i < userClass.count; ++i) {
        ui::CVtxButton* button = GetDlgItem(userClass.ids[i]);
        const bool allowed = userClass.allowed[i] == 1;
        button->setEnabled(allowed);
        if (!allowed && (userClass.ids[i] == kPanelOpenId || userClass.ids[i] == kPanelCloseId)) {
            button->hide();
        }
    }

    m_bControlsCreated = true;
    OnResolutionChanged(resolution);
    ApplyLayoutMode();
    RelayoutControls();
    m_btnCommand[1].SetImageIndex(static_cast<int>(resolution));
    m_btnCommand[2].SetImageIndex(static_cast<int>(app.CSettingINI.m_nQuality));
}

void CTorvelDlg::CreateTitleButtons() {
    const LayoutRow& L = CurrentLayout();
    for (int i = 0; i < static_cast<int>(m_btnTitle.size()); ++i) {
        const int id = 8200 + i;
        m_btnTitle[i].Create(QRect(L[32] + (L[34] + L[36]) * i, L[33], L[34], L[35]), &m_fit.Page(),
                             id);
        m_btnTitle[i].setToolTip(Tip(id));
    }
}

void CTorvelDlg::CreateButtons() {
    const int mode = g_lpApp->m_wLayoutMode;
    const LayoutRow& L = CurrentLayout();
    const auto create = [this](ui::CVtxButton& button, int id, const QRect& rect,
                               const QString& tip) {
        button.Create(rect, &m_fit.Page(), id);
        button.setToolTip(tip);
    };

    CreateTitleButtons();
    for (const ChannelStripRow& row : ChannelStripTable()) {
        QRect r = ToQRect(row.rect[LayoutGroup(mode)]);
        if (row.index == 0) {
            r.adjust(-5, 0, 5, 0);
        }
        create(m_btnChannel[row.index], row.controlId, r, Tip(row.tipId));
        m_btnChannel[row.index].hide();
    }
    for (const SkinKeyRecord& key : CurrentSkin().keys) {
        QString tip;
        if (key.flags & key_flag::kTipFirstWord) {
            tip = StringWord(key.controlId, 0);
        } else if (key.flags & key_flag::kTipSecondWord) {
            tip = StringWord(key.controlId, 1);
        } else {
            // A two-state text separated by "$" starts with its idle text.
            tip = IdleText(key.tipId);
        }
        create(m_btnKey[key.keyIndex], key.controlId, ToQRect(key.rect[LayoutGroup(mode)]), tip);
        m_btnKey[key.keyIndex].hide();
    }
    create(m_btnPower, kPowerId, QRect(L[22] - L[20], L[23], L[20], L[21]), Tip(kPowerId));
    for (const CommandButtonRow& row : CommandButtonTable()) {
        const QString tip = row.index == 4 ? StringWord(1005, 0) : Tip(row.tipId);
        create(m_btnCommand[row.index], row.controlId, ToQRect(row.rect[LayoutGroup(mode)]), tip);
    }
    create(m_btnPanelUp, kPanelOpenId, QRect(L[24], L[25], L[26], L[27]), QString());
    create(m_btnPanelDown, kPanelCloseId, QRect(L[28], L[29], L[30], L[31]), QString());
}

// ---------------------------------------------------------------------------------------------
// Images

bool CTorvelDlg::LoadBackgroundBitmaps() {
    struct Row {
        int mode;
        const char* background;
        const char* extended;
        const char* status;
    };
    constexpr Row kRows[] = {
        {4, "BMP\\N_QVGA_BG.bmp", "BMP\\N_QVGA_BG_EX.bmp", "BMP\\StatusBar.bmp"},
        {1, "BMP\\N_QVGA_BG.bmp", "BMP\\N_QVGA_BG_EX.bmp", "BMP\\StatusBar.bmp"},
        {0, "BMP\\N_VGA_BG.bmp", "BMP\\N_VGA_BG_EX.bmp", "BMP\\VGA_Status_Bar.bmp"},
        {5, "BMP\\P_QVGA_BG.bmp", "BMP\\P_QVGA_BG_EX.bmp", "BMP\\StatusBar.bmp"},
        {3, "BMP\\P_QVGA_BG.bmp", "BMP\\P_QVGA_BG_EX.bmp", "BMP\\StatusBar.bmp"},
        {2, "BMP\\P_VGA_BG.bmp", "BMP\\P_VGA_BG_EX.bmp", "BMP\\VGA_Status_Bar.bmp"},
    };
    std::vector<std::pair<QImage*, const char*>> loads;
    for (const Row& row : kRows) {
        loads.push_back({&m_hBackground[row.mode], row.background});
        loads.push_back({&m_hBackgroundEx[row.mode], row.extended});
        loads.push_back({&m_hStatusBar[row.mode], row.status});
    }
    loads.push_back({&m_hOnlineUserIcon, "BMP\\Online_User_ICON.bmp"});
    loads.push_back({&m_hAlarmIcon, "BMP\\alarm.bmp"});
    for (const auto& [target, file] : loads) {
        *target = m_skinImages.Load(file);
        if (target->isNull()) {
            return false;
        }
    }
    return true;
}

void CTorvelDlg::LoadPanelButtons(int mode) {
    const std::string prefix = kModePrefix[mode];
    const std::string up = Bmp(prefix + "_PANELUP");
    const std::string down = Bmp(prefix + "_PANELDOWN");
    m_btnPanelUp.LoadButtonBitmap(up, Bmp(prefix + "_PANELUP_OVER"), up, ui::kVtxHover);
    m_btnPanelDown.LoadButtonBitmap(down, Bmp(prefix + "_PANELDOWN_OVER"), down, ui::kVtxHover);
}

void CTorvelDlg::LoadTitleBitmaps() {
    for (int i = 0; i < static_cast<int>(m_btnTitle.size()); ++i) {
        static constexpr const char* kStems[] = {"Hide", "Fullscreen", "Close"};
        const std::string stem = std::string("Title_Bar_") + kStems[i];
        m_btnTitle[i].LoadButtonBitmap(Bmp(stem), Bmp(stem + "_a"), Bmp(stem), ui::kVtxHover);
    }
}

bool CTorvelDlg::LoadControlBitmaps(std::uint16_t mode, bool loadAll) {
    const int safeMode = mode < kLayoutModeCount ? mode : 0;
    if (loadAll) {
        LoadTitleBitmaps();
        for (const ChannelStripRow& row : ChannelStripTable()) {
            ui::CVtxButton& button = m_btnChannel[row.index];
            if (row.index <= 16) {
                button.LoadButtonBitmap(2, row.bitmap.data(), ui::kVtxListByProgram);
            } else {
                button.LoadButtonBitmap(row.bitmap[0], row.bitmap[1], row.bitmap[2],
                                        ui::kVtxPushHover);
            }
        }
        const bool resolutionCopy = g_lpApp->m_bResolutionCopy != 0;
        for (const SkinKeyRecord& key : CurrentSkin().keys) {
            ui::CVtxButton& button = m_btnKey[key.keyIndex];
            if (IsTwoStateKind(key.kind)) {
                button.LoadButtonBitmap(2, key.bitmap.data(), key.kind);
            } else if (IsThreeImageKind(key.kind)) {
                const int first = resolutionCopy ? 3 : 0;
                button.LoadButtonBitmap(key.bitmap[first], key.bitmap[first + 1],
                                        key.bitmap[first + 1], kKeyThreeImage);
            }
        }
        const UserClassButtons& userClass = CurrentUserClass();
        if (userClass.allowed[8] == 1) {
            m_btnPower.LoadButtonBitmap("BMP\\power.bmp", "BMP\\power_over.bmp",
                                        "BMP\\power_down.bmp", ui::kVtxPushHover);
        }
        for (const CommandButtonRow& row : CommandButtonTable()) {
            const auto& list = userClass.allowed[row.index] == 1 ? row.images : row.disabledImages;
            const auto count =
                std::find(list.begin(), list.end(), std::string_view()) - list.begin();
            ui::CVtxButton& button = m_btnCommand[row.index];
            if (row.style == ui::kVtxHover || row.style == ui::kVtxPushHover) {
                button.LoadButtonBitmap(list[0], list[1], list[2], row.style);
            } else {
                button.LoadButtonBitmap(static_cast<std::uint16_t>((count + 1) / 2), list.data(),
                                        row.style);
            }
        }
        LoadPanelButtons(safeMode);
    }
    static constexpr int kSetterGroup[kLayoutModeCount] = {0, 1, 2, 3, 1, 3};
    SetKeyBitmaps(kSetterGroup[safeMode]);
    return true;
}

bool CTorvelDlg::SetKeyBitmaps(int group) {
    const bool turbo = g_lpApp->m_fTurbo != 0;
    for (const SkinKeyRecord& key : CurrentSkin().keys) {
        ui::CVtxButton& button = m_btnKey[key.keyIndex];
        const auto turboKey =
            std::find_if(std::begin(kTurboKeys), std::end(kTurboKeys),
                         [&](const TurboKey& t) { return t.key == key.keyIndex; });
        if (turbo && turboKey != std::end(kTurboKeys)) {
            if (turboKey->direction) {
                const std::string stem =
                    std::string(kModePrefix[group]) + "_" + turboKey->stem + "_TURBO";
                button.LoadButtonBitmap(Bmp(stem), Bmp(stem + "_OVER"), Bmp(stem), kKeyThreeImage);
            } else {
                const std::string stem = turboKey->stem;
                button.LoadButtonBitmap(Bmp(stem), Bmp(stem + "_a"), Bmp(stem + "_a"),
                                        kKeyThreeImage);
            }
            continue;
        }
        if (turboKey != std::end(kTurboKeys) && !turboKey->direction &&
            !(key.flags & key_flag::kFollowsMode)) {
            // Back from turbo: the zoom and focus keys take their plain faces again.
            button.LoadButtonBitmap(key.bitmap[0], key.bitmap[1], key.bitmap[1], kKeyThreeImage);
            continue;
        }
        if (!(key.flags & key_flag::kFollowsMode)) {
            continue;
        }
        if (IsThreeImageKind(key.kind)) {
            const auto& b = key.bitmap;
            if (key.flags & key_flag::kThirdImage) {
                button.LoadButtonBitmap(b[3 * group + 2], b[3 * group + 2], b[3 * group + 2],
                                        kKeyThreeImage);
            } else {
                button.LoadButtonBitmap(b[3 * group], b[3 * group + 1], b[3 * group + 1],
                                        kKeyThreeImage);
            }
        } else if (IsTwoStateKind(key.kind)) {
            button.LoadButtonBitmap(2, key.bitmap.data() + (group < 2 ? 0 : 6), key.kind);
        }
    }
    LoadPanelButtons(group);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Layout

bool CTorvelDlg::SwitchTo(int group) {
    if (!OnGuiThread()) {
        // Widgets belong to the window's thread; the stream only asks for the switch.
        ui::PostCall(this, [this, group] { SwitchTo(group); });
        return true;
    }
    {
        std::lock_guard lock(m_csLayout);
        SetKeyBitmaps(group);
    }
    return RelayoutControls();
}

bool CTorvelDlg::SwitchToNtscVga() {
    return SwitchTo(0);
}
bool CTorvelDlg::SwitchToNtscQvga() {
    return SwitchTo(1);
}
bool CTorvelDlg::SwitchToPalVga() {
    return SwitchTo(2);
}
bool CTorvelDlg::SwitchToPalQvga() {
    return SwitchTo(3);
}

bool CTorvelDlg::OnResolutionChanged(std::uint32_t) {
    return true;
}

void CTorvelDlg::ShapeWindow(int first, int corner) {
    const LayoutRow& L = CurrentLayout();
    const int width = L[first + 2] - L[first];
    const int height = L[first + 3] - L[first + 1];
    m_fit.SetSize(QSize(width, height));
    // The corners of what the screen shows of the window.
    setMask(RoundedRegion(this->width(), this->height(), corner));
}

void CTorvelDlg::CenterOnScreen() {
    move((m_rcScreen.width() - width()) >> 1, (m_rcScreen.height() - height()) >> 1);
    raise();
}

void CTorvelDlg::HideKeyButtons() {
    for (ui::CVtxButton& key : m_btnKey) {
        key.hide();
    }
}

void CTorvelDlg::PlaceKeyButtons(KeyRule rule) {
    const int group = LayoutGroup(g_lpApp->m_wLayoutMode);
    const int rank = CurrentUserClass().rank;
    const bool level30 = g_lpApp->m_wUserLevel == 30;
    for (const SkinKeyRecord& key : CurrentSkin().keys) {
        ui::CVtxButton& button = m_btnKey[key.keyIndex];
        if (!(key.flags & key_flag::kOnPanel)) {
            button.hide();
            continue;
        }
        button.setGeometry(ToQRect(key.rect[group]));
        bool shown = true;
        if (key.flags & key_flag::kLevel30Only) {
            shown = rule == KeyRule::Panel ? level30 : rank >= 60;
        } else if (key.flags & key_flag::kRank30) {
            shown = rank >= (rule == KeyRule::Panel ? 30 : 40);
        }
        button.setVisible(shown);
        button.setEnabled(key.flags & key_flag::kEnabled);
    }
}

bool CTorvelDlg::RelayoutControls() {
    const LayoutRow& L = CurrentLayout();
    const int group = LayoutGroup(g_lpApp->m_wLayoutMode);
    for (int i = 0; i < static_cast<int>(m_btnTitle.size()); ++i) {
        m_btnTitle[i].setGeometry(L[32] + (L[34] + L[36]) * i, L[33], L[34], L[35]);
    }
    const SkinRect& first = CommandButtonTable()[0].rect[group];
    for (int i = 0; i < kCommandButtonCount; ++i) {
        m_btnCommand[i].setGeometry(first.left + i * first.Width(), first.top, first.Width(),
                                    first.Height());
    }
    m_btnPower.setGeometry(L[22] - L[20], L[23], L[20], L[21]);
    m_btnPanelUp.setGeometry(L[24], L[25], L[26], L[27]);
    m_btnPanelDown.setGeometry(L[28], L[29], L[30], L[31]);
    m_wndVideo.setGeometry(LayoutRect(L, layout_word::kVideo));

    if (!m_bPanelExpanded) {
        ShapeWindow(layout_word::kClosed, 15);
        HideKeyButtons();
    } else {
        ShapeWindow(layout_word::kOpen, 15);
        PlaceKeyButtons(KeyRule::Panel);
    }
    m_fit.Page().update();
    return true;
}

int CTorvelDlg::ApplyLayoutMode() {
    if (!OnGuiThread()) {
        ui::PostCall(this, [this] { ApplyLayoutMode(); });
        return 1;
    }
    KernelObject& app = *g_lpApp;
    const std::uint32_t resolution = app.CSettingINI.m_nResolution;
    if (app.m_bVideoMode <= 1) {
        const int large = app.m_bVideoMode == 0 ? 0 : 2;
        app.m_wLayoutMode = static_cast<std::uint16_t>(resolution == 0 ? large : large + 1);
        if (resolution <= 2) {
            SetKeyBitmaps(app.m_wLayoutMode);
        }
    }

    const DeviceTypeSkin& skin = CurrentSkin();
    if (m_bControlsCreated) {
        for (const SkinKeyRecord& key : skin.keys) {
            // The R.E.T.R. key keeps the tip its state gave it.
            if (key.keyIndex != kRetrKey) {
                m_btnKey[key.keyIndex].setToolTip(Tip(key.tipId));
            }
        }
        m_btnKey[kPtzKey].setToolTip(
            StringWord(8312, g_lpApp->m_DeviceList.IsCurrentMaster() ? 1 : 0));
        m_btnKey[kTurboKey].setToolTip(StringWord(8310, app.m_fTurbo != 0 ? 0 : 1));
    }

    const UserClassButtons& userClass = CurrentUserClass();
    const auto allowed = [&userClass](int id) {
        const auto it = std::find(userClass.ids.begin(), userClass.ids.end(), id);
        return it != userClass.ids.end() && userClass.allowed[it - userClass.ids.begin()] == 1;
    };
    const bool keysInClosedWindow = skin.trailer.flags & kTypeKeysInClosedWindow;
    if (!keysInClosedWindow && !m_bPanelExpanded) {
        HideKeyButtons();
        m_btnPanelUp.setVisible(allowed(kPanelOpenId));
        m_btnPanelDown.hide();
    } else if (!keysInClosedWindow) {
        PlaceKeyButtons(KeyRule::Panel);
        m_btnPanelUp.hide();
        m_btnPanelDown.setVisible(allowed(kPanelCloseId));
    } else if (!m_bPanelExpanded) {
        PlaceKeyButtons(KeyRule::ClosedWindow);
        m_btnPanelUp.hide();
        m_btnPanelDown.setVisible(allowed(kPanelCloseId));
    } else {
        m_bPanelExpanded = false;
        ShapeWindow(layout_word::kClosed, 15);
        CenterOnScreen();
        HideKeyButtons();
        m_btnPanelDown.hide();
        m_btnPanelUp.hide();
    }

    const int type = g_lpApp->m_DeviceList.GetCurrentType();
    const bool hotPoint = type == 11 || type == 18;
    app.m_fHotPointOn = hotPoint ? 1 : 0;
    app.m_bHotPointMode = hotPoint ? 2 : 1;

    const LayoutRow& L = CurrentLayout();
    m_fit.Page().update(QRect(L[4], L[5] + L[15], L[6] - L[4], L[7] - L[5] - L[15]));
    return 1;
}

std::string CTorvelDlg::TipWord(std::uint32_t id, int n) {
    return StringWord(id, n).toStdString();
}

QRect CTorvelDlg::VideoRect() const {
    return LayoutRect(CurrentLayout(), layout_word::kVideo);
}

QRect CTorvelDlg::StatusRect() const {
    return LayoutRect(CurrentLayout(), layout_word::kStatus);
}

void CTorvelDlg::RepaintStatusLine() {
    m_fit.Page().update(StatusRect());
}

void CTorvelDlg::RestoreWindow(int first, int corner) {
    ShapeWindow(first, corner);
    CenterOnScreen();
}

void CTorvelDlg::OnCameraToolButton(int) {
    m_bPanelExpanded = !m_bPanelExpanded;
    ShapeWindow(layout_word::kOpen, 20);
    m_btnPanelDown.show();
    m_btnPanelUp.hide();
    PlaceKeyButtons(KeyRule::Panel);
    const LayoutRow& L = CurrentLayout();
    m_fit.Page().update(QRect(L[4], L[5] + L[15], L[6] - L[4], L[7] - L[5] - L[15]));
}

void CTorvelDlg::OnCameraToolButtonDown(int) {
    m_bPanelExpanded = !m_bPanelExpanded;
    ShapeWindow(layout_word::kClosed, 20);
    m_btnPanelDown.hide();
    m_btnPanelUp.show();
    HideKeyButtons();
    const LayoutRow& L = CurrentLayout();
    m_fit.Page().update(QRect(L[4], L[5] + L[15], L[6] - L[4], L[7] - L[5] - L[15]));
}

void CTorvelDlg::HideControlsForFullScreen() {
    clearMask();
    m_fit.SetSize(m_rcScreen.size());
    move(m_rcScreen.topLeft());
    raise();
    for (ui::CVtxButton& button : m_btnTitle) {
        button.hide();
    }
    for (ui::CVtxButton& button : m_btnChannel) {
        button.hide();
    }
    EnableControlGroup(1);
    m_btnPower.hide();
    m_btnPanelUp.hide();
    m_btnPanelDown.hide();
    HideKeyButtons();
    m_wndVideo.setGeometry(QRect(QPoint(0, 0), m_rcScreen.size()));
    m_wndVideo.lower();
    m_bFullScreenFirstFrame = false;
}

void CTorvelDlg::LeaveFullScreen() {
    m_bFullScreen = false;
    m_services.pipeline.Painter().SetFullScreen(false, 0, 0);
    for (ui::CVtxButton& button : m_btnTitle) {
        button.show();
    }
    EnableControlGroup(1);
    const UserClassButtons& userClass = CurrentUserClass();
    const bool keysInClosedWindow = CurrentSkin().trailer.flags & kTypeKeysInClosedWindow;
    if (!m_bPanelExpanded) {
        RestoreWindow(layout_word::kClosed, 15);
        m_btnPanelUp.setVisible(userClass.allowed[6] == 1 && !keysInClosedWindow);
        m_btnPanelDown.hide();
    } else {
        for (int i = 0; i < kCommandButtonCount; ++i) {
            m_btnCommand[i].setEnabled(userClass.allowed[i] == 1);
        }
        if (!keysInClosedWindow) {
            RestoreWindow(layout_word::kOpen, 15);
            m_btnPanelUp.hide();
            m_btnPanelDown.setVisible(userClass.allowed[7] == 1);
        } else {
            m_bPanelExpanded = false;
            RestoreWindow(layout_word::kClosed, 15);
            m_btnPanelDown.hide();
            m_btnPanelUp.hide();
        }
        if (m_bPanelExpanded) {
            PlaceKeyButtons(KeyRule::Panel);
        }
    }
    // The last frame was painted for the screen; the next one comes at the picture's size.
    m_wndVideo.SetFrame(nullptr);
    m_wndVideo.setGeometry(VideoRect());
    m_fit.Page().update();
}

QRect CTorvelDlg::OnMoving(const QRect& dragged) const {
    const LayoutRow& L = CurrentLayout();
    if (m_fit.Page().width() == L[2] - L[0]) {
        return dragged;
    }
    const int first = m_bPanelExpanded ? layout_word::kOpen : layout_word::kClosed;
    return QRect(dragged.topLeft(), QSize(L[first + 2] - L[first], L[first + 3] - L[first + 1]));
}

void CTorvelDlg::OnTurbo(int) {
    KernelObject& app = *g_lpApp;
    const bool on = SessionCommands::ToggleTurbo();
    static constexpr int kSetterGroup[kLayoutModeCount] = {0, 1, 2, 3, 1, 3};
    SetKeyBitmaps(kSetterGroup[std::min<int>(app.m_wLayoutMode, kLayoutModeCount - 1)]);
    m_btnKey[kTurboKey].SetImageIndex(on ? 1 : 0);
    m_btnKey[kTurboKey].setToolTip(StringWord(8310, on ? 0 : 1));
    const LayoutRow& L = CurrentLayout();
    m_fit.Page().update(QRect(L[4], L[5] + L[15], L[6] - L[4], L[7] - L[5] - L[15]));
}

// ---------------------------------------------------------------------------------------------
// Painting

QFont CTorvelDlg::CreateStatusFont() {
    QFont font("Arial");
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif, QFont::PreferQuality);
    return font;
}

void CTorvelDlg::PaintWindow(QPainter& painter) {
    if (m_bFullScreen) {
        painter.fillRect(m_fit.Page().rect(), Qt::black);
        return;
    }
    const int mode = std::min<int>(g_lpApp->m_wLayoutMode, kLayoutModeCount - 1);
    const LayoutRow& L = LayoutRectTable[mode];
    const QImage& background = Background(mode, m_bPanelExpanded);
    if (!background.isNull()) {
        painter.drawImage(
            LayoutRect(L, m_bPanelExpanded ? layout_word::kOpen : layout_word::kBackground),
            background);
    }
    const QRect status = LayoutRect(L, layout_word::kStatus);
    if (!m_hStatusBar[mode].isNull()) {
        painter.drawImage(status, m_hStatusBar[mode]);
    }

    painter.setFont(CreateStatusFont());
    // The texts stay inside the line, the only part a change of them repaints.
    painter.save();
    painter.setClipRect(status);
    const int baseline = status.top() + 2 + QFontMetrics(painter.font()).ascent();
    painter.setPen(Qt::black);
    painter.drawText(status.left() + 5, baseline, QString::fromStdString(m_strStatus));
    // A notice may run into the second text's place.
    if (!m_strStatus2.empty() && !m_bNoticeShown) {
        painter.drawText(status.left() + 160, baseline, QString::fromStdString(m_strStatus2));
    }
    const QRect icon = LayoutRect(L, layout_word::kStatusIcon);
    if (!m_strIndicator.empty()) {
        if (!m_hAlarmIcon.isNull()) {
            painter.drawImage(icon.translated(-34, 0), m_hAlarmIcon);
        }
        painter.setPen(QColor(0xFF, 0, 0));
        painter.drawText(icon.right() + 1 - 30, baseline, QString::fromStdString(m_strIndicator));
    }
    if (m_strStatus.rfind("FR", 0) == 0) {
        if (!m_hOnlineUserIcon.isNull()) {
            painter.drawImage(icon, m_hOnlineUserIcon);
        }
        painter.setPen(Qt::black);
        const int users = m_services.pipeline.Parser().CurrentPacket().byBit6Value;
        painter.drawText(icon.right() + 1 + 4, baseline, QString::number(users));
    }
    painter.restore();

    // The device address, as four numbers whatever the settings hold.
    int parts[4] = {0, 0, 0, 0};
    std::istringstream address(g_lpApp->CSettingINI.m_strServerName);
    std::string part;
    for (int i = 0; i < 4 && std::getline(address, part, '.'); ++i) {
        parts[i] = std::atoi(part.c_str());
    }
    painter.setPen(QColor(0, 0xFF, 0xFF));
    painter.drawText(
        L[layout_word::kAddressText],
        L[layout_word::kAddressText + 1] + QFontMetrics(painter.font()).ascent(),
        QString("IP:%1.%2.%3.%4").arg(parts[0]).arg(parts[1]).arg(parts[2]).arg(parts[3]));

    // The bevel around the picture.
    const QRect video = LayoutRect(L, layout_word::kVideo);
    const int l = video.left();
    const int t = video.top();
    const int r = video.left() + video.width();
    const int b = video.top() + video.height();
    if (g_lpApp->m_fDrawBorder != 0) {
        painter.fillRect(QRect(QPoint(l - 1, t - 1), QPoint(r + 1, b + 1)), Qt::black);
    }
    const auto line = [&painter](QColor colour, int x1, int y1, int x2, int y2) {
        painter.setPen(colour);
        painter.drawLine(x1, y1, x2, y2);
    };
    line(Qt::black, l - 2, t - 2, r + 2, t - 2);
    line(Qt::black, l - 2, t - 2, l - 2, b + 2);
    line(QColor(0x33, 0x33, 0x33), l - 1, t - 1, r + 1, t - 1);
    line(QColor(0x33, 0x33, 0x33), l - 1, t - 1, l - 1, b + 1);
    line(QColor(0x66, 0x66, 0x66), r, b, r, t - 1);
    line(QColor(0x66, 0x66, 0x66), r, b, l - 1, b);
    line(Qt::white, r + 1, b + 1, r + 1, t - 2);
    line(Qt::white, r + 1, b + 1, l - 2, b + 1);
}

void VideoView::SetFrame(std::shared_ptr<const PaintedFrame> frame) {
    m_frame = std::move(frame);
    // At once, in the pass that brought the frame: a queued update would wake the window thread
    // a second time for every frame.
    repaint();
}

VideoView::VideoView(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted below, so Qt need not clear the view before each frame.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_frame || m_frame->pixels.size() <
                        std::size_t{m_frame->width} * m_frame->height * kPaintedPixelBytes) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const QImage picture(m_frame->pixels.data(), m_frame->width, m_frame->height,
                         m_frame->width * static_cast<int>(kPaintedPixelBytes),
                         QImage::Format_RGB32);
    painter.drawImage(QPoint(0, 0), picture);
    // Black where the picture does not reach.
    painter.fillRect(QRect(picture.width(), 0, width() - picture.width(), height()), Qt::black);
    painter.fillRect(QRect(0, picture.height(), picture.width(), height() - picture.height()),
                     Qt::black);
}
