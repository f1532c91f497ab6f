// The NumPy array file format for single-precision fields: writing version 1.0 files that
// numpy.load reads unchanged, and reading what NumPy writes (header versions 1.0 to 3.0,
// single or double precision, C or Fortran order). Nothing else of the format is supported:
// this is a field exchange, not a general reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace rd::npy {

struct Array {
    std::vector<std::int64_t> shape;
    std::vector<float> data; // C order
    // The file's dtype when it held double precision ("<f8" or ">f8"), whose values were
    // rounded to the nearest single-precision value (ties to even); empty for single.
    std::string roundedFrom;
};

// A whole file's bytes for `shape` (one or two dimensions) and data.size() == product of
// shape: version 1.0, '<f4', fortran_order False, header padded to a multiple of 64 bytes.
std::vector<std::byte> encode(std::span<const std::int64_t> shape, std::span<const float> data);

// Parses a whole file. The result is the array, or a sentence saying what is wrong: bad
// magic, an unsupported version, a header that is not the expected dictionary, a dtype other
// than little- or big-endian float32 or float64, truncated or excess data, or a value that is
// negative, NaN or infinite, or a double beyond the single-precision range (a field holds
// concentrations). An element is named by its index in C order (NumPy's a.flat), whatever the
// file's order. With `signedValues` negative values are taken: the fields of a model whose
// variables may go negative (a typed model that is not clamped).
std::variant<Array, std::string> decode(std::span<const std::byte> file, bool signedValues = false);

// Why element k of a field (in C order) cannot be `v`, as decode words it, or "" when it can:
// negative (unless `signedValues`), NaN, infinite, or a double beyond single precision
// (`single`: v was a float). The one rule for fields from files and from arrays.
std::string valueProblem(std::size_t k, double v, bool single, bool signedValues = false);
// The first value of `data` a field cannot hold, or "".
std::string valueProblem(std::span<const float> data, bool signedValues = false);

// Where a file's data lie and how large they are, from its magic and header alone.
struct Layout {
    std::vector<std::int64_t> shape;
    bool bigEndian = false;
    bool fortranOrder = false;
    std::size_t itemBytes = 4; // 4 single, 8 double precision
    std::size_t dataStart = 0; // bytes before the data
    std::uint64_t dataBytes = 0; // bytes the header promises
};
// Parses the start of a file up to the end of its header; the errors are decode's.
std::variant<Layout, std::string> layout(std::span<const std::byte> start);
// The error for a file whose data part holds `bodyBytes` instead of what the layout promises,
// or "" when they agree.
std::string sizeMismatch(const Layout& layout, std::uint64_t bodyBytes);

// Reads a field file: the header first, and the data only when the file's size matches what
// the header promises, so a huge file is refused before it is read. The result is decode's;
// a file that cannot be read gives the system's reason, and one that is not a regular file
// (a FIFO, a device, a folder) is refused without waiting on it. `bytesRead`, when given,
// receives the bytes that were decoded, so that what was loaded can be identified exactly.
std::variant<Array, std::string> load(const std::string& file,
    std::vector<std::byte>* bytesRead = nullptr, bool signedValues = false);

// "(128, 128)" or "(128,)", as Python writes a shape tuple.
std::string shapeText(std::span<const std::int64_t> shape);

} // namespace rd::npy
