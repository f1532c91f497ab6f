#include "OutputFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace rd::batch {

namespace {

std::string systemReason(int error)
{
    return std::strerror(error);
}

std::filesystem::path directoryOf(const std::filesystem::path& target)
{
    const auto parent = target.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

// Unique among the threads of a sweep and among processes writing into the same folder.
std::filesystem::path temporaryBeside(const std::filesystem::path& target)
{
    static std::atomic<unsigned long> counter { 0 };
    auto name = target.filename().string();
    name = "." + name + ".part-" + std::to_string(::getpid()) + "-"
        + std::to_string(counter.fetch_add(1));
    return directoryOf(target) / name;
}

bool writeAll(int fd, std::span<const std::byte> bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

void writeFileAtomically(const std::filesystem::path& target, std::span<const std::byte> bytes)
{
    const auto temp = temporaryBeside(target);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw OutputError(target, systemReason(errno));
    int failure = 0;
    if (!writeAll(fd, bytes))
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && std::rename(temp.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temp.c_str());
        throw OutputError(target, systemReason(failure));
    }
}

void checkWritable(const std::filesystem::path& target)
{
    const auto dir = directoryOf(target);
    std::error_code ec;
    const auto status = std::filesystem::status(dir, ec);
    if (ec || !std::filesystem::exists(status))
        throw OutputError(target, "the folder \"" + dir.string() + "\" does not exist");
    if (!std::filesystem::is_directory(status))
        throw OutputError(target, "\"" + dir.string() + "\" is not a folder");
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        throw OutputError(target, systemReason(errno));
    if (std::filesystem::is_directory(target, ec))
        throw OutputError(target, systemReason(EISDIR));
}

std::string readWholeFile(const std::filesystem::path& file)
{
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        throw std::runtime_error(systemReason(errno));
    std::string bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    const int error = errno;
    std::fclose(f);
    if (failed)
        throw std::runtime_error(systemReason(error));
    return bytes;
}

} // namespace rd::batch
