#include "output/InputFile.h"

#include "output/OutputSet.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace rd::output {

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "a special file";
}

} // namespace

InputFile::InputFile(const std::filesystem::path& file)
{
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer, for good.
    fd_ = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        // A socket cannot be opened at all; say what it is rather than "No such device".
        struct stat st { };
        if (errno == ENXIO && ::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            throw InputError(std::string(kindOf(st.st_mode)) + ", not a regular file");
        throw InputError(systemReason(errno));
    }
    struct stat st { };
    if (::fstat(fd_, &st) != 0) {
        const int error = errno;
        ::close(fd_);
        throw InputError(systemReason(error));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw InputError(std::string(kindOf(st.st_mode)) + ", not a regular file");
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    // Reads of a regular file never block; the flag is dropped so that nothing could see EAGAIN.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

InputFile::~InputFile()
{
    ::close(fd_);
}

void InputFile::readUpTo(std::vector<std::byte>& bytes, std::size_t n)
{
    const std::size_t start = bytes.size();
    bytes.resize(start + n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, bytes.data() + start + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            const int error = errno;
            bytes.resize(start + got);
            throw InputError(systemReason(error));
        }
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    bytes.resize(start + got);
}

void InputFile::skip(std::uint64_t n)
{
    if (n > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        throw InputError(systemReason(EOVERFLOW));
    if (::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) < 0)
        throw InputError(systemReason(errno));
}

std::vector<std::byte> readInput(const std::filesystem::path& file, std::uint64_t limit)
{
    InputFile in(file);
    const auto tooLarge
        = [limit] { return InputError("larger than " + std::to_string(limit) + " bytes"); };
    if (in.size() > limit)
        throw tooLarge();
    std::vector<std::byte> bytes;
    // One byte beyond the size it had shows a file that grew while it was read.
    in.readUpTo(bytes, static_cast<std::size_t>(in.size()) + 1);
    if (bytes.size() > in.size()) {
        in.readUpTo(bytes, static_cast<std::size_t>(limit - bytes.size() + 1));
        if (bytes.size() > limit)
            throw tooLarge();
    }
    return bytes;
}

} // namespace rd::output
