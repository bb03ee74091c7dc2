#pragma once

// The device's twenty CGI commands and the builder of their request paths.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum CgiCommand : std::uint8_t {
    CGI_LOGIN = 0,
    CGI_GETVIDEO = 1,
    CGI_SETCHANNEL = 2,
    CGI_SETRESOLUTION = 3,
    CGI_SETQUALITY = 4,
    CGI_SETBRCSSA = 5,
    CGI_GETSYSCFG = 6,
    CGI_PERIODCOMMAND = 7,
    CGI_SETSYSCFG = 8,
    CGI_UPGRADEFW = 9,
    CGI_GETONLINEUSER = 10,
    CGI_RS485CMD = 11,
    CGI_SETVORTA = 12,
    CGI_REBOOTSERVER = 13,
    CGI_GETDEVICEINFO = 14,
    CGI_GETLOG = 15,
    CGI_SETRETR = 16,
    CGI_GETDVRHDD = 17,
    CGI_NETWORKBK = 18,
    CGI_PTZRESET = 19,
};

struct CgiCommandEntry {
    std::uint32_t number;
    std::string_view path;
};

inline constexpr std::array<CgiCommandEntry, 20> CgiCommandTable = {{
    {0, "/Login.cgi"},         {1, "/Getvideo.cgi"},       {2, "/Setchannel.cgi"},
    {3, "/Setresolution.cgi"}, {4, "/Setquality.cgi"},     {5, "/Setbrcssa.cgi"},
    {6, "/GetSysCfg.cgi"},     {7, "/Periodcommand.cgi"},  {8, "/SetSysCfg.cgi"},
    {9, "/UpgradeFW.cgi"},     {10, "/GetOnlineUser.cgi"}, {11, "/RS485Cmd.cgi"},
    {12, "/SetVorta.cgi"},     {13, "/RebootServer.cgi"},  {14, "/Getdeviceinfo.cgi"},
    {15, "/Getlog.cgi"},       {16, "/SetRetr.cgi"},       {17, "/GetDvrHDD.cgi"},
    {18, "/NetworkBk.cgi"},    {19, "/PTZReset.cgi"},
}};

// The characters of `value` that a request cannot carry as typed, each once, in the order they
// first appear: control characters, which could end the request line; the blank, which ends the
// request target; and "&", which the device takes for the start of the next pair. Empty when the
// value can go as it is. The device reads the query raw and decodes nothing, so every other
// character ("%", "#", "?", "=", 8-bit text) goes as typed and reaches it intact, and a value
// that cannot is refused, never encoded.
std::string UncarriableCharacters(std::string_view value);

// `characters` for a message: each printable one in quotes, the blank and control characters by
// name ("\"&\", \"=\", the blank, 0x0A").
std::string NameCharacters(std::string_view characters);

// True when `target` can stand in a request line: it begins with "/" and holds neither a control
// character nor the blank; `host` holds none of the characters above.
bool RequestCarries(std::string_view target, std::string_view host);

// The path of a command followed by "?name=value&name=value...". Names and values go in as they
// are: the device reads the query raw, so nothing is percent-encoded. A value the query cannot
// carry refuses the whole request instead.
class CCgiRequest {
public:
    explicit CCgiRequest(std::uint8_t command);

    // 1; 0 when `name` or `value` holds characters a request cannot carry. A refused request has
    // no url (so nothing sends it), takes no further parameters until Reset, and Refused() names
    // the characters.
    std::uint32_t AddParam(const std::string& name, const std::string& value);
    std::uint32_t AddParamInt(const std::string& name, int value);
    std::uint32_t Reset();

    std::uint8_t Command() const { return m_bCommand; }
    const std::string& Url() const { return m_strUrl; }
    std::size_t GetUrlLength() const { return m_strUrl.size(); }
    const std::string& Refused() const { return m_strRefused; }

private:
    std::string m_strUrl;
    std::string m_strRefused;
    std::uint16_t m_wParamCount = 0;
    std::uint8_t m_bCommand;
};

// The whole head of a GET for `target` as the device expects it: the request line, the fixed
// header lines (with Content-Length when `bodyLength` is given), "Host:" with `host`, the blank
// line. Empty when the request cannot carry `target` or `host` (RequestCarries).
std::string DeviceRequestHead(std::string_view target, std::string_view host,
                              std::optional<std::uint32_t> bodyLength = std::nullopt);
