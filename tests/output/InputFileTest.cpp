// Inputs are opened without blocking and read only when they are regular files, within a
// bound: a FIFO, a folder or a device in place of an input is refused at once, by what it is.
#include "output/InputFile.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using rd::output::InputError;
using rd::output::readInput;

// Each test in a fresh folder of its own.
class InputFileTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(dir); }
    char pattern[32] = "/tmp/inputfile-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern) ? pattern : throw std::runtime_error("no folder");
};

std::string readError(const fs::path& file, std::uint64_t limit)
{
    try {
        readInput(file, limit);
    } catch (const InputError& e) {
        return e.what();
    }
    return "read";
}

TEST_F(InputFileTest, OnlyRegularFilesAreReadAndNothingWaits)
{
    // What it is, how it is made in the folder, and the reason it is refused.
    using Make = std::function<fs::path(const fs::path&)>;
    const std::vector<std::tuple<const char*, Make, std::string>> cases {
        { "a FIFO (no writer: opening it for reading would wait for good)",
            [](const fs::path& d) {
                ::mkfifo((d / "fifo").c_str(), 0600);
                return d / "fifo";
            },
            "a FIFO, not a regular file" },
        { "a folder",
            [](const fs::path& d) {
                fs::create_directory(d / "folder");
                return d / "folder";
            },
            "a folder, not a regular file" },
        { "an endless device", [](const fs::path&) { return fs::path("/dev/zero"); },
            "a device, not a regular file" },
        { "a link to a device",
            [](const fs::path& d) {
                fs::create_symlink("/dev/urandom", d / "link");
                return d / "link";
            },
            "a device, not a regular file" },
        { "a socket",
            [](const fs::path& d) {
                const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un address {};
                address.sun_family = AF_UNIX;
                std::strncpy(address.sun_path, (d / "socket").c_str(), sizeof address.sun_path - 1);
                ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
                ::close(s);
                return d / "socket";
            },
            "a socket, not a regular file" },
        { "missing", [](const fs::path& d) { return d / "missing"; }, "No such file or directory" },
        { "a read error", [](const fs::path&) { return fs::path("/proc/self/mem"); },
            "Input/output error" },
    };
    for (const auto& [label, make, reason] : cases) {
        SCOPED_TRACE(label);
        EXPECT_EQ(readError(make(dir), 1 << 20), reason);
    }
}

TEST_F(InputFileTest, ARegularFileIsReadWholeWithinItsBound)
{
    std::ofstream(dir / "f", std::ios::binary) << "0123456789";
    const std::vector<std::byte> bytes = readInput(dir / "f", 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), "0123456789");
    EXPECT_EQ(readError(dir / "f", 9), "larger than 9 bytes");
    // A sparse file is refused by its size before a byte of it is read.
    fs::resize_file(dir / "f", std::uintmax_t { 1 } << 40);
    EXPECT_EQ(readError(dir / "f", 1 << 20), "larger than 1048576 bytes");
}

} // namespace
