#include "fieldfiles/Npy.h"

#include "output/OutputSet.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rd::npy {

namespace {

// Reads up to `n` more bytes into `bytes`; false with errno on a read error. Fewer bytes
// than asked for means the end of the file.
bool readUpTo(int fd, std::vector<std::byte>& bytes, std::size_t n)
{
    const std::size_t start = bytes.size();
    bytes.resize(start + n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, bytes.data() + start + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    bytes.resize(start + got);
    return true;
}

struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
};

} // namespace

std::variant<Array, std::string> load(const std::string& file, std::vector<std::byte>* bytesRead)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return output::systemReason(errno);
    const Closer closer { fd };
    std::vector<std::byte> bytes;
    auto failed = [] { return output::systemReason(errno); };
    // Magic, version and header length first (at most 12 bytes), then the header.
    if (!readUpTo(fd, bytes, 10))
        return failed();
    if (bytes.size() >= 8 && std::to_integer<int>(bytes[6]) >= 2 && !readUpTo(fd, bytes, 2))
        return failed();
    if (auto early = layout(bytes); std::holds_alternative<std::string>(early)) {
        std::string why = std::get<std::string>(early);
        if (why != "truncated header" || bytes.size() < 10)
            return why;
        const std::size_t lengthBytes = bytes.size() == 10 ? 2 : 4;
        std::uint64_t headerLength = 0;
        for (std::size_t b = lengthBytes; b-- > 0;)
            headerLength = (headerLength << 8) | std::to_integer<std::uint64_t>(bytes[8 + b]);
        struct stat st { };
        // A header cannot be longer than the file; an endless source is bounded by the limit
        // of its length field (4 GiB at most, 64 KiB for version 1).
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
            && headerLength > static_cast<std::uint64_t>(st.st_size))
            return why;
        if (!readUpTo(fd, bytes, static_cast<std::size_t>(headerLength)))
            return failed();
    }
    auto laid = layout(bytes);
    if (auto* why = std::get_if<std::string>(&laid))
        return std::move(*why);
    const Layout& l = std::get<Layout>(laid);
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return failed();
    if (S_ISREG(st.st_mode)) {
        const auto size = static_cast<std::uint64_t>(st.st_size);
        const std::uint64_t body = size > l.dataStart ? size - l.dataStart : 0;
        if (std::string why = sizeMismatch(l, body); !why.empty())
            return why;
    }
    // One byte beyond the promise shows excess data in a file that is not a regular one.
    if (!readUpTo(fd, bytes, static_cast<std::size_t>(l.dataBytes) + 1))
        return failed();
    auto decoded = decode(bytes);
    if (bytesRead)
        *bytesRead = std::move(bytes);
    return decoded;
}

} // namespace rd::npy
