// A run description from Python: the plain dictionary the package's layers pass around (and
// Dask sends to its workers) turned into the library's RunDescription.
#pragma once

#include "runs/RunDescription.h"

#include <pybind11/pybind11.h>

namespace rd::python {

// A typed model's dictionary (rdsim.Model's): name, rate_u, rate_v, params (pairs of a name
// and its default text, in order), clamp, and optionally settings (the start-up texts of
// uMax, vMax, scale, Du, Dv) and bounds (u low, u high, v low, v high). Raises ModelError
// (through the library's runs::ModelError) for a text that does not compile or a bad
// parameter, ValueError and TypeError for what is not such a dictionary.
ModelDescription modelDescription(const pybind11::dict& model);

// Keys: model (gm, schnakenberg, gray-scott, oregonator, or a typed model's dictionary), dim (1 or
// 2), size (text; None or missing: the loaded fields' side, else the panel's start-up size),
// settings (name to text), init (zero, random, seeded or load), seed, u and v (arrays) or
// u_file and v_file (.npy files) for load, steps, threads. Missing keys keep RunDescription's
// defaults. Raises ValueError or TypeError for what is not a description, SettingsError
// and FieldError for what the intake or the field checks refuse.
runs::RunDescription runDescription(const pybind11::dict& description);

} // namespace rd::python
