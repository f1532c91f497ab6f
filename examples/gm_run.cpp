// A Gierer-Meinhardt run with the runs library alone, no command line: 20,000 steps from
// a random start, what the run found, and its final field and record, written exactly as
// `rdsim-batch --save` writes them (so `rdsim-batch replay gm.json` reproduces it).
#include "analysis/RunTracker.h"
#include "runs/Simulation.h"

#include <cstdio>
#include <string>

int main(int argc, char* argv[])
{
    rd::runs::RunDescription request;
    request.model = rd::Model::GiererMeinhardt;
    request.size = "128";
    request.settings["kA"] = "0.1"; // as typed into the model's panel
    request.initial.kind = rd::runs::InitKind::Random;
    request.initial.seed = 12345;

    rd::runs::Simulation sim(request, "gm_run");
    sim.advance(20000);

    const rd::runs::RunFindings f = sim.findings();
    std::printf("run state: %s after %d steps\n", rd::analysis::runStateName(f.state), f.steps);
    std::printf("predicted wavelength: %.4g cells (the uniform state is %s)\n", f.predicted,
        f.predictedClass.c_str());
    std::printf("measured wavelength: %.4g cells\n", f.measured);
    for (const std::string& file : sim.save(argc > 1 ? argv[1] : "gm"))
        std::printf("wrote %s\n", file.c_str());
}
