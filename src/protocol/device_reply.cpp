#include "protocol/device_reply.h"

#include <algorithm>

#include "platform/text.h"
#include "protocol/cgi_request.h"
#include "protocol/session.h"

namespace {

std::string_view UpToZero(std::string_view reply) {
    return reply.substr(0, reply.find('\0'));
}

std::optional<std::uint32_t> NumberOf(std::string_view reply, std::string_view key,
                                      std::size_t skip) {
    const auto value = ReplyValue(reply, key, skip);
    return value ? std::optional(ReplyAtoi(*value)) : std::nullopt;
}

}  // namespace

std::optional<std::string> ReplyValue(std::string_view reply, std::string_view key,
                                      std::size_t skip, std::size_t from, std::size_t* end) {
    reply = UpToZero(reply);
    const std::size_t pos = reply.find(key, std::min(from, reply.size()));
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t stop = reply.find(';', pos);
    if (stop == std::string_view::npos) {
        stop = reply.size();
    }
    if (end) {
        *end = stop;
    }
    const std::size_t start = std::min(pos + skip, stop);
    return std::string(reply.substr(start, std::min(stop - start, kMaxReplyValue)));
}

std::uint32_t ReplyAtoi(std::string_view text) {
    return platform::AtoiModulo32(text);
}

std::optional<LoginReply> ParseLoginReply(std::string_view reply) {
    LoginReply login;
    const auto session = ReplyValue(reply, "Session-ID=", 11);
    // The session goes back as the "Cookie" value of every later request, so it is held to the
    // rule of request values: any character those carry (a base64 text with its "=" padding
    // too) is a session's. A cut session text would be refused by the device on every later
    // command, and one a request cannot carry would become extra parameters or a broken request
    // line there: fail now. (The item ends at ";", so none holds one.) An empty one is no session:
    // the later requests would go without a cookie.
    if (!session || session->empty() || session->size() > kMaxSessionCookieLength ||
        !UncarriableCharacters(*session).empty()) {
        return std::nullopt;
    }
    login.sessionId = *session;
    login.firmwareVersion = ReplyValue(reply, "Firmware-Version=", 17);
    login.productId = ReplyValue(reply, "Product-ID=", 11);
    login.macAddress = ReplyValue(reply, "MAC-Address=", 12);
    if (login.macAddress && login.macAddress->size() > 12) {
        login.macAddress->resize(12);
    }
    login.hostName = ReplyValue(reply, "Host-Name=", 10);
    return login;
}

DeviceInfoReply ParseDeviceInfoReply(std::string_view reply) {
    DeviceInfoReply info;
    info.lifeTime = NumberOf(reply, "LIFETIME", 9);
    info.linkDevice = NumberOf(reply, "LINKDEVICE", 11);
    info.retr = NumberOf(reply, "RETR", 5);
    info.videoMode = NumberOf(reply, "VIDEOMODE", 10);
    info.userLevel = NumberOf(reply, "USERLEVEL", 10);
    info.bootVersion = ReplyValue(reply, "Boot-Version", 13);
    info.codecVersion = ReplyValue(reply, "5817-Version", 13);
    info.fpgaVersion = ReplyValue(reply, "FPGA-Version", 13);
    info.slaveCount = NumberOf(reply, "SLAVENUM", 9);

    // Each peripheral's items are searched from where the previous item ended; an item that is
    // missing keeps the previous peripheral's value.
    const std::size_t count = std::min<std::size_t>(info.slaveCount.value_or(0), kMaxPeripherals);
    std::size_t p = 0;
    PeripheralInfo current;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t end = p;
        if (const auto id = ReplyValue(reply, "SID", 4, p, &end)) {
            current.id = ReplyAtoi(*id);
            p = end;
        }
        if (const auto type = ReplyValue(reply, "STYPE", 6, p, &end)) {
            const std::uint32_t value = ReplyAtoi(*type);
            current.type = value == 1 ? 11 : value;
            p = end;
        }
        if (const auto protocol = ReplyValue(reply, "SPROTOCOL", 10, p, &end)) {
            if (current.type == 11 && ReplyAtoi(*protocol) == 1) {
                current.type = 18;
            }
            p = end;
        }
        info.peripherals.push_back(current);
    }
    return info;
}
