#include "protocol/cgi_request.h"

CCgiRequest::CCgiRequest(std::uint8_t command) : m_bCommand(command) {
    Reset();
}

std::uint32_t CCgiRequest::AddParam(const std::string& name, const std::string& value) {
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
    m_wParamCount = 0;
    return 1;
}
