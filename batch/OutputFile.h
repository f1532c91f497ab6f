// Output files appear whole or not at all: the bytes go into a temporary file beside the
// target, which is then renamed over it. A reader never sees a half-written field or picture,
// and a failure leaves neither a partial target nor the temporary file behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace rd::batch {

// An output that could not be written: the file's name and the system's reason.
class OutputError : public std::runtime_error {
public:
    OutputError(const std::filesystem::path& file, const std::string& reason)
        : std::runtime_error("cannot write \"" + file.string() + "\": " + reason)
        , file_(file)
    { }
    const std::filesystem::path& file() const noexcept { return file_; }

private:
    std::filesystem::path file_;
};

// Writes bytes to `target` through a temporary file in the same directory and a rename.
// Throws OutputError.
void writeFileAtomically(const std::filesystem::path& target, std::span<const std::byte> bytes);

// Checks before a run that `target` can be created: its directory exists, is a directory and
// is writable, and the target itself is not a directory. Throws OutputError.
void checkWritable(const std::filesystem::path& target);

// Reads a whole input file. Throws std::runtime_error with the system's reason.
std::string readWholeFile(const std::filesystem::path& file);

} // namespace rd::batch
