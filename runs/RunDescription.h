// What a run is, apart from how it is asked for: the model, the field, the settings as
// typed into the panels, the initial state and how long it runs. A plain value that every
// front end (the command line, the Python package, a C++ program) fills in its own way.
#pragma once

#include "engine/SimState.h"
#include "settings/Intake.h"
#include "settings/ModelDescription.h"

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace rd::runs {

enum class InitKind : std::int8_t { Zero, Random, Seeded, Load };

struct InitialState {
    InitKind kind = InitKind::Zero;
    std::uint64_t seed = 0; // Random and Seeded
    // Load: the fields of the files uFile and vFile (.npy), or, where no files are named,
    // the arrays u and v (C order, N or N x N cells).
    std::string uFile, vFile;
    std::vector<float> u, v;
};

// The model of a run: one of the four built in, or a typed model as its full text (name,
// rates, parameters with their default texts, clamp), compiled when the run is prepared.
using RunModel = std::variant<Model, ModelDescription>;

struct RunDescription {
    RunModel model = Model::GiererMeinhardt;
    bool oneD = false;
    std::string size { kDefaultSizeText }; // cells per side, as typed into the size box
    // Settings by name, as typed into the model's panel: uMax, vMax, scale, Du, Dv, and kA,
    // kB, kC of a built-in model or a typed model's parameters; the others keep their
    // start-up texts. dt and dx, the time step and the cell size, are settings of every
    // model (default 1 and 0.01).
    std::map<std::string, std::string> settings;
    InitialState initial;
    std::int32_t steps = 1000;
    bool untilSteady = false;
    // Threads of each 2D step; 0: every hardware thread from kThreadedFromCells cells a
    // side on, 1 below (see CoreShare.h). The results are the same for every count.
    unsigned threads = 0;
    // Steps between samples, recorded and checked as the window's "Iteration / Image" box;
    // 0: none.
    std::int32_t every = 0;
};

} // namespace rd::runs
