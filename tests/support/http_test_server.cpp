#include "support/http_test_server.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace testsupport {
namespace {

constexpr size_t kMaxHead = 256 * 1024;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

Request ParseHead(std::string raw) {
    Request r;
    r.raw = std::move(raw);
    size_t lineEnd = r.raw.find("\r\n");
    std::string first = r.raw.substr(0, lineEnd);
    size_t a = first.find(' ');
    size_t b = first.rfind(' ');
    if (a != std::string::npos && b != std::string::npos && b > a) {
        r.method = first.substr(0, a);
        r.target = first.substr(a + 1, b - a - 1);
        r.version = first.substr(b + 1);
    }
    size_t pos = lineEnd == std::string::npos ? r.raw.size() : lineEnd + 2;
    while (pos < r.raw.size()) {
        size_t e = r.raw.find("\r\n", pos);
        if (e == std::string::npos || e == pos) break;
        std::string line = r.raw.substr(pos, e - pos);
        size_t c = line.find(':');
        if (c != std::string::npos) {
            size_t v = c + 1;
            while (v < line.size() && line[v] == ' ') ++v;
            r.headers.emplace_back(line.substr(0, c), line.substr(v));
        }
        pos = e + 2;
    }
    return r;
}

}  // namespace

std::optional<std::string> Request::Header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (EqualNoCase(k, name)) return v;
    return std::nullopt;
}

bool Connection::Send(std::string_view bytes) {
    while (!bytes.empty() && !closed_) {
        long n = sock::Send(s_, bytes.data(), bytes.size());
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return !closed_;
}

bool Connection::SendPaced(std::string_view bytes, int bytesPerSecond) {
    if (bytesPerSecond <= 0) return Send(bytes);
    size_t slice = std::max<size_t>(1, static_cast<size_t>(bytesPerSecond) / 10);
    auto start = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (stopping_) return false;
        size_t n = std::min(slice, bytes.size() - sent);
        if (!Send(bytes.substr(sent, n))) return false;
        sent += n;
        auto due = start + std::chrono::microseconds(static_cast<long long>(sent) * 1000000 / bytesPerSecond);
        std::this_thread::sleep_until(due);
    }
    return true;
}

void Connection::Reset() {
    if (closed_) return;
    sock::CloseWithReset(s_);
    closed_ = true;
}

void Connection::SleepMs(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_ && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

HttpTestServer::HttpTestServer(int port) : port_(port) {
    sock::Startup();
    listener_ = sock::ListenLoopback(&port_);
    if (listener_ == sock::kInvalid) std::abort();
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() { Stop(); }

std::string HttpTestServer::BaseUrl() const { return "http://" + HostPort(); }
std::string HttpTestServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

void HttpTestServer::Route(const std::string& target, Handler handler) {
    std::lock_guard lock(mutex_);
    routes_[target] = std::move(handler);
}

void HttpTestServer::SetDefault(Handler handler) {
    std::lock_guard lock(mutex_);
    default_ = std::move(handler);
}

std::vector<Request> HttpTestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t HttpTestServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void HttpTestServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void HttpTestServer::Stop() {
    if (stopping_.exchange(true)) return;
    sock::ShutdownBoth(listener_);
    sock::Close(listener_);
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        for (auto s : open_) sock::ShutdownBoth(s);
        threads.swap(threads_);
    }
    for (auto& t : threads) t.join();
}

void HttpTestServer::AcceptLoop() {
    while (!stopping_) {
        sock::Handle c = sock::Accept(listener_);
        if (c == sock::kInvalid) {
            if (stopping_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        std::lock_guard lock(mutex_);
        if (stopping_) {
            sock::Close(c);
            return;
        }
        open_.push_back(c);
        int index = accepted_++;
        threads_.emplace_back([this, c, index] { Serve(c, index); });
    }
}

void HttpTestServer::Serve(sock::Handle s, int index) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHead) {
        long n = sock::Recv(s, buf, sizeof buf);
        if (n <= 0) break;
        head.append(buf, static_cast<size_t>(n));
    }
    Connection conn(s, stopping_);
    size_t end = head.find("\r\n\r\n");
    if (end != std::string::npos && !stopping_) {
        Request req = ParseHead(head.substr(0, end + 4));
        req.connectionIndex = index;
        Handler handler;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(req);
            auto it = routes_.find(req.target);
            if (it == routes_.end()) it = routes_.find(req.target.substr(0, req.target.find('?')));
            handler = it != routes_.end() ? it->second : default_;
        }
        if (handler)
            handler(req, conn);
        else
            conn.Send(MakeReply(404, "not found"));
    }
    std::lock_guard lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), s), open_.end());
    if (!conn.closed()) sock::Close(s);
}

std::string MakeReply(int status, std::string_view body, const std::vector<std::string>& extraHeaders) {
    std::string r = "HTTP/1.1 " + std::to_string(status) + (status < 400 ? " OK" : " Error") + "\r\n";
    for (const auto& h : extraHeaders) r += h + "\r\n";
    r += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    r += body;
    return r;
}

Handler Respond(int status, std::string body, std::vector<std::string> extraHeaders) {
    return [=](const Request&, Connection& c) { c.Send(MakeReply(status, body, extraHeaders)); };
}

Handler ServeFile(std::shared_ptr<const std::string> content, FileOptions options) {
    auto faults = std::make_shared<std::atomic<int>>(0);
    return [content, options, faults](const Request& req, Connection& c) {
        const std::string& data = *content;
        size_t from = 0, to = data.size();  // [from, to)
        bool ranged = false;
        if (auto range = req.Header("Range"); range && !options.ignoreRange && range->rfind("bytes=", 0) == 0) {
            std::string bytes = range->substr(6);
            size_t dash = bytes.find('-');
            if (dash != std::string::npos) {
                from = std::strtoull(bytes.substr(0, dash).c_str(), nullptr, 10);
                if (dash + 1 < bytes.size()) to = std::min<size_t>(data.size(), std::strtoull(bytes.c_str() + dash + 1, nullptr, 10) + 1);
                ranged = true;
            }
        }
        if (ranged && from >= data.size()) {
            c.Send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        std::string head = ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        if (ranged)
            head += "Content-Range: bytes " + std::to_string(from + options.contentRangeShift) + "-" +
                    std::to_string(to - 1) + "/" +
                    std::to_string(data.size()) + "\r\n";
        if (!options.omitLength) head += options.lengthHeader + ": " + std::to_string(to - from) + "\r\n";
        for (const auto& h : options.extraHeaders) head += h + "\r\n";
        head += "Content-Type: audio/mpeg\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n";
        if (!c.Send(head)) return;
        std::string_view body = std::string_view(data).substr(from, to - from);
        bool hasRange = req.Header("Range").has_value();
        if (options.fault != Fault::kNone && hasRange == options.faultRanged && faults->fetch_add(1) < options.faultCount) {
            if (!c.SendPaced(body.substr(0, std::min(options.faultAfter, body.size())), options.bytesPerSecond)) return;
            c.SleepMs(options.fault == Fault::kReset ? 200 : 3600 * 1000);
            if (options.fault == Fault::kReset) c.Reset();
            return;
        }
        c.SendPaced(body, options.bytesPerSecond);
    };
}

std::shared_ptr<const std::string> MakeContent(size_t size, uint32_t seed) {
    auto s = std::make_shared<std::string>(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        (*s)[i] = static_cast<char>(x >> 24);
    }
    return s;
}

}  // namespace testsupport
