#pragma once

// What every request of a session carries: the session cookie from the login reply and the
// local host's address for the "Host:" header. Both are read by every sender thread and written
// by the login threads and the LAN search.

#include <cstddef>
#include <mutex>
#include <string>

class SharedText {
public:
    std::string Get() const;
    bool Empty() const;
    void Set(std::string text);
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

// The "Session-ID=" text of the last login; empty while a login is under way and after a failed
// one.
inline constexpr std::size_t kMaxSessionCookieLength = 63;
extern SharedText g_szSessionCookie;

// The local host's dotted IPv4 address.
extern SharedText g_strHostName;

void GetLocalHostAddress(SharedText& out);
