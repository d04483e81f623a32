#include "engine_fixture.h"

#include <atomic>
#include <fstream>
#include <sstream>

namespace enginetest {

EventLog*& CurrentLog() {
    static EventLog* log = nullptr;
    return log;
}

int32_t OnEvent(int32_t code, int32_t conn, int32_t v1, int32_t v2, int32_t task) {
    EventLog* log = CurrentLog();
    if (!log)
        return 0;
    Event e{code, conn, v1, v2, task, std::this_thread::get_id()};
    log->Add(e);
    return log->answer ? log->answer(e) : 0;
}

engine::TaskParam ToolParam(const std::string& address, const std::string& target) {
    engine::TaskParam p;
    p.mode = 4096;
    p.address = address;
    p.targetPath = target;
    p.connections = 5;
    p.stopWait = 1000;
    p.connectTimeout = 5000;
    p.sendTimeout = 5001;
    p.receiveTimeout = 10000;
    p.receiveBlock = 10240;
    p.eventCallback = &OnEvent;
    return p;
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return ::testing::AssertionFailure() << "got " << actual.size() << " bytes, expected " << expected.size()
                                         << ", first difference at " << i;
}

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

std::string Target(const std::filesystem::path& dir, const std::string& name) {
    // The name's bytes go to the engine as they are (code page 936 on Windows).
    return dir.string() + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

void EngineTest::SetUp() {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("qzln-engine-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
            std::to_string(counter++));
    std::filesystem::create_directories(dir_);
    CurrentLog() = &log_;
    engine::EngineTuning t;
    t.retryPauseMs = 20;
    engine::SetEngineTuning(t);
}

void EngineTest::TearDown() {
    CurrentLog() = nullptr;
    server_.Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void EngineTest::RunTask(engine::Download& d, const engine::TaskParam& p) {
    ASSERT_TRUE(engine::AddTask(d, p));
    ASSERT_TRUE(log_.WaitFor(engine::kEventTaskEnded, 60000)) << "no event 4";
    // The object is empty once the call for event 4 has returned.
    for (int i = 0; i < 500 && engine::IsBusy(d); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace enginetest
