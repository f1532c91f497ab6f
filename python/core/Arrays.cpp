#include "python/core/Arrays.h"

#include "fieldfiles/Npy.h"
#include "runs/Errors.h"
#include "runs/Run.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace py = pybind11;

namespace rd::python {

namespace {

// The array as NumPy holds it, or TypeError: only floats of 32 or 64 bits make a field.
py::array floatArray(py::handle object, char species)
{
    const std::string name(1, species);
    if (!py::isinstance<py::array>(object))
        throw py::type_error(name + ": a NumPy array is needed, not "
            + std::string(py::str(py::type::of(object).attr("__name__"))));
    auto array = py::reinterpret_borrow<py::array>(object);
    const py::dtype type = array.dtype();
    if (type.kind() != 'f' || (type.itemsize() != 4 && type.itemsize() != 8))
        throw py::type_error(name + ": dtype " + type.attr("name").cast<std::string>()
            + " is not a field's (float32, or float64, which is rounded to float32)");
    const int flags = array.flags();
    if (!(flags & py::array::c_style) && !(flags & py::array::f_style))
        throw py::value_error(name
            + ": the array is not contiguous (a strided view); "
              "pass numpy.ascontiguousarray(...) of it");
    return array;
}

template <class T> py::array_t<T> inCOrder(const py::array& array)
{
    // NumPy converts the byte order and the order of the cells; the type stays.
    auto c = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(array);
    if (!c)
        throw py::error_already_set();
    return c;
}

std::vector<float> cellsOf(const py::array& array, char species, bool signedValues)
{
    if (array.dtype().itemsize() == 4) {
        const auto c = inCOrder<float>(array);
        return { c.data(), c.data() + c.size() };
    }
    // Each double is checked as a field file's (a finite value beyond float32's range is
    // named, not left to become infinite), then rounded to the nearest float32, ties to even,
    // as NumPy's astype and a file of doubles round it.
    const auto c = inCOrder<double>(array);
    std::vector<float> cells(static_cast<std::size_t>(c.size()));
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const double x = c.data()[k];
        if (std::string why = npy::valueProblem(k, x, false, signedValues); !why.empty())
            throw runs::FieldFileError(species, "", why);
        cells[k] = static_cast<float>(x);
    }
    return cells;
}

std::vector<std::int64_t> shapeOf(const py::array& array)
{
    return { array.shape(), array.shape() + array.ndim() };
}

} // namespace

std::vector<float> fieldCells(
    py::handle object, char species, std::int32_t n, bool oneD, bool signedValues)
{
    const py::array array = floatArray(object, species);
    std::vector<std::int64_t> wanted { n };
    if (!oneD)
        wanted.push_back(n);
    const auto shape = shapeOf(array);
    if (shape != wanted)
        throw runs::FieldFileError(species, "",
            "shape " + npy::shapeText(shape) + " does not match the run", shape, wanted);
    return cellsOf(array, species, signedValues);
}

AnyField anyField(py::handle object)
{
    const py::array array = floatArray(object, 'u');
    const auto shape = shapeOf(array);
    const bool line = shape.size() == 1, square = shape.size() == 2 && shape[0] == shape[1];
    if ((!line && !square) || shape[0] < 2 || shape[0] > runs::kMaxCells)
        throw py::value_error("shape " + npy::shapeText(shape)
            + " is not a field: (N,) or (N, N) with N from 2 to " + std::to_string(runs::kMaxCells)
            + " is needed");
    AnyField f;
    f.cells = cellsOf(array, 'u', true);
    f.n = static_cast<std::int32_t>(shape[0]);
    f.oneD = line;
    // A field of a model whose variables may go negative is measured as any other.
    if (std::string why = npy::valueProblem(f.cells, true); !why.empty())
        throw py::value_error("the field: " + why);
    return f;
}

py::array_t<float> fieldArray(std::span<const float> cells, std::int32_t n, bool oneD)
{
    std::vector<py::ssize_t> shape { n };
    if (!oneD)
        shape.push_back(n);
    py::array_t<float> out(shape);
    std::copy(cells.begin(), cells.end(), out.mutable_data());
    return out;
}

} // namespace rd::python
