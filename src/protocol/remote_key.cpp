#include "protocol/remote_key.h"

#include <array>

#include "kernel/kernel_object.h"
#include "kernel/user_class.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

constexpr std::uint8_t kEndByte = 0x32;

enum Placeholder : std::uint8_t {
    kMasterId = 0x0D,
    kPeripheralId = 0x0B,
    kUserClass = 0x01,
    kSumFromFirst = 0x02,
    kSumFromSecond = 0x06,
    kTwoVariants = 0x0A,
    kRawForm = 0x03,
    kRawNext = 0x04,
    kRawNextAndEnd = 0x05,
};

// Places bytes into the body and keeps the two running sums the checksum placeholders read.
class BodyBuilder {
public:
    explicit BodyBuilder(const CtrlProtocol& protocol, const KeyContext& context)
        : m_protocol(protocol), m_context(context) {}

    bool Place(std::uint8_t value, bool intoSecondSum = true) {
        if (m_length >= kMaxKeyBody) {
            return false;
        }
        m_body[m_length] = value;
        m_sum1 = static_cast<std::uint16_t>(m_sum1 + value);
        if (m_length >= 2 && intoSecondSum) {
            m_sum2 = static_cast<std::uint16_t>(m_sum2 + value);
        }
        ++m_length;
        return true;
    }

    // The value of a placeholder code; `rawForm` codes outside the common set give 0.
    std::uint8_t Fill(std::uint8_t code, bool rawForm) const {
        switch (code) {
            case kMasterId:
                return m_context.masterId;
            case kPeripheralId:
                return m_context.peripheralId;
            case kUserClass:
                return m_context.userClassCode;
            case kSumFromFirst:
                return static_cast<std::uint8_t>(m_sum1);
            case kSumFromSecond:
                return static_cast<std::uint8_t>(m_sum2);
            default:
                return rawForm || code >= m_protocol.abParameter.size()
                           ? 0
                           : m_protocol.abParameter[code];
        }
    }

    // Template bytes [from, from + count) with their placeholders filled.
    bool PlaceTemplate(const KeyCommandEntry& entry, std::size_t from, std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i) {
            if (i >= entry.pBytes.size()) {
                return false;
            }
            const std::uint8_t b = entry.pBytes[i];
            if (!Place(entry.IsPlaceholder(i) ? Fill(b, false) : b)) {
                return false;
            }
        }
        return true;
    }

    std::array<std::uint8_t, kMaxKeyBody> m_body{};
    std::size_t m_length = 1;  // offset 0 holds the count

private:
    const CtrlProtocol& m_protocol;
    const KeyContext& m_context;
    std::uint16_t m_sum1 = 0;
    std::uint16_t m_sum2 = 0;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildKeyBody(const CtrlProtocol& protocol,
                                                      const KeyCommandEntry& entry,
                                                      std::uint8_t keyArgument,
                                                      const KeyContext& context) {
    const std::vector<std::uint8_t>& t = entry.pBytes;
    if (t.empty()) {
        return std::nullopt;
    }
    BodyBuilder body(protocol, context);
    std::size_t n = 0;
    bool framed = true;
    if (entry.IsPlaceholder(0) && t[0] == kTwoVariants) {
        // Two variants, each a count byte and its bytes: the first while R.E.T.R. is on.
        std::size_t countAt = 1;
        if (!context.retr) {
            while (countAt < t.size() && t[countAt] != kTwoVariants) {
                ++countAt;
            }
            ++countAt;
        }
        if (countAt >= t.size()) {
            return std::nullopt;
        }
        n = t[countAt];
        if (!body.PlaceTemplate(entry, countAt + 1, n)) {
            return std::nullopt;
        }
    } else if (entry.IsPlaceholder(0) && t[0] == kRawForm) {
        if (t.size() < 2) {
            return std::nullopt;
        }
        n = t[1];
        framed = false;
        for (std::size_t i = 2; i < t.size(); ++i) {
            if (t[i] == 0 && i > n) {
                break;
            }
            if (!entry.IsPlaceholder(i)) {
                if (!body.Place(t[i])) {
                    return std::nullopt;
                }
                continue;
            }
            if (t[i] == kRawNext || t[i] == kRawNextAndEnd) {
                if (i + 1 >= t.size() || !body.Place(t[i + 1], false)) {
                    return std::nullopt;
                }
                if (t[i++] == kRawNextAndEnd) {
                    break;
                }
                continue;
            }
            if (!body.Place(body.Fill(t[i], true))) {
                return std::nullopt;
            }
        }
    } else {
        n = t.size();
        if (!body.PlaceTemplate(entry, 0, n)) {
            return std::nullopt;
        }
    }
    // The body is the count, n bytes and two more: the key argument and the end byte, or in the
    // raw form whatever stands there.
    if (n + 3 > kMaxKeyBody) {
        return std::nullopt;
    }
    body.m_body[0] = static_cast<std::uint8_t>(n);
    if (framed) {
        body.m_body[n + 1] = keyArgument;
        body.m_body[n + 2] = kEndByte;
    }
    return std::vector<std::uint8_t>(body.m_body.begin(), body.m_body.begin() + n + 3);
}

const CtrlProtocol* CurrentProtocol() {
    const KernelObject& app = *g_lpApp;
    const std::uint8_t type = app.m_DeviceList.GetCurrentType();
    const int index = type < app.m_DeviceProtocol.size() ? app.m_DeviceProtocol[type] : -1;
    return index < 0 ? nullptr : &app.m_lpCtrlFileRecords[static_cast<std::size_t>(index)];
}

int SendRemoteKey(std::uint32_t useKeyMode, std::uint16_t keyIndex) {
    const CtrlProtocol* protocol = CurrentProtocol();
    if (!protocol) {
        ui::ShowMessage(ui::texts::kNoProtocol);
        return 0;
    }
    if (keyIndex >= kRemoteKeyCount) {
        ui::ShowMessage(ui::texts::kNotSupported);
        return 0;
    }
    const std::uint8_t argument = useKeyMode ? g_lpApp->m_bKeyMode.load() : 1;
    return SendKeyCommand(*protocol, protocol->Keys[keyIndex], argument);
}

int SendKeyCommand(const CtrlProtocol& protocol, const KeyCommandEntry& entry,
                   std::uint8_t keyArgument) {
    KernelObject& app = *g_lpApp;
    const std::uint8_t userClass = app.m_bUserClass;
    const KeyContext context{
        app.m_DeviceList.GetMasterId(), app.m_DeviceList.GetPeripheralId(),
        userClass < kUserClassCount ? UserClassButtonTable[userClass].rank : std::uint8_t{0},
        app.m_fRetr != 0};
    const auto body = BuildKeyBody(protocol, entry, keyArgument, context);
    if (!body) {
        ui::ShowMessage(ui::texts::kNotSupported);
        return 0;
    }
    CCgiRequest request(CGI_RS485CMD);
    request.AddParam("Control", "Q41E");
    if (!app.m_DeviceList.IsCurrentMaster()) {
        request.AddParamInt("CH", app.m_DeviceList.GetOrdinal());
        request.AddParam("MASTER", "0");
    } else {
        request.AddParam("MASTER", "1");
    }
    if (!g_szSessionCookie.Empty()) {
        request.AddParam("Cookie", g_szSessionCookie.Get());
    }
    if (VortaSendCommand(CGI_RS485CMD, request.Url(), body->data(),
                         static_cast<std::uint32_t>(body->size()), nullptr, nullptr, 0,
                         nullptr) == 0) {
        ui::ShowMessage(ui::texts::kSendFailed);
        return 0;
    }
    return 1;
}
