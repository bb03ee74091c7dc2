#include "protocol/ctrl_file.h"

#include <algorithm>
#include <iterator>

#include "kernel/device_list.h"
#include "kernel/kernel_object.h"
#include "platform/file_gate.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

const std::vector<std::string_view> CtrlFileSectionNames = {
    "[DEVICE NUMBER]",
    "[DEVICE NAME]",
    "[CH1]",
    "[CH2]",
    "[CH3]",
    "[CH4]",
    "[CH5]",
    "[CH6]",
    "[CH7]",
    "[CH8]",
    "[CH9]",
    "[CH10]",
    "[CH11]",
    "[CH12]",
    "[CH13]",
    "[CH14]",
    "[CH15]",
    "[CH16]",
    "[UP_PIP]",
    "[UP_QUAD]",
    "[4CUT]",
    "[9CUT]",
    "[16CUT]",
    "[PIP]",
    "[POP]",
    "[48206]",
    "[AUTO]",
    "[ESC]",
    "[VCR]",
    "[LIVE]",
    "[QUAD]",
    "[FREEZE]",
    "[ZOOM_IN]",
    "[ZOOM_OUT]",
    "[FOCUS_IN]",
    "[FOCUS_OUT]",
    "[PLUSE]",
    "[MINUS]",
    "[REMOTE_RECORD]",
    "[REBOOT]",
    "[ESCAPE]",
    "[SEC_ENTER]",
    "[STOP_RECORD]",
    "[RECORDING]",
    "[ZOOM]",
    "[SELECT]",
    "[LOCK]",
    "[SEARCH]",
    "[ENTER]",
    "[STOP]",
    "[RECORD]",
    "[REW]",
    "[FAST]",
    "[PAUSE]",
    "[SLOW]",
    "[PLAY]",
    "[JOYSTICK_LEFT]",
    "[JOYSTICK_UP]",
    "[JOYSTICK_MENU]",
    "[JOYSTICK_DOWN]",
    "[JOYSTICK_RIGHT]",
    "[TURBO]",
    "[PTZ]",
    "[ALARM]",
    "[ZOOM_IN_MAX]",
    "[ZOOM_OUT_MAX]",
    "[DIGITAL_ZOOM]",
    "[SET]",
    "[SEQUENCE]",
    "[PARAMETER]",
    "[POWER]",
    "[EOF]",
    "[DISPLAY]",
};

namespace {

enum Section : int {
    kNone = -1,
    kDeviceNumber = 0,
    kDeviceName = 1,
    kFirstKey = 2,
    kLastKey = 68,
    kParameter = 69,
    kPower = 70,
    kEof = 71,
    kDisplay = 72,
};

constexpr std::size_t kLineCapacity = 129;
constexpr std::size_t kNameCapacity = 79;
// More protocols than device models is already generous; the count only sizes the table.
constexpr std::uint32_t kMaxRecords = 256;

// The item at `x`: "X" and the two characters after it as a hex byte; a short tail reads as 0.
std::uint8_t ItemAt(std::string_view line, std::size_t x) {
    char two[2] = {0, 0};
    for (std::size_t i = 0; i < 2 && x + 1 + i < line.size(); ++i) {
        two[i] = line[x + 1 + i];
    }
    std::uint8_t value = 0;
    HexByte(two, value);
    return value;
}

Section SectionOf(std::string_view line) {
    const auto it = std::find(CtrlFileSectionNames.begin(), CtrlFileSectionNames.end(), line);
    return it == CtrlFileSectionNames.end()
               ? kNone
               : static_cast<Section>(it - CtrlFileSectionNames.begin());
}

// Reads the file line by line into the records, refusing what it cannot place.
class CtrlFileReader {
public:
    explicit CtrlFileReader(std::vector<CtrlProtocol>& records) : m_records(records) {
        m_records.clear();
    }

    // False once "END" under [EOF] has been read.
    bool Line(const std::string& line) {
        ++m_lineNumber;
        if (line.empty() || line.front() == ';') {
            return true;
        }
        if (line.front() == '[') {
            m_section = SectionOf(line);
            return true;
        }
        if (m_section == kEof) {
            return line != "END";
        }
        if (!Accept(line)) {
            m_refused.push_back(m_lineNumber);
        }
        return true;
    }

    // Everything refused, told at once in the file's own terms: a damaged file would otherwise
    // raise one box per line, each with a text about a device command.
    void Report(std::string_view source) const {
        std::string text;
        if (!m_refused.empty()) {
            text = std::string(source) + ": " + LineList(m_refused) + " refused.";
        }
        if (!m_short.empty()) {
            text += (text.empty() ? "" : "\n") + std::string(source) + ": " + LineList(m_short) +
                    (m_short.size() == 1 ? " holds fewer bytes than its length says."
                                         : " hold fewer bytes than their lengths say.");
        }
        if (!text.empty()) {
            ui::ShowMessage(text);
        }
    }

private:
    bool Accept(const std::string& line) {
        switch (m_section) {
            case kNone:
                return false;
            case kDeviceNumber:
                return DeclareCount(line);
            case kDeviceName:
                return NameNextRecord(line);
            default:
                break;
        }
        if (m_named == 0) {
            return false;  // a line for a record before the first name
        }
        CtrlProtocol& record = m_records[m_named - 1];
        if (m_section == kParameter) {
            return SetParameter(record, line);
        }
        if (m_section == kDisplay) {
            record.bDisplay = static_cast<std::uint8_t>(platform::AtoiModulo32(line));
            return true;
        }
        KeyCommandEntry& entry =
            m_section == kPower ? record.PowerKey : record.Keys[m_section - kFirstKey];
        // A later key line replaces the earlier one.
        KeyCommandEntry parsed;
        bool shortTemplate = false;
        if (!ParseKeyCommandLine(parsed, line, &shortTemplate)) {
            return false;
        }
        if (shortTemplate) {
            m_short.push_back(m_lineNumber);
        }
        entry = std::move(parsed);
        return true;
    }

    bool DeclareCount(const std::string& line) {
        const std::uint32_t count = platform::AtoiModulo32(line);
        if (m_declared || count > kMaxRecords) {
            return false;
        }
        m_declared = true;
        m_records.assign(count, CtrlProtocol{});
        return true;
    }

    bool NameNextRecord(const std::string& line) {
        if (m_named >= m_records.size()) {
            return false;
        }
        m_records[m_named++].szName = line.substr(0, kNameCapacity);
        return true;
    }

    static bool SetParameter(CtrlProtocol& record, const std::string& line) {
        const std::size_t percent = line.find('%');
        if (percent == std::string::npos || percent + 1 >= line.size() || line[percent + 1] < '0' ||
            line[percent + 1] > '9') {
            return false;
        }
        const std::size_t x = line.find('X', percent + 2);
        if (x == std::string::npos) {
            return false;
        }
        record.abParameter[static_cast<std::size_t>(line[percent + 1] - '0')] = ItemAt(line, x);
        return true;
    }

    // "line 4", or "lines 1, 2, 3, ... and 69 more".
    static std::string LineList(const std::vector<std::size_t>& lines) {
        constexpr std::size_t kListed = 10;
        std::string text = lines.size() == 1 ? "line " : "lines ";
        for (std::size_t i = 0; i < std::min(lines.size(), kListed); ++i) {
            text += (i ? ", " : "") + std::to_string(lines[i]);
        }
        if (lines.size() > kListed) {
            text += " and " + std::to_string(lines.size() - kListed) + " more";
        }
        return text;
    }

    std::vector<CtrlProtocol>& m_records;
    std::size_t m_lineNumber = 0;
    std::vector<std::size_t> m_refused;
    std::vector<std::size_t> m_short;
    Section m_section = kNone;
    bool m_declared = false;
    std::size_t m_named = 0;
};

}  // namespace

std::size_t ReadCtrlLine(std::string_view source, std::string& line) {
    const platform::TextLine text = platform::FirstLine(source);
    line.clear();
    for (const char c : text.text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 33 && u <= 126) || c == ' ') {
            if (line.size() < kLineCapacity) {
                line += static_cast<char>(std::toupper(u));
            }
        }
    }
    return text.consumed;
}

void HexByte(const char* two, std::uint8_t& out) {
    unsigned value = 0;
    for (int i = 0; i < 2; ++i) {
        const char c = two[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        }
        value = (value * 16 + digit) % 256;
    }
    out = static_cast<std::uint8_t>(value);
}

bool ParseKeyCommandLine(KeyCommandEntry& entry, std::string_view line, bool* shortTemplate) {
    std::size_t x = line.find('X');
    if (x == std::string_view::npos) {
        return false;
    }
    const std::uint8_t count = ItemAt(line, x);
    KeyCommandEntry parsed;
    parsed.pBytes.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        x = line.find('X', x + 3);
        if (x == std::string_view::npos) {
            if (shortTemplate) {
                *shortTemplate = true;
            }
            break;
        }
        if (x + 1 < line.size() && line[x + 1] == '%') {
            if (i > kMaxPlaceholderPosition) {
                return false;
            }
            parsed.dwPlaceholderMask |= 1u << i;
        }
        parsed.pBytes[i] = ItemAt(line, x);
    }
    entry = std::move(parsed);
    return true;
}

std::uint32_t ParseCtrlFile(std::string_view text, std::vector<CtrlProtocol>& records,
                            std::string_view source) {
    CtrlFileReader reader(records);
    std::string line;
    while (!text.empty()) {
        text.remove_prefix(ReadCtrlLine(text, line));
        if (!reader.Line(line)) {
            break;
        }
    }
    reader.Report(source);
    return 1;
}

namespace {

// Far above any control file: the default one is a few hundred bytes, one with every key of many
// devices a few hundred kilobytes.
constexpr std::size_t kCtrlFileMax = 16 << 20;

}  // namespace

std::uint32_t LoadCtrlFile() {
    const std::filesystem::path file = platform::ProgramFolder() / "CtrlFile.ini";
    const platform::FileSnapshot read = platform::ReadFile(file, kCtrlFileMax);
    if (read.state != platform::FileSnapshot::State::Read) {
        ui::ShowMessage(ui::texts::kOpenCtrlFileFailed);
        return 0;
    }
    return ParseCtrlFile(read.bytes, g_lpApp->m_lpCtrlFileRecords, file.string());
}

std::uint32_t BindDeviceProtocols() {
    KernelObject& app = *g_lpApp;
    for (std::size_t type = 0; type < kDeviceTypeCount; ++type) {
        // Record names are read upper-cased, so the type's name is compared upper-cased too
        // (one type name has lower-case letters).
        std::string name(DeviceTypeNames[type]);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const auto& records = app.m_lpCtrlFileRecords;
        const auto it = std::find_if(records.begin(), records.end(),
                                     [&](const CtrlProtocol& p) { return p.szName == name; });
        app.m_DeviceProtocol[type] =
            it == records.end() ? -1 : static_cast<int>(it - records.begin());
    }
    return 1;
}

std::uint32_t WriteDefaultCtrlFile(const std::string& path) {
    static constexpr const char* kDefault =
        "; CtrlFile.ini: the remote-control protocols of the device models.\n"
        ";\n"
        "; [DEVICE NUMBER]  the number of protocols that follow.\n"
        "; [DEVICE NAME]    starts a protocol; the name is a device type's name.\n"
        "; [PARAMETER]      %d = Xhh sets parameter byte d (0 to 9).\n"
        "; [CH1] ... [SEQUENCE], [POWER]  a key: Xnn with the template length, then one\n"
        ";                  item per byte, Xhh a byte or X%c a placeholder with code c.\n"
        "; [DISPLAY]        a decimal display value.\n"
        "; [EOF]            END ends the file.\n"
        "[DEVICE NUMBER]\n"
        "1\n"
        "[DEVICE NAME]\n"
        "4CH DVR (FULL)\n"
        "[PARAMETER]\n"
        "%0 = X11\n"
        "[CH1]\n"
        "X04 XA0 X%D X01 X%2\n"
        "[CH2]\n"
        "X04 XA0 X%D X02 X%2\n"
        "[CH3]\n"
        "X04 XA0 X%D X03 X%2\n"
        "[CH4]\n"
        "X04 XA0 X%D X04 X%2\n"
        "[POWER]\n"
        "X04 XA0 X%D X3F X%2\n"
        "[DISPLAY]\n"
        "1\n"
        "[EOF]\n"
        "END\n";
    if (!platform::WriteFileAtomically(path, kDefault)) {
        ui::ShowMessage(std::uint32_t{4009});
        return 0;
    }
    return 1;
}
