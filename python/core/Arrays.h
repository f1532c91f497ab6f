// Fields between NumPy and the library: arrays in, checked as strictly as a field file, and
// the current fields out as new arrays.
#pragma once

#include <pybind11/numpy.h>

#include <cstdint>
#include <span>
#include <vector>

namespace rd::python {

// The cells of `array` in C order as float32: float32 in either byte order, or float64
// rounded to the nearest float32 (as NumPy's astype), C or Fortran order. Raises TypeError
// for another type, FieldError (a ValueError) for a strided array or a shape other than
// (n,) in 1D or (n, n) in 2D; the values are checked where the field is loaded, negative ones
// taken only with `signedValues` (runs::signedFields).
std::vector<float> fieldCells(
    pybind11::handle array, char species, std::int32_t n, bool oneD, bool signedValues);

// A field of any size for a measurement: (n,) or (n, n), n >= 2, every value checked.
struct AnyField {
    std::vector<float> cells;
    std::int32_t n = 0;
    bool oneD = false;
};
AnyField anyField(pybind11::handle array);

// A new array of the cells, shape (n,) or (n, n).
pybind11::array_t<float> fieldArray(std::span<const float> cells, std::int32_t n, bool oneD);

} // namespace rd::python
