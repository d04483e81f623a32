// The engine against a hostile server, many downloads in a row (loopback only, seeded).
// After each download: either the task reported it complete and the file is exactly
// the served content, or the task reported a failure; an existing file is never
// changed, and no byte lands outside the folder chosen for the download.
//
//   hostile_soak [--downloads N] [--seed S] [--dir D] [--max-seconds T] [--verbose]
//   hostile_soak --round-seed R     replays the one round whose seed a violation printed
//
// Exit code 0 when no download broke a rule, 1 otherwise (the folder is then kept).
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "soak/rng.h"
#include "engine/download.h"
#include "engine/events.h"
#include "engine/tuning.h"
#include "soak/hostile_server.h"

namespace fs = std::filesystem;
using soak::Rng;

namespace {

struct Options {
    int downloads = 500;
    uint64_t seed = 0;
    std::string dir;
    int maxSeconds = 3600;
    bool verbose = false;
    bool oneRound = false;  // --round-seed: seed is the seed of that one round
};

// What the engine told us during one download. The event routine has no user data,
// so the one running download's record is global.
struct Event {
    int code;
    int32_t v1, v2;
};
struct Recorder {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Event> events;
    bool ended = false;
    bool callAfterEnd = false;
    int32_t answer18 = 0;
    int64_t writeLimit = -1;  // at event 3, file writes beyond this offset start failing
    int32_t doneAtEnd = -1;
    engine::Download* download = nullptr;
};
Recorder rec;

int32_t OnEvent(int32_t code, int32_t, int32_t v1, int32_t v2, int32_t) {
    std::unique_lock lock(rec.mutex);
    if (rec.ended)
        rec.callAfterEnd = true;
    rec.events.push_back({code, v1, v2});
    if (code == engine::kEventFileExists)
        return rec.answer18;
    if (code == engine::kEventLength && rec.writeLimit >= 0) {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(rec.writeLimit);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (code == engine::kEventTaskEnded) {
        // As the tool does: the amount received, asked while event 4 runs.
        rec.doneAtEnd = engine::GetDoneLength(*rec.download);
        rec.ended = true;
        rec.cv.notify_all();
    }
    return 0;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.insert(e.path().filename().string());
    return names;
}

// What an existing file at the target leads to in a round.
// kGoOn answers "go on under the same name", which must still never write over the file.
enum class Existing { kNone, kNewName, kNewNameTwice, kAbandon, kGoOn };

// The disk's side of a round: the file cannot be created, or writing it fails midway
// (a file-size limit of the process stands in for a full disk).
enum class Disk { kFine, kMissingFolder, kFullAtCreate, kFullWhileWriting };

// Sets the process's file-size limit (beyond it writes fail with EFBIG); -1 lifts it.
void LimitFileSize(int64_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < 0 ? limit.rlim_max : static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

struct Figures {
    int downloads = 0, complete = 0, failed = 0, abandoned = 0, noFile = 0, violations = 0;
    int writeErrors = 0, writeErrorsComplete = 0;  // rounds whose writes failed midway, and of them complete
    int connections = 0;
    int faults[static_cast<int>(soak::Fault::kCount)] = {};
};

class Round {
  public:
    Round(int index, uint64_t seed, const fs::path& rounds, bool verbose)
        : index_(index), rng_{seed}, seed_(seed), folder_(rounds / ("r" + std::to_string(index))), verbose_(verbose) {}

    // Runs one download and checks it; false when a rule was broken (reported on stderr).
    bool Run(engine::Download& download, Figures& fig);

  private:
    bool Violation(const std::string& what) {
        std::fprintf(stderr, "VIOLATION round %d (seed %llu): %s\n", index_, static_cast<unsigned long long>(seed_),
                     what.c_str());
        ok_ = false;
        return false;
    }

    int index_;
    Rng rng_;
    uint64_t seed_;
    fs::path folder_;
    bool verbose_;
    bool ok_ = true;
};

bool Round::Run(engine::Download& download, Figures& fig) {
    const size_t size = rng_.Percent(40) ? size_t(rng_.Between(1, 20479)) : size_t(rng_.Between(20480, 400000));
    auto content = testsupport::MakeContent(size, static_cast<uint32_t>(seed_));
    const int faultPercent = std::vector<int>{0, 10, 25, 40, 60}[size_t(rng_.Between(0, 4))];
    const int connections = rng_.Percent(70) ? 5 : int(rng_.Between(1, 4));
    Existing existing = Existing::kNone;
    if (rng_.Percent(30)) {
        int64_t pick = rng_.Between(0, 9);
        existing = pick < 5   ? Existing::kNewName
                   : pick < 7 ? Existing::kNewNameTwice
                   : pick < 9 ? Existing::kAbandon
                              : Existing::kGoOn;
    }

    // What stands beside and above the folder before the download: nothing may be added there.
    const std::set<std::string> siblingsBefore = Names(folder_.parent_path());
    const std::set<std::string> aboveBefore = Names(folder_.parent_path().parent_path());
    Disk disk = Disk::kFine;
    if (existing == Existing::kNone && rng_.Percent(15)) {
        int64_t pick = rng_.Between(0, 9);
        disk = pick < 3 ? Disk::kMissingFolder : pick < 6 ? Disk::kFullAtCreate : Disk::kFullWhileWriting;
    }
    const int64_t limit = rng_.Between(0, int64_t(size) - 1);

    fs::create_directories(folder_);
    // The tool's target is a Windows path: folder, "\", file name.
    const fs::path targetFolder = disk == Disk::kMissingFolder ? folder_ / "missing" : folder_;
    const fs::path target = targetFolder / "track.mp3";
    std::vector<std::pair<fs::path, std::string>> sentinels;
    if (existing != Existing::kNone)
        sentinels.push_back({target, "sentinel " + std::to_string(index_) + "\n"});
    if (existing == Existing::kNewNameTwice)
        sentinels.push_back({folder_ / "track(1).mp3", "second sentinel\n"});
    for (const auto& [path, bytes] : sentinels)
        WriteFile(path, bytes);
    const fs::path finalPath = existing == Existing::kNewName        ? folder_ / "track(1).mp3"
                               : existing == Existing::kNewNameTwice ? folder_ / "track(2).mp3"
                                                                     : target;

    auto stats = std::make_shared<soak::HostileStats>();
    testsupport::HttpTestServer server;
    soak::HostileOptions hostile;
    hostile.content = content;
    hostile.seed = seed_;
    hostile.faultPercent = faultPercent;
    hostile.stallMs = 700;
    hostile.bytesPerSecond = std::vector<int>{0, 1 << 20, 4 << 20, 16 << 20}[size_t(rng_.Between(0, 3))];
    server.SetDefault(soak::HostileFileServer(hostile, stats));

    {
        std::lock_guard lock(rec.mutex);
        rec.events.clear();
        rec.ended = rec.callAfterEnd = false;
        rec.doneAtEnd = -1;
        rec.answer18 = existing == Existing::kAbandon ? 1 : existing == Existing::kGoOn ? 2 : 0;
        rec.writeLimit = disk == Disk::kFullWhileWriting ? limit : -1;
        rec.download = &download;
    }
    engine::TaskParam param;
    param.mode = 4096;
    param.address = server.BaseUrl() + "/soak/" + std::to_string(index_) + "/track.mp3";
    param.targetPath = targetFolder.string() + "\\track.mp3";
    if (disk == Disk::kFullAtCreate)
        LimitFileSize(limit);
    param.connections = connections;
    param.connectTimeout = 1000;
    param.sendTimeout = 1000;
    param.receiveTimeout = 300;
    param.stopWait = 1000;
    param.receiveBlock = 10240;
    param.eventCallback = OnEvent;

    // The object is free again once the previous event 4 has returned; allow that moment.
    bool added = false;
    for (int i = 0; i < 200 && !added; ++i) {
        added = engine::AddTask(download, param);
        if (!added)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!added)
        return Violation("AddTask refused on an object whose last task had ended");

    std::vector<Event> events;
    int32_t done = -1;
    bool callAfterEnd = false;
    {
        std::unique_lock lock(rec.mutex);
        if (!rec.cv.wait_for(lock, std::chrono::seconds(90), [] { return rec.ended; }))
            return Violation("no event 4 within 90 s");
    }
    LimitFileSize(-1);
    server.Stop();  // ends stalled answers; every connection is closed after this
    {
        std::lock_guard lock(rec.mutex);
        events = rec.events;
        done = rec.doneAtEnd;
        callAfterEnd = rec.callAfterEnd;
    }
    fig.connections += stats->connections;
    for (int f = 0; f < static_cast<int>(soak::Fault::kCount); ++f)
        fig.faults[f] += stats->faults[f];

    // The order of the task's calls.
    int count3 = 0, count4 = 0, count18 = 0;
    int32_t length = -1;
    bool threeBefore18 = false;
    for (const Event& e : events) {
        if (e.code == engine::kEventLength) {
            ++count3;
            length = e.v1;
        }
        if (e.code == engine::kEventTaskEnded)
            ++count4;
        if (e.code == engine::kEventFileExists) {
            ++count18;
            if (count3 > 0)
                threeBefore18 = true;
        }
    }
    if (count4 != 1 || events.back().code != engine::kEventTaskEnded)
        Violation("event 4 is not the one last call");
    if (callAfterEnd)
        Violation("a call after event 4");
    if (count3 > 1)
        Violation("event 3 more than once");
    if (count18 > 1)
        Violation("event 18 more than once");
    if (threeBefore18)
        Violation("event 3 before event 18");
    if (count18 > 0 && existing == Existing::kNone)
        Violation("event 18 without an existing file");

    const bool complete = count3 == 1 && done >= length;
    const char* outcome = "failed";
    if (disk == Disk::kMissingFolder || disk == Disk::kFullAtCreate) {
        outcome = "no file";
        if (count3 != 0)
            Violation("event 3 although the file could not be created");
        if (complete)
            Violation("reported complete although the file could not be created");
    } else if ((existing == Existing::kAbandon || existing == Existing::kGoOn) && count18 == 1) {
        outcome = "abandoned";
        if (count3 != 0)
            Violation("event 3 after the download was abandoned");
        if (complete)
            Violation("abandoned download reported complete");
    } else if (complete) {
        outcome = "complete";
        if (existing != Existing::kNone && count18 == 0)
            Violation("complete over an existing file without event 18");
        if (length != int32_t(size))
            Violation("complete with length " + std::to_string(length) + ", served " + std::to_string(size));
        std::string got = ReadFile(finalPath);
        if (got != *content) {
            size_t at = 0;
            while (at < got.size() && at < content->size() && got[at] == (*content)[at])
                ++at;
            Violation("complete but " + finalPath.filename().string() + " differs from the content at byte " +
                      std::to_string(at) + " (" + std::to_string(got.size()) + " bytes, served " +
                      std::to_string(size) + ")");
        }
    }

    // A task that did not complete has said so with event 9 on some connection.
    const bool said9 = std::any_of(events.begin(), events.end(),
                                   [](const Event& e) { return e.code == engine::kEventConnectionFailed; });
    if (!complete && !said9)
        Violation("ended incomplete without event 9");

    // Existing files unchanged; nothing in the folder but them and the download's own file.
    for (const auto& [path, bytes] : sentinels)
        if (ReadFile(path) != bytes)
            Violation("existing file " + path.filename().string() + " was changed");
    std::set<std::string> allowed;
    for (const auto& s : sentinels)
        allowed.insert(s.first.filename().string());
    if (existing != Existing::kAbandon && existing != Existing::kGoOn && disk != Disk::kMissingFolder)
        allowed.insert(finalPath.filename().string());
    for (const std::string& name : Names(folder_))
        if (!allowed.count(name))
            Violation("unexpected file " + name + " in the folder");
    if ((existing == Existing::kAbandon || existing == Existing::kGoOn) && Names(folder_).size() != sentinels.size())
        Violation("a file was written although the download was abandoned");
    std::set<std::string> siblings = Names(folder_.parent_path());
    siblings.erase(folder_.filename().string());
    if (siblings != siblingsBefore)
        Violation("something beside the chosen folder was written");
    if (Names(folder_.parent_path().parent_path()) != aboveBefore)
        Violation("something was written two levels up");

    if (disk == Disk::kFullWhileWriting) {
        ++fig.writeErrors;
        if (complete)
            ++fig.writeErrorsComplete;
    }
    if (std::string(outcome) == "complete")
        ++fig.complete;
    else if (std::string(outcome) == "abandoned")
        ++fig.abandoned;
    else if (std::string(outcome) == "no file")
        ++fig.noFile;
    else
        ++fig.failed;
    ++fig.downloads;
    if (verbose_ || !ok_)
        std::printf(
            "round %d: %zu bytes at %d KB/s, %d conn, faults %d%%, existing %d, disk %d, %d server connections: %s\n",
            index_, size, hostile.bytesPerSecond / 1024, connections, faultPercent, int(existing), int(disk),
            stats->connections.load(), outcome);
    if (ok_)
        fs::remove_all(folder_);
    return ok_;
}

bool ParseArgs(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--downloads")
            o->downloads = std::atoi(next("--downloads"));
        else if (a == "--seed")
            o->seed = std::strtoull(next("--seed"), nullptr, 10);
        else if (a == "--dir")
            o->dir = next("--dir");
        else if (a == "--max-seconds")
            o->maxSeconds = std::atoi(next("--max-seconds"));
        else if (a == "--verbose")
            o->verbose = true;
        else if (a == "--round-seed") {
            o->seed = std::strtoull(next("--round-seed"), nullptr, 10);
            o->oneRound = true;
            o->downloads = 1;
            o->verbose = true;
        } else
            return false;
    }
    return o->downloads > 0 && o->maxSeconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    opt.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007ull;
    if (!ParseArgs(argc, argv, &opt)) {
        std::fprintf(stderr,
                     "usage: hostile_soak [--downloads N] [--seed S] [--dir D] [--max-seconds T] [--verbose]\n"
                     "       hostile_soak --round-seed R\n");
        return 2;
    }
    const fs::path root =
        opt.dir.empty() ? fs::temp_directory_path() / ("qzln-soak-" + std::to_string(opt.seed)) : fs::path(opt.dir);
    fs::remove_all(root);
    const fs::path rounds = root / "rounds";
    fs::create_directories(rounds);
    std::printf("soak: %d downloads, seed %llu, folder %s\n", opt.downloads, static_cast<unsigned long long>(opt.seed),
                root.string().c_str());
    std::fflush(stdout);

    signal(SIGXFSZ, SIG_IGN);  // a write beyond the file-size limit fails instead of ending the process
    // Short pauses between retries keep a soak of hundreds of downloads within minutes.
    engine::EngineTuning tuning = engine::GetEngineTuning();
    tuning.retryPauseMs = 20;
    engine::SetEngineTuning(tuning);

    Figures fig;
    const auto start = std::chrono::steady_clock::now();
    bool timeUp = false;
    {
        engine::Download download;  // one object for every download, as the tool has
        Rng master{opt.seed};
        for (int i = 0; i < opt.downloads; ++i) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(opt.maxSeconds)) {
                timeUp = true;
                break;
            }
            Round round(i, opt.oneRound ? opt.seed : master.Next(), rounds, opt.verbose);
            if (!round.Run(download, fig))
                ++fig.violations;
            if (fig.violations > 0 && !rec.ended)
                break;  // a hung task: the object is not free
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf(
        "soak: %d downloads in %.1f s: %d complete, %d failed, %d abandoned, %d without a file (no folder "
        "or disk full); %d violations%s\n",
        fig.downloads, seconds, fig.complete, fig.failed, fig.abandoned, fig.noFile, fig.violations,
        timeUp ? " (time limit reached)" : "");
    std::printf("soak: %d downloads met a write error midway, %d of them had finished before it\n", fig.writeErrors,
                fig.writeErrorsComplete);
    std::printf("soak: %d server connections;", fig.connections);
    for (int f = 0; f < static_cast<int>(soak::Fault::kCount); ++f)
        std::printf(" %s %d", soak::FaultName(static_cast<soak::Fault>(f)), fig.faults[f]);
    std::printf("\nsoak: seed %llu (again: hostile_soak %s %llu --downloads %d)\n",
                static_cast<unsigned long long>(opt.seed), opt.oneRound ? "--round-seed" : "--seed",
                static_cast<unsigned long long>(opt.seed), opt.downloads);
    if (fig.violations == 0)
        fs::remove_all(root);
    else
        std::printf("soak: kept %s\n", root.string().c_str());
    return fig.violations == 0 ? 0 : 1;
}
