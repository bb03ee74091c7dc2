#include "protocol/cgi_reply.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/net.h"
#include "protocol/blocking_socket.h"

namespace {

// Replies of this many bytes or fewer cannot hold a status line.
constexpr std::size_t kShortestReply = 12;
// Room for the status line and headers of any device reply.
constexpr std::size_t kHeaderCapacity = 4096;
// Room for a chunk-size line with its extensions.
constexpr std::size_t kChunkLineCapacity = 1024;
constexpr std::size_t kReceivePiece = 4096;
// No body the program asks for comes near this; a size beyond it is no size.
constexpr std::uint64_t kLargestLength = 0xFFFFFFFFull;

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The value of the first header line of that name (matched without regard to case), without the
// blanks around it. `head` is the status line and the header lines, as far as they came; a line
// ends at an LF, with or without a CR before it, as HTTP readers take it.
std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name) {
    for (std::size_t at = head.find('\n'); at != std::string_view::npos;) {
        ++at;
        const std::size_t end = head.find('\n', at);
        std::string_view line = head.substr(at, end == std::string_view::npos ? end : end - at);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            SameIgnoringCase(Trimmed(line.substr(0, colon)), name)) {
            return Trimmed(line.substr(colon + 1));
        }
        at = end;
    }
    return std::nullopt;
}

// A number of `base` digits up to the first other character; nullopt without digits or beyond
// kLargestLength.
std::optional<std::uint64_t> ParseNumber(std::string_view text, int base, std::size_t* used) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; digits < text.size(); ++digits) {
        const auto c = static_cast<unsigned char>(text[digits]);
        const int digit = std::isdigit(c)                  ? c - '0'
                          : base == 16 && std::isxdigit(c) ? std::tolower(c) - 'a' + 10
                                                           : -1;
        if (digit < 0) {
            break;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > kLargestLength) {
            return std::nullopt;
        }
    }
    *used = digits;
    return digits == 0 ? std::nullopt : std::optional(value);
}

// Content-Length: decimal digits and nothing else.
std::optional<std::uint64_t> ParseLength(std::string_view value) {
    std::size_t used = 0;
    const auto length = ParseNumber(value, 10, &used);
    return used == value.size() ? length : std::nullopt;
}

// A chunk-size line: hex digits, then perhaps blanks and extensions after ";", which carry
// nothing the program uses.
std::optional<std::uint64_t> ParseChunkSize(std::string_view line) {
    line = Trimmed(line);
    std::size_t used = 0;
    const auto size = ParseNumber(line, 16, &used);
    const std::string_view rest = Trimmed(line.substr(used));
    return rest.empty() || rest.front() == ';' ? size : std::nullopt;
}

// The status number of the status line, the reply's first line: the characters after its first
// blank up to the next one, read as atoi reads them. Nothing when they do not begin with a digit:
// a status taken from a later line would depend on what that line happens to hold.
std::optional<int> StatusOf(std::string_view reply) {
    const std::string_view line = reply.substr(0, reply.find('\n'));
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return std::nullopt;
    }
    // The number may stand behind more than one blank, as lenient HTTP readers take it.
    std::string_view rest = line.substr(blank + 1, 127);
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    const std::string number(rest.substr(0, rest.find(' ')));
    if (number.empty() || !std::isdigit(static_cast<unsigned char>(number.front()))) {
        return std::nullopt;
    }
    return std::atoi(number.c_str());
}

// Where the blank line that ends the header begins and where the body begins after it; nullopt
// while no blank line has come. A line ends at an LF, with or without a CR before it, so the
// blank line is an LF or a CR LF straight after the end of the line before it.
struct HeadEnd {
    std::size_t headLength;
    std::size_t bodyStart;
};
std::optional<HeadEnd> FindHeadEnd(std::string_view text) {
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
         lf = text.find('\n', lf + 1)) {
        const std::string_view next = text.substr(lf + 1, 2);
        if (next.starts_with('\n')) {
            return HeadEnd{lf + 1, lf + 2};
        }
        if (next == "\r\n") {
            return HeadEnd{lf + 1, lf + 3};
        }
    }
    return std::nullopt;
}

enum class Got { Bytes, Closed, OutOfTime, Failed };

class ReplyReader {
public:
    ReplyReader(int fd, std::uint32_t wholeReplyMs, void* body, std::uint32_t capacity)
        : m_fd(fd),
          m_wholeReplyMs(wholeReplyMs),
          m_start(platform::GetTickCount()),
          m_body(static_cast<std::uint8_t*>(body)),
          m_capacity(capacity) {}

    CgiReplyResult Read();

private:
    // One receive behind the bytes in hand, within what is left of the reply's time.
    Got Receive();
    // Receives until `count` bytes are in hand; false when they do not come.
    bool Need(std::size_t count);
    // Moves `count` bytes in hand to the body; false when they do not fit.
    bool Take(std::size_t count);
    // The next line in hand without its CR LF (or lone LF); nullopt when none comes whole within
    // `capacity` characters.
    std::optional<std::string> NextLine(std::size_t capacity);

    bool ReadLength(std::uint64_t length);
    bool ReadChunks();
    bool ReadToClose();

    int m_fd;
    std::uint32_t m_wholeReplyMs;
    std::uint32_t m_start;
    std::uint8_t* m_body;
    std::uint32_t m_capacity;
    std::uint32_t m_length = 0;
    std::string m_inHand;
};

Got ReplyReader::Receive() {
    const std::uint32_t elapsed = platform::GetTickCount() - m_start;
    if (elapsed >= m_wholeReplyMs) {
        return Got::OutOfTime;
    }
    switch (platform::WaitReadable(m_fd, m_wholeReplyMs - elapsed)) {
        case platform::Readiness::TimedOut:
            return Got::OutOfTime;
        case platform::Readiness::Stopped:
            return Got::Failed;
        case platform::Readiness::Ready:
            break;
    }
    const std::size_t had = m_inHand.size();
    m_inHand.resize(had + kReceivePiece);
    const ssize_t n = ::recv(m_fd, m_inHand.data() + had, kReceivePiece, 0);
    m_inHand.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    // A reset is no end of a body: only an orderly close is.
    return n > 0 ? Got::Bytes : n == 0 ? Got::Closed : Got::Failed;
}

bool ReplyReader::Need(std::size_t count) {
    while (m_inHand.size() < count) {
        if (Receive() != Got::Bytes) {
            return false;
        }
    }
    return true;
}

bool ReplyReader::Take(std::size_t count) {
    if (count > m_capacity - m_length) {
        return false;
    }
    std::memcpy(m_body + m_length, m_inHand.data(), count);
    m_length += static_cast<std::uint32_t>(count);
    m_inHand.erase(0, count);
    return true;
}

std::optional<std::string> ReplyReader::NextLine(std::size_t capacity) {
    std::size_t end;
    // Room for the line and the CR of its end.
    while ((end = m_inHand.find('\n')) == std::string::npos) {
        if (m_inHand.size() > capacity + 1 || Receive() != Got::Bytes) {
            return std::nullopt;
        }
    }
    std::string line = m_inHand.substr(0, end > 0 && m_inHand[end - 1] == '\r' ? end - 1 : end);
    m_inHand.erase(0, end + 1);
    return line.size() <= capacity ? std::optional(std::move(line)) : std::nullopt;
}

bool ReplyReader::ReadLength(std::uint64_t length) {
    return length <= m_capacity && Need(static_cast<std::size_t>(length)) &&
           Take(static_cast<std::size_t>(length));
}

// Chunk after chunk up to the last one (size 0). The trailer after it carries nothing the
// program uses, and the connection is closed after the reply, so it is not waited for. A size
// line that lies shows where its chunk should end and no line end follows.
bool ReplyReader::ReadChunks() {
    for (;;) {
        const auto line = NextLine(kChunkLineCapacity);
        const auto size = line ? ParseChunkSize(*line) : std::nullopt;
        if (!size) {
            return false;
        }
        if (*size == 0) {
            return true;
        }
        const auto length = static_cast<std::size_t>(*size);
        if (*size > m_capacity - m_length || !Need(length) || !Take(length)) {
            return false;
        }
        const auto end = NextLine(0);
        if (!end || !end->empty()) {
            return false;
        }
    }
}

bool ReplyReader::ReadToClose() {
    for (;;) {
        if (!Take(m_inHand.size())) {
            return false;
        }
        switch (Receive()) {
            case Got::Bytes:
                break;
            case Got::Closed:
                return true;
            case Got::OutOfTime:
            case Got::Failed:
                return false;
        }
    }
}

CgiReplyResult ReplyReader::Read() {
    Got got = Got::Bytes;
    std::optional<HeadEnd> headEnd;
    while (!(headEnd = FindHeadEnd(m_inHand)) && m_inHand.size() < kHeaderCapacity) {
        if ((got = Receive()) != Got::Bytes) {
            break;
        }
    }
    // A header cut short by the device's close is read as far as it came; one still arriving
    // when the time ran out is no reply.
    if (got == Got::OutOfTime || got == Got::Failed || m_inHand.size() <= kShortestReply) {
        return {SendFailure::NoAnswer};
    }
    const auto bad = CgiReplyResult{SendFailure::BadReply};
    const std::optional<int> httpStatus = StatusOf(m_inHand);
    if (!httpStatus) {
        return bad;
    }
    if (*httpStatus != 200) {
        return {SendFailure::Status, *httpStatus};
    }
    // A caller that asks for no body needs only the status: how the body would end is not its
    // concern.
    if (m_body == nullptr) {
        return {};
    }
    if (!headEnd && got != Got::Closed) {
        return bad;  // headers beyond the room of any device's
    }
    // Without its blank line the header is all there is: the device closed after it.
    const std::string head = m_inHand.substr(0, headEnd ? headEnd->headLength : m_inHand.size());
    m_inHand.erase(0, headEnd ? headEnd->bodyStart : m_inHand.size());

    const auto coding = HeaderValue(head, "Transfer-Encoding");
    const auto contentLength = HeaderValue(head, "Content-Length");
    std::optional<std::uint64_t> length;
    if (coding) {
        // Chunks are the one transfer coding the device has reason to use; what else it named
        // could not be read.
        if (!SameIgnoringCase(*coding, "chunked")) {
            return bad;
        }
    } else if (contentLength && !(length = ParseLength(*contentLength))) {
        return bad;
    }
    const bool whole = coding ? ReadChunks() : length ? ReadLength(*length) : ReadToClose();
    if (!whole) {
        return bad;
    }
    return {SendFailure::None, 0, m_length};
}

}  // namespace

CgiReplyResult ReadCgiReply(CBlockingSocket& socket, std::uint32_t wholeReplyMs, void* body,
                            std::uint32_t capacity) {
    return ReplyReader(socket.Handle(), wholeReplyMs, body, capacity).Read();
}
