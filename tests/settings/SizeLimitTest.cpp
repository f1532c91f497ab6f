// The size box under each front end's limit: the window reduces a larger size to its largest
// field, the batch tool refuses it. A size half a cell above the largest field rounds half to
// even after one is subtracted, so a limit whose last index is odd (4096, 100) takes it up.
#include "settings/Intake.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* size;
    rd::SizeLimit limit;
    int nCells; // 0: refused with `message`
    bool capped;
    const char* message;
};

TEST(SizeLimit, EachFrontEndCapsOrRefusesAboveItsLargestField)
{
    constexpr rd::SizeLimit batch { 4096, false }, window = rd::kWindowSizeLimit;
    constexpr rd::SizeLimit oddCap { 100, true };
    const char* const above = "Field Size: \"%s\" is out of range (at most 4096 cells per side).";
    for (const Case& c : {
             Case { "4096", batch, 4096, false, "" },
             Case { "4095.5", batch, 4095, false, "" }, // 4094.5 rounds to 4094
             Case { "4096.5", batch, 0, false, above }, // 4095.5 rounds to 4096
             Case { "4097", batch, 0, false, above },
             Case { "1e400", batch, 0, false, above },
             Case { "0.4", batch, 0, false, "Field Size: \"0.4\" gives fewer than 1 cell." },
             Case { "4096", window, 129, true, "" },
             Case { "129.5", window, 129, false, "" },
             Case { "128.5", window, 129, false, "" }, // 127.5 rounds to 128
             Case { "127.5", window, 127, false, "" },
             Case { "130.5", window, 129, true, "" },
             Case { "2147483649", window, 129, true, "" }, // past the 32-bit range
             Case { "2.5", window, 3, false, "" },
             Case { "0.6", window, 1, false, "" },
             Case { "1e400", window, 0, false,
                 "Field Size: \"1e400\" is out of range (at most 129 cells are used)." },
             Case { "100.5", oddCap, 100, true, "" },
             Case { "100.4", oddCap, 100, false, "" },
         }) {
        rd::IntakeInput in = rd::defaultIntakeInput(rd::Model::GrayScott, false);
        in.sizeText = c.size;
        in.sizeLimit = c.limit;
        const auto result = rd::evaluateIntake(in, 1.0f, 0.01f);
        const auto* values = std::get_if<rd::IntakeValues>(&result);
        const auto* error = std::get_if<rd::IntakeError>(&result);
        if (c.nCells == 0) {
            ASSERT_NE(error, nullptr) << c.size;
            std::string expected = c.message;
            if (const auto at = expected.find("%s"); at != std::string::npos)
                expected.replace(at, 2, c.size);
            EXPECT_EQ(error->message, expected);
            EXPECT_EQ(error->boxIndex, rd::kSizeBox);
        } else {
            ASSERT_NE(values, nullptr) << c.size << ": " << (error ? error->message : "");
            EXPECT_EQ(values->nCells, c.nCells) << c.size;
            EXPECT_EQ(values->lastIdx, c.nCells - 1) << c.size;
            EXPECT_EQ(values->lastInner, c.nCells - 2) << c.size;
            EXPECT_EQ(values->sizeCapped, c.capped) << c.size;
        }
    }
}

} // namespace
