// The library's exceptions as the Python exceptions the package defines (rdsim/_errors.py):
// a refused setting is a ValueError naming it, a failed step an ArithmeticError carrying the
// iteration, and so on.
#pragma once

#include <pybind11/pybind11.h>

namespace rd::python {

// Looks up the package's exception classes and registers the translation of ours.
void registerErrors();

} // namespace rd::python
