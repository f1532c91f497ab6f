// Two processes committing sets into the same folder never interleave them: a set's renames
// happen under an advisory lock (flock) on its folder. The writers are two forked processes;
// the check takes the same lock, between their commits, and must always find one whole set.
#include "output/OutputSet.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 4;
constexpr int kRounds = 60;

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// File f of a set. Built by appending: g++ 12 warns falsely about chains of string additions.
fs::path fileOf(const fs::path& dir, int f)
{
    std::string name = "f";
    name.append(std::to_string(f));
    return dir / name;
}

// A writer: kRounds sets of kFiles files, every file of a set holding "writer round".
[[noreturn]] void writeSets(const fs::path& dir, int writer)
{
    for (int round = 0; round < kRounds; ++round) {
        rd::output::OutputSet set;
        std::string text = std::to_string(writer);
        text.append(" ").append(std::to_string(round));
        for (int f = 0; f < kFiles; ++f) {
            const auto* p = reinterpret_cast<const std::byte*>(text.data());
            set.add(fileOf(dir, f), { p, p + text.size() });
        }
        try {
            set.commit();
        } catch (...) {
            ::_exit(2);
        }
    }
    ::_exit(0);
}

TEST(OutputSetLock, TwoProcessesNeverInterleaveTheirSets)
{
    char pattern[] = "/tmp/outputlock-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0)
            writeSets(dir, w);
    }
    int checks = 0, mixed = 0;
    int status[2] = { -1, -1 };
    while (status[0] < 0 || status[1] < 0) {
        const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(folder, 0);
        ASSERT_EQ(::flock(folder, LOCK_EX), 0);
        if (fs::exists(fileOf(dir, kFiles - 1))) {
            const std::string first = contents(fileOf(dir, 0));
            for (int f = 1; f < kFiles; ++f)
                if (contents(fileOf(dir, f)) != first) {
                    ++mixed;
                    break;
                }
            ++checks;
        }
        ::close(folder);
        std::this_thread::sleep_for(std::chrono::microseconds(1000));
        for (int w = 0; w < 2; ++w)
            if (status[w] < 0 && ::waitpid(writers[w], &status[w], WNOHANG) == 0)
                status[w] = -1;
    }
    for (const int s : status)
        EXPECT_TRUE(WIFEXITED(s) && WEXITSTATUS(s) == 0) << "a writer's commit failed";
    EXPECT_EQ(mixed, 0) << "of " << checks << " checks";
    EXPECT_GT(checks, 0);
    // No temporary is left, whoever committed last.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names.size(), std::size_t { kFiles });
    const std::string last = contents(fileOf(dir, 0));
    for (int f = 1; f < kFiles; ++f)
        EXPECT_EQ(contents(fileOf(dir, f)), last);
    fs::remove_all(dir);
}

} // namespace
