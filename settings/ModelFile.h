// Reading a typed model from a small TOML file:
//
//   # where the model comes from, and why this point makes patterns
//   name = "Brusselator"
//   rate-u = "a - (b + 1)*u + u^2*v"
//   rate-v = "b*u - u^2*v"
//   clamp = true                 # negative results become 0 after each step
//
//   [parameters]                 # in the order the model lists them
//   a = 4.5
//   b = 7.5
//
//   [settings]                   # optional start-up texts of the settings every model has
//   Du = 2
//   Dv = 16
//   scale = 0.01
//   uMax = 10
//   vMax = 4
//
//   [analysis]                   # optional: where to look for uniform states
//   u = [-2, 2]
//   v = [-2, 2]
//
// Numbers are taken as they are spelt in the file (a decimal, or a string holding one), so a
// value is rounded once, to single precision, as a typed box's text is. The rates are
// compiled while reading, so a mistake in them is reported with the file's line.
#pragma once

#include "settings/ModelDescription.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace rd {

// "FILE:LINE: what is wrong" (LINE left out where the file as a whole is at fault).
struct ModelFileError {
    std::string message;
};

std::variant<ModelDescription, ModelFileError> parseModelFile(
    std::string_view text, std::string_view fileName);

std::variant<ModelDescription, ModelFileError> readModelFile(const std::filesystem::path& path);

} // namespace rd
