#include "output/OutputSet.h"

#include "engine/Quoted.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace rd::output {

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& p)
{
    return rd::quoted(p.string());
}

fs::path folderOf(const fs::path& target)
{
    const auto parent = target.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// The file a write to `target` replaces: a symbolic link is followed, so the link stays and
// its target gets the new contents.
fs::path resolveLinks(const fs::path& target)
{
    fs::path p = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st { };
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        std::error_code ec;
        const fs::path link = fs::read_symlink(p, ec);
        if (ec)
            throw OutputError(target, ec.message());
        p = link.is_absolute() ? link : folderOf(p) / link;
    }
    throw OutputError(target, systemReason(ELOOP));
}

std::size_t nameLimit(const fs::path& folder)
{
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : std::size_t { NAME_MAX };
}

// Unique among the threads of a sweep and among processes writing into the same folder, and
// within the folder's name limit however long the target's name is.
fs::path temporaryBeside(const fs::path& resolved)
{
    static std::atomic<unsigned long> counter { 0 };
    const std::string tail
        = ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    std::string name = resolved.filename().string();
    const std::size_t limit = nameLimit(folderOf(resolved));
    if (1 + name.size() + tail.size() > limit)
        name.resize(limit > tail.size() + 1 ? limit - tail.size() - 1 : 0);
    return folderOf(resolved) / ("." + name + tail);
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

// A folder that takes no new file: said so, with the folder's name, since the target itself
// may well be writable.
std::string newFileRefused(const fs::path& folder, int error)
{
    if (error != EACCES && error != EPERM && error != EROFS)
        return systemReason(error);
    return "the folder " + quoted(folder) + " takes no new files (" + systemReason(error) + ")";
}

void checkResolved(const fs::path& target, const fs::path& resolved)
{
    const fs::path folder = folderOf(resolved);
    struct stat st { };
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT)
            throw OutputError(target, "the folder " + quoted(folder) + " does not exist");
        throw OutputError(target, systemReason(errno));
    }
    if (!S_ISDIR(st.st_mode))
        throw OutputError(target, quoted(folder) + " is not a folder");
    if (resolved.filename().string().size() > nameLimit(folder))
        throw OutputError(target, systemReason(ENAMETOOLONG));
    if (::stat(resolved.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw OutputError(target, systemReason(EISDIR));
        // A file without any write permission is kept even for a user who could override
        // the permission: it was protected on purpose.
        if (::access(resolved.c_str(), W_OK) != 0)
            throw OutputError(target, systemReason(errno));
        if ((st.st_mode & 0222) == 0)
            throw OutputError(target, systemReason(EACCES));
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw OutputError(target, newFileRefused(folder, errno));
}

// An advisory lock (flock) on every folder a set renames into, taken in one order (by
// device and inode) so that two sets never wait on each other, and held while the renames
// happen: two processes, or two runs of one sweep, writing the same outputs never interleave
// their sets. A folder that cannot be opened or locked (a file system without locks) is
// renamed into without one.
class FolderLocks {
public:
    // Throws OutputError naming `target` when a folder stays locked too long.
    FolderLocks(const std::vector<fs::path>& folders, const fs::path& target)
    {
        struct Folder {
            dev_t device;
            ino_t inode;
            int fd;
            const fs::path* name;
        };
        std::vector<Folder> open;
        for (const fs::path& folder : folders) {
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st { };
            if (fd >= 0 && ::fstat(fd, &st) == 0)
                open.push_back({ st.st_dev, st.st_ino, fd, &folder });
            else if (fd >= 0)
                ::close(fd);
        }
        std::sort(open.begin(), open.end(), [](const Folder& a, const Folder& b) {
            return std::pair(a.device, a.inode) < std::pair(b.device, b.inode);
        });
        for (std::size_t k = 0; k < open.size(); ++k) {
            fds_.push_back(open[k].fd);
            if (k > 0 && open[k].device == open[k - 1].device && open[k].inode == open[k - 1].inode)
                continue;
            if (!lock(open[k].fd)) {
                const fs::path folder = *open[k].name;
                for (std::size_t rest = k + 1; rest < open.size(); ++rest)
                    ::close(open[rest].fd);
                release();
                throw OutputError(target,
                    "another process kept the folder " + quoted(folder)
                        + " locked for its own outputs for " + std::to_string(kPatience.count())
                        + " s");
            }
        }
    }
    ~FolderLocks() { release(); }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

private:
    // Another set's renames take microseconds; a lock held this long belongs to a process
    // that stopped in the middle of them.
    static constexpr std::chrono::seconds kPatience { 30 };

    // False when the lock could not be had within kPatience; true when taken, or when the
    // file system has no locks.
    static bool lock(int fd)
    {
        // Polled rather than waited for: a blocking flock restarts after a signal and would
        // keep an interrupt waiting on a stopped process.
        const auto until = std::chrono::steady_clock::now() + kPatience;
        auto pause = std::chrono::microseconds(100);
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return true;
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(2000));
        }
        return true;
    }

    void release() noexcept
    {
        for (const int fd : fds_)
            ::close(fd); // and with it its lock
        fds_.clear();
    }

    std::vector<int> fds_;
};

} // namespace

OutputError::OutputError(fs::path file, std::string reason, std::vector<fs::path> replaced)
    : std::runtime_error("cannot write " + quoted(file) + ": " + reason)
    , file_(std::move(file))
    , reason_(std::move(reason))
    , replaced_(std::move(replaced))
{ }

std::string systemReason(int error)
{
    return std::strerror(error);
}

void checkReplaceable(const fs::path& target)
{
    checkResolved(target, resolveLinks(target));
}

OutputSet::~OutputSet()
{
    discardTemporaries();
}

void OutputSet::add(fs::path target, std::vector<std::byte> bytes)
{
    entries_.push_back({ std::move(target), {}, std::move(bytes), {} });
}

void OutputSet::openTemporary(Entry& e)
{
    const fs::path temporary = temporaryBeside(e.resolved);
    // An existing file keeps its permissions; a new one gets the usual ones.
    struct stat st { };
    const mode_t mode
        = ::stat(e.resolved.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t { 0666 };
    e.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (e.fd < 0)
        throw OutputError(e.target, newFileRefused(folderOf(e.resolved), errno));
    e.temporary = temporary;
}

std::size_t OutputSet::addStreamed(fs::path target)
{
    Entry e { std::move(target), {}, {}, {} };
    e.resolved = resolveLinks(e.target);
    checkResolved(e.target, e.resolved);
    openTemporary(e);
    entries_.push_back(std::move(e));
    return entries_.size() - 1;
}

void OutputSet::append(std::size_t streamed, std::span<const std::byte> bytes)
{
    Entry& e = entries_.at(streamed);
    if (e.fd < 0)
        throw std::logic_error("OutputSet::append: not an open streamed file");
    if (!writeAll(e.fd, bytes))
        throw OutputError(e.target, systemReason(errno));
}

std::vector<fs::path> OutputSet::targets() const
{
    std::vector<fs::path> all;
    for (const Entry& e : entries_)
        all.push_back(e.target);
    return all;
}

void OutputSet::discardTemporaries() noexcept
{
    for (Entry& e : entries_) {
        if (e.fd >= 0)
            ::close(std::exchange(e.fd, -1));
        if (!e.temporary.empty()) {
            ::unlink(e.temporary.c_str());
            e.temporary.clear();
        }
    }
}

void OutputSet::commit()
{
    try {
        for (Entry& e : entries_) {
            // A streamed file's temporary already lies beside the file it replaces.
            if (e.fd < 0)
                e.resolved = resolveLinks(e.target);
            checkResolved(e.target, e.resolved);
        }
        for (Entry& e : entries_) {
            const bool streamed = e.fd >= 0;
            if (!streamed)
                openTemporary(e);
            int failure = 0;
            if (!streamed && !writeAll(e.fd, e.bytes))
                failure = errno;
            if (::close(std::exchange(e.fd, -1)) != 0 && failure == 0)
                failure = errno;
            if (failure != 0)
                throw OutputError(e.target, systemReason(failure));
            std::vector<std::byte>().swap(e.bytes);
        }
    } catch (...) {
        discardTemporaries();
        entries_.clear();
        throw;
    }
    if (entries_.empty())
        return;
    std::vector<fs::path> folders;
    for (const Entry& e : entries_)
        folders.push_back(folderOf(e.resolved));
    std::optional<FolderLocks> locks;
    try {
        locks.emplace(folders, entries_.front().target);
    } catch (...) {
        discardTemporaries();
        entries_.clear();
        throw;
    }
    std::vector<fs::path> replaced;
    for (Entry& e : entries_) {
        if (std::rename(e.temporary.c_str(), e.resolved.c_str()) != 0) {
            const int failure = errno;
            discardTemporaries();
            const fs::path target = e.target;
            entries_.clear();
            throw OutputError(target, systemReason(failure), std::move(replaced));
        }
        e.temporary.clear();
        replaced.push_back(e.target);
    }
    entries_.clear();
}

void writeFileAtomically(const fs::path& target, std::span<const std::byte> bytes)
{
    OutputSet set;
    set.add(target, { bytes.begin(), bytes.end() });
    set.commit();
}

} // namespace rd::output
