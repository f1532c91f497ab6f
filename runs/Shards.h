// Splitting the combinations of a command into K parts run apart (one job each on a
// cluster), and joining the parts' results. A part is a file beside the output it belongs
// to, NAME.part-I-of-K.json, holding the command's identity, one opaque row of text per
// combination of the part and the SHA-256 of its rows; the join checks them and puts every
// row back in combination order.
//
// A command that runs combinations uses them in three calls: shardMembers to pick its
// combinations, writePart with their rows instead of its output, and mergeParts for the
// rows of all combinations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rd::runs {

// --shard I/K; count 0 when the command is not split.
struct Shard {
    std::int64_t index = 0, count = 0;
    bool active() const { return count > 0; }
};

inline constexpr std::int64_t kMaxShards = 100000;

// The combinations (0-based, ascending) of part I of K: those whose index is I - 1 modulo K,
// so that neighbouring values, which tend to cost alike, spread over the parts. Every
// combination when the shard is not active.
std::vector<std::size_t> shardMembers(std::size_t total, Shard shard);

// The part's file: "dir/map.csv" -> "dir/map.part-3-of-8.json".
std::filesystem::path partPath(const std::filesystem::path& output, Shard shard);

// The identity of a command: the SHA-256 (hex) of its identity arguments, the arguments
// that shape its results.
std::string commandIdentity(const std::vector<std::string>& arguments);

// Writes part `shard` of the combinations of `output` atomically: `rows[i]` is the row of
// combination `members[i]`. Throws output::OutputError.
void writePart(const std::filesystem::path& output, const std::vector<std::string>& arguments,
    Shard shard, std::size_t total, const std::vector<std::size_t>& members,
    const std::vector<std::string>& rows);

// A set of parts that cannot be joined; the message names the part.
class MergeError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What a merge knows of the rows a part of its command can hold.
struct PartRows {
    // The longest row of text a combination of the command can have: a part larger than its
    // rows can be is refused before it is read.
    std::size_t maxRowBytes = 1 << 16;
    // Checks the row of combination k (0-based); a false names the part as damaged.
    std::function<bool(std::size_t, const std::string&)> rowOk;
    // Asked between parts; true stops the merge with Cancelled.
    std::function<bool()> cancelled;
};

// Finds the parts of `output` beside it, checks that they are the K parts of one split of
// this command (same identity arguments and combinations), each once and whole (each part
// carries the SHA-256 of its rows), and returns the rows of all `total` combinations in
// order. Only regular files are read, opened without blocking. Throws MergeError, and
// Cancelled when `rows.cancelled` turns true.
std::vector<std::string> mergeParts(const std::filesystem::path& output,
    const std::vector<std::string>& arguments, std::size_t total, const PartRows& rows = {});

} // namespace rd::runs
