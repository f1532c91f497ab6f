// The names of the settings and the models, as a run description, a record, the command
// line and the Python package write them.
#pragma once

#include "engine/SimState.h"
#include "runs/RunDescription.h"
#include "settings/ModelBoxes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rd::runs {

// uMax, vMax, scale, Du, Dv, kA, kB, kC.
std::optional<BoxField> fieldByName(std::string_view name);
std::string_view settingName(BoxField field); // "" for a field without a name
// gm, schnakenberg, gray-scott, oregonator.
std::string_view modelName(Model model);
std::optional<Model> modelByName(std::string_view name);
// For messages: "uMax, vMax, ..., kC, dt or dx" and "gm, ... or oregonator".
std::string settingNamesText();
std::string modelNamesText();

// The scheme's constants, settings of every model: the time step "dt" and the cell size "dx".
bool isStepSize(std::string_view name);

// Every setting a model takes, in the order of its intake: uMax, vMax, scale, Du, Dv, the
// built-in model's kA, kB, kC (those it has) or the typed model's parameters, then dt and dx.
std::vector<std::string> settingNames(const RunModel& model);
// The same for messages: "uMax, vMax, ..., a, b, dt or dx".
std::string settingNamesText(const RunModel& model);

// "Gierer-Meinhardt", or a typed model's own name.
std::string modelDisplayName(const RunModel& model);

// Slot of the box that sets `field` in the model's panel, or -1 when the model has none.
int slotOf(Model model, BoxField field);

// What a setting is, for the command line's labels: its panel box's name without the model's
// ("F (feed rate)"), but in the words of the literature where the panel's would mislead a
// reader of it: Gray-Scott's kB is the rate k of the classic form, "k (removal of u beyond
// the feed)" (u is removed at kA + kB). "" for a field the model has no box for.
std::string settingMeaning(Model model, BoxField field);
// The same by the setting's name for any model: a typed model's general settings by what they
// are ("Du", "scaling factor"), its parameters as "parameter".
std::string settingMeaning(const RunModel& model, std::string_view name);

} // namespace rd::runs
