// The text a PNG file keeps under one key, read from its chunks without decoding the picture:
// only the chunks' headers are read until the key's chunk, whose CRC is checked and whose
// compressed text is inflated no further than a limit. A damaged or cut-short picture is said
// so in our words, never by the PNG library on standard error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace rd::pictures {

// A picture whose text cannot be had: not a regular file, unreadable, damaged, cut short, or
// its text longer than the limit. what() is the reason alone.
class PngTextError : public std::runtime_error {
public:
    explicit PngTextError(const std::string& reason, bool tooLarge = false)
        : std::runtime_error(reason)
        , tooLarge_(tooLarge)
    { }
    // The text is longer than the limit.
    bool tooLarge() const noexcept { return tooLarge_; }

private:
    bool tooLarge_;
};

// The text of the tEXt, zTXt or iTXt chunk of `key` in the PNG `file`, as UTF-8; nothing when
// no chunk before the end of the picture holds the key. A text longer than `limit` bytes is
// refused. Throws PngTextError.
std::optional<std::string> pngText(
    const std::filesystem::path& file, const std::string& key, std::uint64_t limit);

} // namespace rd::pictures
