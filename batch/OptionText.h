// The pieces of the option parser its files share: the refusal of a value, and whole
// numbers and sweep ranges from their texts.
#pragma once

#include "batch/Options.h"
#include "engine/Quoted.h"
#include "settings/WholeNumber.h"

#include <string>
#include <string_view>
#include <vector>

namespace rd::batch {

// Long values are cut so that the message stays one readable line.
inline std::string quotedValue(std::string_view value)
{
    return rd::quoted(value, 80);
}

// Throws UsageError: `option "value": why`.
[[noreturn]] inline void refuse(
    std::string_view option, std::string_view value, std::string_view why)
{
    throw UsageError(std::string(option) + " " + quotedValue(value) + ": " + std::string(why));
}

// The texts of a --sweep range FROM:TO:COUNT; `arg` is the whole NAME=RANGE for messages.
std::vector<std::string> sweepValues(std::string_view arg, std::string_view range);
// The seeds of a --sweep seed=FROM:TO:COUNT: whole numbers, evenly spaced.
std::vector<std::string> seedSweepValues(std::string_view arg, std::string_view range);

// Every command takes -h as well as --help.
inline bool isHelp(std::string_view arg)
{
    return arg == "--help" || arg == "-h";
}

} // namespace rd::batch
