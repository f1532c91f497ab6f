#include "Integrators.h"

namespace rd {

// The entry points the window and the batch tool call.
void Step2DFromA(SimState& s, Model model) { scalar::Step2DFromA(s, model); }
void Step2DFromB(SimState& s, Model model) { scalar::Step2DFromB(s, model); }
void Step1D(SimState& s, Model model) { scalar::Step1D(s, model); }

} // namespace rd
