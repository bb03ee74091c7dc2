#include "login/login_startup.h"

int LoginStartupDialogs::RunLoginDialog(const LoginPreset& preset) {
    LoginDialog dialog(nullptr, m_hooks);
    dialog.m_strHost = preset.server;
    dialog.m_strUserName = preset.user;
    dialog.m_strPort = preset.port;
    dialog.m_strBitRate = preset.bitRate;
    return dialog.DoModal();
}
