// The names of the settings and the models, as a run description, a record, the command
// line and the Python package write them.
#pragma once

#include "engine/SimState.h"
#include "settings/ModelBoxes.h"

#include <optional>
#include <string>
#include <string_view>

namespace rd::runs {

// uMax, vMax, scale, Du, Dv, kA, kB, kC.
std::optional<BoxField> fieldByName(std::string_view name);
std::string_view settingName(BoxField field); // "" for a field without a name
// gm, schnakenberg, gray-scott, oregonator.
std::string_view modelName(Model model);
std::optional<Model> modelByName(std::string_view name);
// For messages: "uMax, vMax, ... or kC" and "gm, ... or oregonator".
std::string settingNamesText();
std::string modelNamesText();

// Slot of the box that sets `field` in the model's panel, or -1 when the model has none.
int slotOf(Model model, BoxField field);

} // namespace rd::runs
