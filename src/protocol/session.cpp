#include "protocol/session.h"

#include "protocol/blocking_socket.h"

SharedText g_szSessionCookie;
SharedText g_strHostName;

std::string SharedText::Get() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

bool SharedText::Empty() const {
    std::lock_guard lock(m_mutex);
    return m_text.empty();
}

void SharedText::Set(std::string text) {
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
}

void SharedText::Clear() {
    Set({});
}

void GetLocalHostAddress(SharedText& out) {
    out.Set(CBlockingSocket::GetLocalIPString());
}
