// A small stand-in for the QZLN site on loopback, for the demo and for trying the tool by
// hand: a home page, a UTF-8 play page whose script holds a track id between the site's
// markers, and that track's audio file with Range support and a per-connection rate.
//   qzln_demo_site [--port N] [--rate BYTES_PER_SECOND] [--size BYTES] [--content-out FILE]
// Runs until SIGINT or SIGTERM. --content-out writes the audio bytes, to check a download.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "support/http_test_server.h"

namespace {

constexpr char kTrackId[] = "qzln-demo-348698";

std::string PlayPage() {
    return std::string(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>青梧舞曲网 - 演示舞曲 "
               "348698</title></head>\n"
               "<body><h1>演示舞曲：夜色中的节拍</h1>\n<p>高品质试听 · 本地演示站点</p>\n"
               "<script>var s_str=\"/play/\";var playList=[{title:\"夜色中的节拍\",src:s_str+\"") +
           kTrackId + ".m4a\"}];</script>\n</body></html>\n";
}

}  // namespace

int main(int argc, char** argv) {
    int port = 18632, rate = 96 * 1024;
    size_t size = 4 * 1024 * 1024;
    const char* contentOut = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--port"))
            port = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rate"))
            rate = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--size"))
            size = std::strtoul(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--content-out"))
            contentOut = argv[i + 1];
    }

    // Block the stop signals before the server's threads start, so only sigwait sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    auto content = testsupport::MakeContent(size, 348698);
    if (contentOut)
        std::ofstream(contentOut, std::ios::binary).write(content->data(), content->size());

    testsupport::HttpTestServer server(port);
    server.Route("/",
                 testsupport::Respond(200, "<html><head><meta charset=\"utf-8\"></head><body>QZLN 演示</body></html>",
                                      {"Content-Type: text/html; charset=utf-8"}));
    server.Route("/dance/play/348698.html",
                 testsupport::Respond(200, PlayPage(), {"Content-Type: text/html; charset=utf-8"}));
    testsupport::FileOptions options;
    options.bytesPerSecond = rate;
    server.Route(std::string("/mp3/") + kTrackId + ".mp3", testsupport::ServeFile(content, options));
    std::printf("demo site: %s/dance/play/348698.html (%zu bytes at %d bytes/s per connection)\n",
                server.BaseUrl().c_str(), size, rate);
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stop, &sig);
    server.Stop();
    return 0;
}
