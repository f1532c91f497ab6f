// Output files appear whole or not at all, and the files of one result appear together or not
// at all. Every file's bytes go into a temporary file beside its target; only when every
// temporary is written and every target is found replaceable are they renamed into place,
// under an advisory lock (flock) on each of their folders, so that two processes writing the
// same outputs never mix their sets. A failure before the renames changes no target and leaves
// no temporary file behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace rd::output {

// An output that could not be written: the file's name as given, the reason in the system's
// words, and the files of the same set that were already replaced (only when a rename failed
// part-way, since two renames are not one atomic act).
class OutputError : public std::runtime_error {
public:
    OutputError(std::filesystem::path file, std::string reason,
        std::vector<std::filesystem::path> replaced = {});
    const std::filesystem::path& file() const noexcept { return file_; }
    const std::string& reason() const noexcept { return reason_; }
    const std::vector<std::filesystem::path>& replaced() const noexcept { return replaced_; }

private:
    std::filesystem::path file_;
    std::string reason_;
    std::vector<std::filesystem::path> replaced_;
};

// The system's words for an error number ("No space left on device").
std::string systemReason(int error);

// Checks that `target` can be replaced: its folder exists, is a folder and takes new files;
// the name fits the folder's name limit; the target (followed through symbolic links) is not
// a folder, and an existing one is writable. Throws OutputError.
void checkReplaceable(const std::filesystem::path& target);

// The files of one result, committed together.
class OutputSet {
public:
    OutputSet() = default;
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;
    ~OutputSet(); // removes temporaries of a set that was not committed

    void add(std::filesystem::path target, std::vector<std::byte> bytes);
    // A file too large to hold, written in pieces as it is made: its target is checked and
    // its temporary opened now, append() adds to it, and the commit renames it with the
    // others. Returns the number append() takes. Both throw OutputError.
    std::size_t addStreamed(std::filesystem::path target);
    void append(std::size_t streamed, std::span<const std::byte> bytes);
    bool empty() const { return entries_.empty(); }
    std::vector<std::filesystem::path> targets() const;

    // Checks every target, writes every temporary, then renames them all in the order added
    // while holding the lock of every folder they go to. Throws OutputError; the set is spent
    // either way.
    void commit();

private:
    struct Entry {
        std::filesystem::path target; // as given, for messages
        std::filesystem::path resolved; // through symbolic links: the file that is replaced
        std::vector<std::byte> bytes;
        std::filesystem::path temporary; // empty until written
        int fd = -1; // a streamed file's open temporary
    };
    void openTemporary(Entry& e);
    void discardTemporaries() noexcept;

    std::vector<Entry> entries_;
};

// One file on its own: a set of one.
void writeFileAtomically(const std::filesystem::path& target, std::span<const std::byte> bytes);

} // namespace rd::output
