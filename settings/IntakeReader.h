// The reading of one intake's boxes, shared by the built-in models' intake (Intake.cpp) and
// the typed models' (TypedIntake.cpp): the same text-to-number rules, precision, derivations
// and refusals, whichever panel or model the boxes belong to. Internal to settings/.
#pragma once

#include "settings/Intake.h"

#include <optional>
#include <string>
#include <string_view>

namespace rd::intake {

class Reader {
public:
    Reader(std::string_view itersText, std::string_view sizeText, SizeLimit sizeLimit, bool oneD,
        float dt, float dx);

    // Text2 and Text3: the iterations between pictures and the field size.
    bool readIters();
    bool readSize();
    // One box of the general kinds (ranges, scaling factor, Du, Dv) or a built-in constant,
    // refused as `index` and `name`.
    bool readBox(BoxField field, int index, std::string_view name, const std::string& text);
    // A typed model's parameter: a single-precision number, as a built-in constant's box.
    bool readParameter(int index, std::string_view name, const std::string& text, float& out);

    IntakeValues values;
    std::optional<IntakeError> error;

private:
    bool fail(int index, std::string_view name, std::string_view typed, std::string_view why);
    bool diffusion(
        float D, float& c, float& s, int index, std::string_view name, std::string_view text);

    std::string_view itersText_, sizeText_;
    SizeLimit sizeLimit_;
    bool oneD_;
    float dt_, dx_;
};

} // namespace rd::intake
