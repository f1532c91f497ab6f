#include "settings/ModelFile.h"

#include "engine/Quoted.h"
#include "settings/NumberText.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace rd {

namespace {

// A model file is a few lines; anything far larger is not one.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

struct Failure {
    std::string message;
};

class Reader {
public:
    Reader(std::string_view text, std::string_view fileName)
        : text_(text)
        , file_(fileName)
    {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find('\n', start);
            lines_.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
    }

    ModelDescription read(const toml::table& root)
    {
        checkKeys(root,
            { "name", "rate-u", "rate-v", "clamp", "parameters", "settings", "analysis" }, "");
        ModelDescription d;
        d.name = requiredString(root, "name");
        if (const std::string why = modelNameComplaint(d.name); !why.empty())
            fail(root.get("name"), why);
        d.rateU = requiredString(root, "rate-u");
        d.rateV = requiredString(root, "rate-v");
        const toml::node* clamp = root.get("clamp");
        if (clamp == nullptr)
            fail(nullptr,
                "clamp = true or false is missing: true sets negative results to 0 after each "
                "step, as the built-in models do; false lets the variables go negative");
        if (!clamp->is_boolean())
            fail(clamp, "clamp must be true or false");
        d.clamp = clamp->as_boolean()->get();
        readParameters(root, d);
        readSettings(root, d);
        readBounds(root, d);
        compile(root, d);
        return d;
    }

    [[noreturn]] void fail(const toml::node* at, const std::string& what) const
    {
        failAtLine(at == nullptr ? 0 : at->source().begin.line, what);
    }

    [[noreturn]] void failAtLine(std::uint32_t line, const std::string& what) const
    {
        throw Failure { file_ + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": "
            + what };
    }

private:
    std::string_view text_;
    std::string file_;
    std::vector<std::string_view> lines_;

    const toml::table* table(const toml::table& root, std::string_view key)
    {
        const toml::node* n = root.get(key);
        if (n != nullptr && !n->is_table())
            fail(n, std::string(key) + " must be a table: [" + std::string(key) + "]");
        return n == nullptr ? nullptr : n->as_table();
    }

    void checkKeys(
        const toml::table& t, std::initializer_list<std::string_view> allowed, std::string_view in)
    {
        for (auto&& [key, node] : t)
            if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) {
                std::string list;
                for (std::string_view a : allowed)
                    list += (list.empty() ? "" : ", ") + std::string(a);
                failAtLine(key.source().begin.line,
                    "unknown key " + rd::quoted(key.str(), 40)
                        + (in.empty() ? "" : " in [" + std::string(in) + "]") + "; the keys are "
                        + list);
            }
    }

    std::string requiredString(const toml::table& root, std::string_view key)
    {
        const toml::node* n = root.get(key);
        if (n == nullptr)
            fail(nullptr, std::string(key) + " is missing");
        if (!n->is_string())
            fail(n, std::string(key) + " must be a text in quotes");
        return std::string(n->as_string()->get());
    }

    // A number as spelt in the file, or the text of a string.
    std::string numberText(const toml::node& n, const std::string& what)
    {
        if (n.is_string())
            return std::string(n.as_string()->get());
        if (!n.is_integer() && !n.is_floating_point())
            fail(&n, what + " must be a number");
        const toml::source_region& s = n.source();
        if (s.begin.line != s.end.line || s.begin.line == 0 || s.begin.line > lines_.size())
            fail(&n, what + " must be a number on one line");
        const std::string_view line = lines_[s.begin.line - 1];
        const std::size_t from = s.begin.column - 1;
        return std::string(line.substr(from, s.end.column - s.begin.column));
    }

    void readParameters(const toml::table& root, ModelDescription& d)
    {
        const toml::table* params = table(root, "parameters");
        if (params == nullptr)
            return;
        std::vector<std::pair<toml::source_position, ParameterText>> found;
        for (auto&& [key, node] : *params) {
            const std::string name(key.str());
            const std::string text = numberText(node, "parameter " + name);
            if (!parseFloat(text).ok())
                fail(&node,
                    "parameter " + name + ": " + rd::quoted(text, 40)
                        + " is not a decimal number within single precision");
            found.push_back({ key.source().begin, { name, text } });
        }
        // The table keeps its keys sorted; the model's order is the file's.
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return a.first.line != b.first.line ? a.first.line < b.first.line
                                                : a.first.column < b.first.column;
        });
        for (auto& f : found)
            d.parameters.push_back(std::move(f.second));
    }

    void readSettings(const toml::table& root, ModelDescription& d)
    {
        const toml::table* settings = table(root, "settings");
        if (settings == nullptr)
            return;
        checkKeys(*settings, { "uMax", "vMax", "scale", "Du", "Dv" }, "settings");
        const std::pair<const char*, std::optional<std::string>*> fields[] = { { "uMax", &d.uMax },
            { "vMax", &d.vMax }, { "scale", &d.scale }, { "Du", &d.Du }, { "Dv", &d.Dv } };
        for (const auto& [key, target] : fields)
            if (const toml::node* n = settings->get(key)) {
                const std::string text = numberText(*n, key);
                if (!parseDouble(text).ok())
                    fail(n,
                        std::string(key) + ": " + rd::quoted(text, 40)
                            + " is not a decimal number");
                *target = text;
            }
    }

    std::pair<double, double> range(const toml::table& t, const char* key)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr)
            fail(&t, "[analysis] needs both u and v, as u = [-2, 2]");
        const toml::array* a = n->as_array();
        if (a == nullptr || a->size() != 2 || !(*a)[0].is_number() || !(*a)[1].is_number())
            fail(n, std::string(key) + " must be two numbers, as [-2, 2]");
        const double low = *(*a)[0].value<double>(), high = *(*a)[1].value<double>();
        if (!(low < high) || !std::isfinite(low) || !std::isfinite(high))
            fail(n, std::string(key) + " must be finite and its first number below its second");
        return { low, high };
    }

    void readBounds(const toml::table& root, ModelDescription& d)
    {
        const toml::table* analysis = table(root, "analysis");
        if (analysis == nullptr)
            return;
        checkKeys(*analysis, { "u", "v" }, "analysis");
        const auto [uLow, uHigh] = range(*analysis, "u");
        const auto [vLow, vHigh] = range(*analysis, "v");
        d.bounds = AnalysisBounds { uLow, uHigh, vLow, vHigh };
    }

    void compile(const toml::table& root, const ModelDescription& d)
    {
        std::vector<std::string> names;
        for (const ParameterText& p : d.parameters)
            names.push_back(p.name);
        const auto compiled = typed::compileRates(d.rateU, d.rateV, names);
        const auto* e = std::get_if<typed::CompileError>(&compiled);
        if (e == nullptr)
            return;
        const toml::node* at = nullptr;
        if (e->source == typed::ErrorSource::RateU)
            at = root.get("rate-u");
        else if (e->source == typed::ErrorSource::RateV)
            at = root.get("rate-v");
        else if (const toml::table* params = root.get_as<toml::table>("parameters"))
            for (auto&& [key, node] : *params)
                if (e->message.find(rd::quoted(key.str(), 30)) != std::string::npos)
                    at = &node;
        fail(at, describeCompileError(*e));
    }
};

} // namespace

std::variant<ModelDescription, ModelFileError> parseModelFile(
    std::string_view text, std::string_view fileName)
{
    Reader reader(text, fileName);
    try {
        const toml::table root = toml::parse(text, fileName);
        return reader.read(root);
    } catch (const toml::parse_error& e) {
        return ModelFileError { std::string(fileName) + ":" + std::to_string(e.source().begin.line)
            + ": " + std::string(e.description()) };
    } catch (const Failure& f) {
        return ModelFileError { f.message };
    }
}

std::variant<ModelDescription, ModelFileError> readModelFile(const std::filesystem::path& path)
{
    const std::string name = path.string();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return ModelFileError { name + ": is a folder, not a model file" };
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxFileBytes)
        return ModelFileError { name + ": is larger than 1 MiB; a model file is a few lines" };
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ModelFileError { name + ": cannot be read (" + std::strerror(errno) + ")" };
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return ModelFileError { name + ": cannot be read (" + std::strerror(errno) + ")" };
    return parseModelFile(content.str(), name);
}

} // namespace rd
