// Inputs read safely: a file named as an input is opened without blocking, so that a FIFO or
// a device in its place cannot hang the program, and refused unless the opened descriptor is
// a regular file (checked on the descriptor, not on the name, which may change in between);
// what is read is bounded, so that no input takes memory without limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace rd::output {

// An input that cannot be read; what() is the reason alone ("No such file or directory",
// "a FIFO, not a regular file"), for the caller to put after the file's name.
class InputError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A regular file open for reading.
class InputFile {
public:
    // Throws InputError.
    explicit InputFile(const std::filesystem::path& file);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int descriptor() const noexcept { return fd_; }
    // The size the file had when it was opened.
    std::uint64_t size() const noexcept { return size_; }

    // Appends up to `n` more bytes to `bytes`; fewer only at the end of the file. Throws
    // InputError with the system's reason.
    void readUpTo(std::vector<std::byte>& bytes, std::size_t n);
    // Moves `n` bytes on without reading them. Throws InputError.
    void skip(std::uint64_t n);

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// A whole regular file of at most `limit` bytes. A larger one is refused before it is read
// ("larger than ... bytes"), as is one that grows beyond the limit while it is read. Throws
// InputError.
std::vector<std::byte> readInput(const std::filesystem::path& file, std::uint64_t limit);

} // namespace rd::output
