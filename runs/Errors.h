// What can go wrong with a run, as exceptions that say it in the user's words. The front
// ends decide what each means to them (an exit status, a Python exception).
#pragma once

#include "engine/Quoted.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace rd::runs {

// A setting the intake refuses: its name ("kA", or "size" and "every" for the field size
// and the sample period), the text as given, and the intake's sentence.
class SettingsError : public std::runtime_error {
public:
    SettingsError(std::string setting, std::string text, const std::string& message)
        : std::runtime_error(message)
        , setting_(std::move(setting))
        , text_(std::move(text))
    { }
    const std::string& setting() const noexcept { return setting_; }
    const std::string& text() const noexcept { return text_; }

private:
    std::string setting_, text_;
};

// A run description that does not hold together (no stable state for a seeded start, too
// few cells for an analysis, a loaded field of the wrong size): one sentence.
class DescriptionError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A typed model whose text cannot be used (a rate that does not parse, a bad parameter
// name or default): the model's name and the compiler's sentence.
class ModelError : public DescriptionError {
    using DescriptionError::DescriptionError;
};

// A loaded field that cannot be used: the species, the file as given (empty for an array)
// and why; for a field of the wrong shape also its shape and the one the run needs.
class FieldFileError : public DescriptionError {
public:
    FieldFileError(char species, const std::string& file, const std::string& why,
        std::vector<std::int64_t> shape = {}, std::vector<std::int64_t> wanted = {})
        : DescriptionError(describe(species, file, why))
        , species_(species)
        , file_(file)
        , why_(why)
        , shape_(std::move(shape))
        , wanted_(std::move(wanted))
    { }
    char species() const noexcept { return species_; }
    const std::string& file() const noexcept { return file_; }
    const std::string& why() const noexcept { return why_; }
    // Both empty unless the field's shape is the fault.
    const std::vector<std::int64_t>& shape() const noexcept { return shape_; }
    const std::vector<std::int64_t>& wanted() const noexcept { return wanted_; }

private:
    static std::string describe(char species, const std::string& file, const std::string& why)
    {
        std::string text = "the field of ";
        text.push_back(species);
        if (!file.empty())
            text.append(" ").append(rd::quoted(file));
        return text.append(": ").append(why);
    }

    char species_;
    std::string file_, why_;
    std::vector<std::int64_t> shape_, wanted_;
};

// A seeded start at settings without a stable uniform state to start from.
class SeededStartError : public DescriptionError {
    using DescriptionError::DescriptionError;
};

// A record that cannot be replayed: unreadable, or without what a run needs.
class RecordError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A step that failed: the engine's message and the iteration (counted from 1) it failed in.
class StepFailed : public std::runtime_error {
public:
    StepFailed(const std::string& message, std::int32_t iteration)
        : std::runtime_error(message)
        , iteration_(iteration)
    { }
    std::int32_t iteration() const noexcept { return iteration_; }

private:
    std::int32_t iteration_;
};

// The caller asked the run to stop (an interrupt); thrown between two steps, so the state
// is whole.
class Cancelled : public std::runtime_error {
public:
    Cancelled()
        : std::runtime_error("interrupted")
    { }
};

} // namespace rd::runs
