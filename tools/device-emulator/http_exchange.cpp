#include "http_exchange.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <vector>

namespace device_emulator {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
// A client that has not finished its request by then is not going to.
constexpr auto kRequestTimeout = 10s;
constexpr auto kWriteTimeout = 10s;

struct ContentLengthLine {
    ContentLengthStyle style;
    std::string_view prefix;
};

constexpr std::array<ContentLengthLine, 4> kContentLengthLines = {{
    {ContentLengthStyle::Standard, "Content-Length: "},
    {ContentLengthStyle::LowerCase, "content-length: "},
    {ContentLengthStyle::NoBlank, "Content-Length:"},
    {ContentLengthStyle::ExtraBlanks, "Content-Length:   "},
}};

std::string_view ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 202:
            return "Accepted";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Header names are matched without regard to case, as a server should.
std::size_t ContentLengthOf(std::string_view headers) {
    const std::string lower = Lower(headers);
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return 0;
    }
    std::size_t pos = at + std::string_view("\r\ncontent-length:").size();
    while (pos < lower.size() && lower[pos] == ' ') {
        ++pos;
    }
    std::size_t length = 0;
    std::from_chars(lower.data() + pos, lower.data() + lower.size(), length);
    return std::min(length, kMaxBodyBytes);
}

const char* LineEnd(const ReplyFaults& faults) {
    return faults.bare_lf ? "\n" : "\r\n";
}

// The body in chunks of faults.chunk_size bytes, each behind its size line, then the last chunk
// and the empty trailer.
std::string Chunked(std::string_view body, const ReplyFaults& faults) {
    std::string out;
    for (std::size_t at = 0; at < body.size(); at += faults.chunk_size) {
        const std::string_view chunk = body.substr(at, faults.chunk_size);
        const long long claimed = static_cast<long long>(chunk.size()) + faults.chunk_size_delta;
        char size[24];
        std::snprintf(size, sizeof size, "%llx", static_cast<unsigned long long>(claimed));
        out += size + faults.chunk_extension + LineEnd(faults);
        out += chunk;
        out += LineEnd(faults);
    }
    return out + "0" + faults.chunk_extension + LineEnd(faults) + LineEnd(faults);
}

// The target runs from the first blank to the last one, so a blank inside an unencoded
// parameter stays part of the query.
void ParseRequestLine(std::string_view line, RecordedRequest& request) {
    const std::size_t first = line.find(' ');
    const std::size_t last = line.rfind(' ');
    if (first == std::string_view::npos || last == first) {
        return;
    }
    const std::string_view target = line.substr(first + 1, last - first - 1);
    const std::size_t question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string_view::npos) {
        request.query = target.substr(question + 1);
    }
}

}  // namespace

RecordedRequest ReadRequest(Connection& connection) {
    RecordedRequest request;
    const auto deadline = std::chrono::steady_clock::now() + kRequestTimeout;
    std::size_t header_end = std::string::npos;
    std::size_t wanted = kMaxHeaderBytes;
    while (request.raw.size() < wanted) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || connection.ReadSome(request.raw, wanted - request.raw.size(),
                                                     left) != Connection::Io::Ok) {
            break;
        }
        if (header_end == std::string::npos) {
            header_end = request.raw.find("\r\n\r\n");
            if (header_end != std::string::npos) {
                header_end += 4;
                wanted = header_end +
                         ContentLengthOf(std::string_view(request.raw).substr(0, header_end));
            }
        }
    }
    if (header_end == std::string::npos) {
        ParseRequestLine(std::string_view(request.raw).substr(0, request.raw.find("\r\n")),
                         request);
        return request;
    }
    // Bytes that came with the same read past the announced body stay in raw only.
    request.complete = request.raw.size() >= wanted;
    ParseRequestLine(std::string_view(request.raw).substr(0, request.raw.find("\r\n")), request);
    request.body = request.raw.substr(header_end, wanted - header_end);
    return request;
}

bool SendReply(Connection& connection, Reply reply, const ReplyFaults& faults) {
    if (faults.status != 0) {
        reply.status = faults.status;
    }
    if (faults.body) {
        reply.body = *faults.body;
    }
    if (reply.body.size() < faults.pad_body_to) {
        reply.body.resize(faults.pad_body_to, 'x');
    }

    const std::string eol = LineEnd(faults);
    std::string wire = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                       std::string(ReasonPhrase(reply.status)) + eol;
    wire += "Content-Type: " + reply.content_type + eol;
    const auto line = std::find_if(
        kContentLengthLines.begin(), kContentLengthLines.end(),
        [&](const ContentLengthLine& l) { return l.style == faults.content_length_style; });
    if (faults.chunk_size != 0) {
        wire += "Transfer-Encoding: chunked" + eol;
    } else if (line != kContentLengthLines.end()) {
        const long long claimed =
            static_cast<long long>(reply.body.size()) + faults.content_length_delta;
        wire += std::string(line->prefix) + std::to_string(claimed) + eol;
    }
    wire += "Connection: close" + eol + eol;
    const std::size_t body_start = wire.size();
    wire += faults.chunk_size != 0 ? Chunked(reply.body, faults) : reply.body;
    if (faults.truncate_to != 0 && faults.truncate_to < wire.size()) {
        wire.resize(faults.truncate_to);
    }

    std::vector<std::size_t> cuts;
    for (const long long offset : faults.body_splits) {
        if (static_cast<long long>(body_start) + offset > 0) {
            cuts.push_back(static_cast<std::size_t>(static_cast<long long>(body_start) + offset));
        }
    }
    for (std::size_t cut = faults.trickle_bytes; faults.trickle_bytes != 0 && cut < wire.size();
         cut += faults.trickle_bytes) {
        cuts.push_back(cut);
    }
    if (!connection.WritePieces(wire, std::move(cuts), faults.split_pause, kWriteTimeout)) {
        return false;
    }
    if (faults.hold_open) {
        connection.Hold();
    }
    return true;
}

}  // namespace device_emulator
