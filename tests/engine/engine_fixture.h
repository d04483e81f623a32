// Shared by the engine's network tests: an event log behind the plain event routine, a
// record filled as the tool fills it, a scratch folder, and file helpers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/download.h"
#include "engine/events.h"
#include "engine/task_param.h"
#include "engine/tuning.h"
#include "support/http_test_server.h"

namespace enginetest {

struct Event {
    int code, conn, v1, v2, task;
    std::thread::id thread;
};

// Collects the events of one test; the event routine is a plain function, so the log
// it writes to is a global.
class EventLog {
  public:
    std::function<int32_t(const Event&)> answer;  // the result for an event; 0 by default

    void Reset() {
        std::lock_guard lock(mutex_);
        events_.clear();
        answer = nullptr;
    }
    void Add(const Event& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        cv_.notify_all();
    }
    std::vector<Event> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<int> Codes(bool withData = false) const {
        std::vector<int> codes;
        for (const auto& e : Events())
            if (withData || e.code != engine::kEventData)
                codes.push_back(e.code);
        return codes;
    }
    int Count(int code) const {
        int n = 0;
        for (const auto& e : Events())
            n += e.code == code;
        return n;
    }
    bool WaitFor(int code, int ms = 20000) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            for (const auto& e : events_)
                if (e.code == code)
                    return true;
            return false;
        });
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Event> events_;
};

EventLog*& CurrentLog();
int32_t OnEvent(int32_t code, int32_t conn, int32_t v1, int32_t v2, int32_t task);

// The record as the tool fills it before a download.
engine::TaskParam ToolParam(const std::string& address, const std::string& target);

std::string ReadFile(const std::filesystem::path& p);
// Equal bytes; on a difference it names the sizes and the first differing offset
// instead of printing megabytes.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);
void WriteFile(const std::filesystem::path& p, const std::string& bytes);
// A target path in the engine's form: the folder's path bytes (ASCII here) and the name.
std::string Target(const std::filesystem::path& dir, const std::string& name);

// A scratch folder, an event log and a short retry pause for each test.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Adds the task and waits for its event 4 (and for the object to be empty again).
    void RunTask(engine::Download& d, const engine::TaskParam& p);
    std::string Path(const std::string& name) const { return Target(dir_, name); }

    std::filesystem::path dir_;
    EventLog log_;
    testsupport::HttpTestServer server_;
};

}  // namespace enginetest
