// One run held for Python, stepped with the GIL released.
#include "python/core/Arrays.h"
#include "python/core/Bindings.h"
#include "python/core/RunDescription.h"
#include "python/core/Watchman.h"
#include "runs/Errors.h"
#include "runs/Simulation.h"

#include <QJsonDocument>

#include <pybind11/stl.h>

#include <atomic>
#include <memory>

namespace py = pybind11;

namespace rd::python {

namespace {

// A run takes at most the command line's steps, so that every record replays.
constexpr std::int64_t kMostSteps = runs::kMaxSteps;

py::dict findingsDict(const runs::RunFindings& f)
{
    py::dict d;
    d["state"] = analysis::runStateName(f.state);
    d["steps"] = f.steps;
    d["state_u"] = f.stateU;
    d["state_v"] = f.stateV;
    d["predicted_class"] = f.predictedClass;
    d["predicted"] = f.predicted;
    d["measured"] = f.measured;
    d["contrast"] = f.contrast;
    return d;
}

std::string jsonText(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

class HeldSimulation {
public:
    explicit HeldSimulation(const py::dict& description)
        : request_(runDescription(description))
        , sim_(std::make_unique<runs::Simulation>(request_, kProgram))
    { }

    std::int32_t step(std::int64_t n, py::object report, double delay)
    {
        return advance(n, std::move(report), delay, false);
    }
    std::int32_t untilSteady(std::int64_t most, py::object report, double delay)
    {
        return advance(most, std::move(report), delay, true);
    }

    std::int32_t steps() const { return steps_.load(std::memory_order_relaxed); }

    py::array_t<float> u()
    {
        const Busy busy(*this);
        return fieldArray(sim_->u(), n(), oneD());
    }
    py::array_t<float> v()
    {
        const Busy busy(*this);
        return fieldArray(sim_->v(), n(), oneD());
    }

    // Copies the current fields into `u` and `v`, writable C-ordered float32 arrays of the
    // fields' shape (a frame of a series, with no array made in between).
    void copyInto(py::array_t<float> u, py::array_t<float> v)
    {
        const Busy busy(*this);
        for (const auto& [target, cells] :
            { std::pair { &u, sim_->u() }, std::pair { &v, sim_->v() } }) {
            const bool cOrdered = (target->flags() & py::array::c_style) != 0;
            if (!cOrdered || !target->writeable()
                || static_cast<std::size_t>(target->size()) != cells.size())
                throw py::value_error("a frame needs writable C-ordered float32 arrays of "
                    + std::to_string(cells.size()) + " cells");
            std::copy(cells.begin(), cells.end(), target->mutable_data());
        }
    }

    // Starts the run afresh from the given fields (None: the current one), as a run that
    // loads them: the steps count from 0 again. Nothing changes when they are refused.
    void load(const py::object& u, const py::object& v)
    {
        const Busy busy(*this);
        runs::RunDescription request = request_;
        request.initial = {};
        request.initial.kind = runs::InitKind::Load;
        request.initial.u = u.is_none() ? std::vector<float>(sim_->u().begin(), sim_->u().end())
                                        : fieldCells(u, 'u', n(), oneD(), signedValues());
        request.initial.v = v.is_none() ? std::vector<float>(sim_->v().begin(), sim_->v().end())
                                        : fieldCells(v, 'v', n(), oneD(), signedValues());
        auto next = std::make_unique<runs::Simulation>(request, kProgram);
        request_ = std::move(request);
        sim_ = std::move(next);
        steps_ = 0;
    }

    py::dict findings()
    {
        const Busy busy(*this);
        return findingsDict(sim_->findings());
    }
    std::string record()
    {
        const Busy busy(*this);
        return jsonText(sim_->record());
    }
    std::vector<std::string> save(const std::string& prefix)
    {
        const Busy busy(*this);
        return sim_->save(prefix);
    }

    std::int32_t n() const { return sim_->prepared().state.nCells; }
    bool signedValues() const { return runs::signedFields(request_.model); }
    bool oneD() const { return sim_->prepared().oneD; }
    int threads() const { return sim_->prepared().threads; }

private:
    // One caller at a time: a second thread is refused rather than let in while the state
    // is being stepped.
    class Busy {
    public:
        explicit Busy(HeldSimulation& s)
            : flag_(s.busy_)
        {
            if (flag_.exchange(true))
                throw std::runtime_error("the simulation is in use by another thread");
        }
        ~Busy() { flag_ = false; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        std::atomic<bool>& flag_;
    };

    std::int32_t advance(std::int64_t n, py::object report, double delay, bool untilSteady)
    {
        const Busy busy(*this);
        if (n < 0)
            throw py::value_error("the steps must be 0 or more, not " + std::to_string(n));
        if (n > kMostSteps - steps())
            throw py::value_error("a run takes at most " + std::to_string(kMostSteps)
                + " steps in all, as on the command line; it has taken " + std::to_string(steps())
                + " (assigning its fields starts a run afresh)");
        const std::int32_t start = steps();
        Watchman watch(std::move(report), delay, cells());
        const runs::StepHooks hooks = watch.hooks(&steps_, start);
        std::int32_t taken = 0;
        {
            py::gil_scoped_release released;
            try {
                const auto count = static_cast<std::int32_t>(n);
                taken = untilSteady ? sim_->advanceUntilSteady(count, hooks)
                                    : sim_->advance(count, hooks);
            } catch (const runs::Cancelled&) {
                taken = sim_->steps() - start;
            }
            steps_ = sim_->steps();
        }
        watch.raisePending();
        return taken;
    }

    std::int64_t cells() const
    {
        return oneD() ? std::int64_t { n() } : std::int64_t { n() } * n();
    }

    runs::RunDescription request_;
    std::unique_ptr<runs::Simulation> sim_;
    std::atomic<std::int32_t> steps_ { 0 };
    std::atomic<bool> busy_ { false };
};

} // namespace

void bindSimulation(py::module_& m)
{
    py::class_<HeldSimulation>(m, "Simulation")
        .def(py::init<const py::dict&>(), py::arg("description"))
        .def("step", &HeldSimulation::step, py::arg("n"), py::arg("report") = py::none(),
            py::arg("delay") = 0.0)
        .def("until_steady", &HeldSimulation::untilSteady, py::arg("most"),
            py::arg("report") = py::none(), py::arg("delay") = 0.0)
        .def_property_readonly("steps", &HeldSimulation::steps)
        .def_property_readonly("n", &HeldSimulation::n)
        .def_property_readonly("one_d", &HeldSimulation::oneD)
        .def_property_readonly("threads", &HeldSimulation::threads)
        .def("u", &HeldSimulation::u)
        .def("v", &HeldSimulation::v)
        .def("copy_into", &HeldSimulation::copyInto, py::arg("u").noconvert(),
            py::arg("v").noconvert())
        .def("load", &HeldSimulation::load, py::arg("u"), py::arg("v"))
        .def("findings", &HeldSimulation::findings)
        .def("record", &HeldSimulation::record)
        .def("save", &HeldSimulation::save, py::arg("prefix"));
}

} // namespace rd::python
