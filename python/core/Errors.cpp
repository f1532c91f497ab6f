#include "python/core/Errors.h"

#include "engine/EngineError.h"
#include "engine/Quoted.h"
#include "fieldfiles/Npy.h"
#include "output/OutputSet.h"
#include "runs/Errors.h"

#include <pybind11/stl.h>

namespace py = pybind11;

namespace rd::python {

namespace {

// The classes of rdsim._errors, held for the life of the interpreter.
struct Classes {
    py::handle settings, field, description, model, record, step;
};
Classes classes;

// Raises an instance of `type` made from `message`, with the given attributes.
void raise(py::handle type, const std::string& message, const py::dict& attributes = {})
{
    py::object error = type(message);
    for (const auto& [name, value] : attributes)
        py::setattr(error, name, value);
    PyErr_SetObject(type.ptr(), error.ptr());
}

py::object shapeOrNone(const std::vector<std::int64_t>& shape)
{
    if (shape.empty())
        return py::none();
    return py::tuple(py::cast(shape));
}

void translate(std::exception_ptr p)
{
    try {
        if (p)
            std::rethrow_exception(p);
    } catch (const runs::SettingsError& e) {
        // Named as a keyword argument would give it, with the intake's sentence.
        raise(classes.settings, e.setting() + "=" + rd::quoted(e.text()) + ": " + e.what(),
            py::dict(py::arg("setting") = e.setting(), py::arg("text") = e.text()));
    } catch (const runs::FieldFileError& e) {
        std::string message = e.what();
        if (!e.shape().empty())
            message = std::string("the field of ") + e.species()
                + (e.file().empty() ? "" : " " + rd::quoted(e.file())) + ": shape "
                + npy::shapeText(e.shape()) + " does not match the run, which needs "
                + npy::shapeText(e.wanted());
        raise(classes.field, message,
            py::dict(py::arg("species") = std::string(1, e.species()),
                py::arg("file") = e.file().empty() ? py::object(py::none()) : py::str(e.file()),
                py::arg("shape") = shapeOrNone(e.shape()),
                py::arg("wanted") = shapeOrNone(e.wanted())));
    } catch (const runs::ModelError& e) {
        raise(classes.model, e.what());
    } catch (const runs::DescriptionError& e) {
        raise(classes.description, e.what());
    } catch (const runs::RecordError& e) {
        raise(classes.record, e.what());
    } catch (const runs::StepFailed& e) {
        raise(classes.step, "iteration " + std::to_string(e.iteration()) + ": " + e.what(),
            py::dict(py::arg("iteration") = e.iteration()));
    } catch (const output::OutputError& e) {
        PyErr_SetString(PyExc_OSError, e.what());
    } catch (const EngineError& e) {
        PyErr_SetString(PyExc_ArithmeticError, e.what());
    }
}

} // namespace

void registerErrors()
{
    const py::module_ errors = py::module_::import("rdsim._errors");
    // Kept beyond the module's life: the translator may run until the interpreter ends.
    classes.settings = py::object(errors.attr("SettingsError")).release();
    classes.field = py::object(errors.attr("FieldError")).release();
    classes.description = py::object(errors.attr("DescriptionError")).release();
    classes.model = py::object(errors.attr("ModelError")).release();
    classes.record = py::object(errors.attr("RecordError")).release();
    classes.step = py::object(errors.attr("StepError")).release();
    py::register_exception_translator(&translate);
}

} // namespace rd::python
