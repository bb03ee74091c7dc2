#include "protocol/cgi_request.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// Within the request target: what ends the request line or the target.
bool TargetCarries(char c) {
    return !IsControl(c) && c != ' ';
}

}  // namespace

std::string UncarriableCharacters(std::string_view value) {
    std::string found;
    for (const char c : value) {
        if ((!TargetCarries(c) || c == '&') && found.find(c) == std::string::npos) {
            found += c;
        }
    }
    return found;
}

std::string NameCharacters(std::string_view characters) {
    std::string names;
    for (const char c : characters) {
        if (!names.empty()) {
            names += ", ";
        }
        if (c == ' ') {
            names += "the blank";
        } else if (IsControl(c)) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%.2X", static_cast<unsigned char>(c));
            names += code;
        } else {
            names += '"';
            names += c;
            names += '"';
        }
    }
    return names;
}

bool RequestCarries(std::string_view target, std::string_view host) {
    return target.starts_with('/') && std::all_of(target.begin(), target.end(), TargetCarries) &&
           UncarriableCharacters(host).empty();
}

CCgiRequest::CCgiRequest(std::uint8_t command) : m_bCommand(command) {
    Reset();
}

std::uint32_t CCgiRequest::AddParam(const std::string& name, const std::string& value) {
    if (!m_strRefused.empty()) {
        return 0;
    }
    m_strRefused = UncarriableCharacters(name + value);
    if (!m_strRefused.empty()) {
        m_strUrl.clear();
        return 0;
    }
    m_strUrl += m_wParamCount == 0 ? '?' : '&';
    m_strUrl += name;
    m_strUrl += '=';
    m_strUrl += value;
    ++m_wParamCount;
    return 1;
}

std::uint32_t CCgiRequest::AddParamInt(const std::string& name, int value) {
    return AddParam(name, std::to_string(value));
}

std::uint32_t CCgiRequest::Reset() {
    m_strUrl = m_bCommand < CgiCommandTable.size() ? CgiCommandTable[m_bCommand].path : "";
    m_strRefused.clear();
    m_wParamCount = 0;
    return 1;
}

std::string DeviceRequestHead(std::string_view target, std::string_view host,
                              std::optional<std::uint32_t> bodyLength) {
    if (!RequestCarries(target, host)) {
        return {};
    }
    std::string text = "GET ";
    text += target;
    text += " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\n";
    if (bodyLength) {
        text += "Content-Length: " + std::to_string(*bodyLength) + "\r\n";
    }
    text +=
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR "
        "1.1.4322)\r\n"
        "Host: ";
    text += host;
    text += "\r\nConnection: Keep-Alive\r\n\r\n";
    return text;
}
