// The parts of the compiled module rdsim._core, each bound in its own file.
#pragma once

#include <pybind11/pybind11.h>

namespace rd::python {

// The front end's name in the records it writes, with the version after it.
inline constexpr char kProgram[] = "rdsim-python";

void bindSimulation(pybind11::module_& m);
void bindAnalysis(pybind11::module_& m);
void bindMaps(pybind11::module_& m);
void bindReplay(pybind11::module_& m);
void bindModels(pybind11::module_& m);

} // namespace rd::python
