#include "soak/rng.h"
#include "soak/hostile_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace soak {
namespace {

Fault PickFault(Rng& rng, bool ranged) {
    // Network faults are the common ones on the internet; the rest one share each.
    struct Weighted {
        Fault fault;
        int weight;
        bool rangedOnly;
    };
    static const Weighted kTable[] = {
        {Fault::kReset, 3, false},       {Fault::kStall, 2, false},       {Fault::kIgnoreRange, 1, true},
        {Fault::kShiftedRange, 1, true}, {Fault::kWrongLength, 1, false}, {Fault::kNoLength, 1, false},
        {Fault::kLongHeader, 1, false},  {Fault::kRedirect, 1, false},    {Fault::kChunked, 1, false},
    };
    int total = 0;
    for (const auto& w : kTable)
        if (ranged || !w.rangedOnly)
            total += w.weight;
    int pick = static_cast<int>(rng.Between(0, total - 1));
    for (const auto& w : kTable) {
        if (!ranged && w.rangedOnly)
            continue;
        if (pick < w.weight)
            return w.fault;
        pick -= w.weight;
    }
    return Fault::kNone;
}

std::string Head(int status, const std::string& lines) {
    std::string reason = status == 200 ? "OK" : status == 206 ? "Partial Content" : "Found";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + lines +
           "Content-Type: audio/mpeg\r\nConnection: close\r\n\r\n";
}

std::string RangeLine(size_t from, size_t size) {
    return "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(size - 1) + "/" +
           std::to_string(size) + "\r\n";
}

std::string LengthLine(int64_t length) {
    return "Content-Length: " + std::to_string(length) + "\r\n";
}

std::string Chunked(std::string_view body, Rng& rng) {
    std::string out;
    while (!body.empty()) {
        size_t n = std::min<size_t>(body.size(), static_cast<size_t>(rng.Between(1, 8192)));
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        out += size;
        out.append(body.substr(0, n));
        out += "\r\n";
        body.remove_prefix(n);
    }
    return out + "0\r\n\r\n";
}

// Small slices at about the given rate; false once the peer has gone.
bool SendBody(testsupport::Connection& c, std::string_view body, int bytesPerSecond) {
    if (bytesPerSecond <= 0)
        return c.Send(body);
    const auto start = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < body.size()) {
        if (c.Stopping())
            return false;
        size_t n = std::min<size_t>(4096, body.size() - sent);
        if (!c.Send(body.substr(sent, n)))
            return false;
        sent += n;
        std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(sent) * 1000000 / bytesPerSecond));
    }
    return true;
}

}  // namespace

const char* FaultName(Fault f) {
    switch (f) {
        case Fault::kNone:
            return "none";
        case Fault::kReset:
            return "reset";
        case Fault::kStall:
            return "stall";
        case Fault::kIgnoreRange:
            return "200-to-range";
        case Fault::kShiftedRange:
            return "206-elsewhere";
        case Fault::kWrongLength:
            return "wrong-length";
        case Fault::kNoLength:
            return "no-length";
        case Fault::kLongHeader:
            return "long-header";
        case Fault::kRedirect:
            return "redirect";
        case Fault::kChunked:
            return "chunked";
        case Fault::kCount:
            break;
    }
    return "?";
}

testsupport::Handler HostileFileServer(HostileOptions options, std::shared_ptr<HostileStats> stats) {
    return [options, stats](const testsupport::Request& req, testsupport::Connection& c) {
        Rng rng{options.seed * 0x100000001B3ull + static_cast<uint64_t>(req.connectionIndex)};
        const std::string& data = *options.content;
        const size_t size = data.size();
        stats->connections++;

        size_t from = 0;
        const auto range = req.Header("Range");
        const bool ranged = range && range->rfind("bytes=", 0) == 0;
        if (ranged)
            from = std::strtoull(range->c_str() + 6, nullptr, 10);
        if (req.target.rfind(options.pathPrefix, 0) != 0) {
            c.Send(testsupport::MakeReply(404, "not here"));
            return;
        }
        if (ranged && from >= size) {
            c.Send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }

        const Fault fault = rng.Percent(options.faultPercent) ? PickFault(rng, ranged) : Fault::kNone;
        stats->faults[static_cast<int>(fault)]++;
        const int status = ranged ? 206 : 200;
        const std::string rangeLine = ranged ? RangeLine(from, size) : "";
        std::string_view body = std::string_view(data).substr(from);
        const int rate = options.bytesPerSecond;
        const std::string honest = Head(status, rangeLine + LengthLine(int64_t(body.size())));

        switch (fault) {
            case Fault::kNone:
                c.Send(honest) && SendBody(c, body, rate);
                return;
            case Fault::kReset:
            case Fault::kStall: {
                std::string answer = honest + std::string(body);
                size_t cut = static_cast<size_t>(rng.Between(0, int64_t(answer.size()) - 1));
                SendBody(c, std::string_view(answer).substr(0, cut), rate);
                if (fault == Fault::kStall) {
                    c.SleepMs(options.stallMs);
                } else {
                    c.SleepMs(static_cast<int>(rng.Between(0, 20)));
                    c.Reset();
                }
                return;
            }
            case Fault::kIgnoreRange:
                c.Send(Head(200, LengthLine(int64_t(size)))) && SendBody(c, data, rate);
                return;
            case Fault::kShiftedRange: {
                // Anywhere else in the file, nearby or far, the body matching its own range.
                int64_t other = int64_t(from);
                while (other == int64_t(from)) {
                    other =
                        rng.Percent(50) ? int64_t(from) + rng.Between(-4096, 4096) : rng.Between(0, int64_t(size) - 1);
                    other = std::clamp<int64_t>(other, 0, int64_t(size) - 1);
                    if (size == 1)
                        break;
                }
                std::string_view shifted = std::string_view(data).substr(static_cast<size_t>(other));
                c.Send(Head(206, RangeLine(static_cast<size_t>(other), size) + LengthLine(int64_t(shifted.size())))) &&
                    SendBody(c, shifted, rate);
                return;
            }
            case Fault::kWrongLength: {
                // More than is sent, or (for a block) less: the true bytes follow either way.
                int64_t claimed = int64_t(body.size());
                while (claimed == int64_t(body.size())) {
                    claimed = ranged && rng.Percent(50) ? rng.Between(0, int64_t(body.size()))
                                                        : int64_t(body.size()) + rng.Between(1, int64_t(size));
                }
                c.Send(Head(status, rangeLine + LengthLine(claimed))) && SendBody(c, body, rate);
                return;
            }
            case Fault::kNoLength:
                c.Send(Head(status, rangeLine)) && SendBody(c, body, rate);
                return;
            case Fault::kLongHeader: {
                std::string pad;
                if (rng.Percent(50)) {
                    pad = "X-Padding: " + std::string(static_cast<size_t>(rng.Between(4100, 9000)), 'a') + "\r\n";
                } else {
                    for (int i = 0; i < 60; ++i)
                        pad += "X-Line-" + std::to_string(i) + ": " + std::string(80, 'b') + "\r\n";
                }
                c.Send(Head(status, rangeLine + LengthLine(int64_t(body.size())) + pad)) && SendBody(c, body, rate);
                return;
            }
            case Fault::kRedirect: {
                const std::string hop = "moved" + std::to_string(rng.Between(0, 999)) + "/track.mp3";
                const auto host = req.Header("Host");
                std::string location;
                switch (rng.Between(0, 2)) {
                    case 0:
                        location = host ? "http://" + *host + options.pathPrefix + hop : hop;
                        break;
                    case 1:
                        location = options.pathPrefix + hop;
                        break;
                    default:
                        location = hop;
                        break;  // relative to the current folder
                }
                const int code = rng.Percent(50) ? 301 : 302;
                c.Send("HTTP/1.1 " + std::to_string(code) + " Moved\r\nLocation: " + location +
                       "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                return;
            }
            case Fault::kChunked: {
                // With or without a length beside the coding: neither makes the chunks file bytes.
                std::string lines = rangeLine + "Transfer-Encoding: chunked\r\n";
                if (rng.Percent(70))
                    lines += LengthLine(int64_t(body.size()));
                c.Send(Head(status, lines)) && SendBody(c, Chunked(body, rng), rate);
                return;
            }
            case Fault::kCount:
                return;
        }
    };
}

}  // namespace soak
