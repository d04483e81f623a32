// A local HTTP server for tests: loopback only, port chosen by the system, one thread per
// connection, scripted answers per path, and every request recorded byte for byte so a
// test can assert exactly what the client sent. Handlers write raw bytes, so a test can
// misbehave in any way it likes (close early, stall, reset, send a wrong header).
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/test_socket.h"

namespace testsupport {

struct Request {
    std::string raw;  // the request head as received, through the empty line
    std::string method, target, version;
    std::vector<std::pair<std::string, std::string>> headers;  // in order, as sent
    std::optional<std::string> Header(std::string_view name) const;  // case-insensitive
    int connectionIndex = 0;  // in order of acceptance, from 0
};

class Connection {
public:
    Connection(sock::Handle s, const std::atomic<bool>& stopping) : s_(s), stopping_(stopping) {}
    bool Send(std::string_view bytes);
    // Sends at about bytesPerSecond (in slices of at most a tenth of a second).
    bool SendPaced(std::string_view bytes, int bytesPerSecond);
    void Reset();  // the peer sees a connection reset
    void SleepMs(int ms);  // returns early when the server stops
    bool Stopping() const { return stopping_; }
    bool closed() const { return closed_; }

private:
    sock::Handle s_;
    const std::atomic<bool>& stopping_;
    bool closed_ = false;
};

using Handler = std::function<void(const Request&, Connection&)>;

class HttpTestServer {
public:
    // Port 0: chosen by the system. A fixed port is for a program built against a fixed host.
    explicit HttpTestServer(int port = 0);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int Port() const { return port_; }
    std::string BaseUrl() const;  // "http://127.0.0.1:PORT"
    std::string HostPort() const;  // "127.0.0.1:PORT"

    // The handler for a request target (the path with its query, as sent). A target
    // without a route of its own gets the default handler, a 404, unless one is set.
    void Route(const std::string& target, Handler handler);
    void SetDefault(Handler handler);

    std::vector<Request> Requests() const;
    size_t RequestCount() const;
    void ClearRequests();
    void Stop();  // closes the listener and every open connection, joins the threads

private:
    void AcceptLoop();
    void Serve(sock::Handle s, int index);

    sock::Handle listener_ = sock::kInvalid;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Handler> routes_;
    Handler default_;
    std::vector<Request> requests_;
    std::vector<sock::Handle> open_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
    int accepted_ = 0;
};

// A whole answer with Content-Length, as servers send it.
std::string MakeReply(int status, std::string_view body, const std::vector<std::string>& extraHeaders = {});
Handler Respond(int status, std::string body, std::vector<std::string> extraHeaders = {});

enum class Fault {
    kNone,
    kReset,  // the connection is reset (after a short pause, so the bytes sent arrive first)
    kStall,  // nothing more is sent until the server stops
};

struct FileOptions {
    int bytesPerSecond = 0;     // per connection; 0 = as fast as possible
    bool ignoreRange = false;   // answer every request with 200 and the whole file
    bool omitLength = false;    // no Content-Length header
    std::string lengthHeader = "Content-Length";  // its spelling
    // A fault on the first `faultCount` answers to requests with a Range header
    // (faultRanged) or without one, after `faultAfter` bytes of body.
    Fault fault = Fault::kNone;
    int faultCount = 0;
    bool faultRanged = false;
    size_t faultAfter = 0;
    int contentRangeShift = 0;  // a 206 whose Content-Range claims to start this much later
    std::vector<std::string> extraHeaders;  // further header lines of every answer
};
// Serves the content with Range support ("bytes=N-" and "bytes=N-M"), 206 with
// Content-Range for a range, 200 for the whole.
Handler ServeFile(std::shared_ptr<const std::string> content, FileOptions options = {});

// A deterministic pseudo-random content of the given size.
std::shared_ptr<const std::string> MakeContent(size_t size, uint32_t seed = 1);

}  // namespace testsupport
