// A simulated map's points as rows of text that hold everything the CSV and the mosaic need,
// bit for bit (the tile's values, not the field): the rows of the parts of a split map.
#include "runs/Maps.h"
#include "runs/Run.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace rd::runs {

namespace {

// Doubles as the hex of their bits: NaN and every last bit survive the text.
QString bitsText(double d)
{
    return QString::number(std::bit_cast<std::uint64_t>(d), 16);
}

std::optional<double> bitsValue(const QJsonValue& v)
{
    bool ok = false;
    const std::uint64_t bits = v.toString().toULongLong(&ok, 16);
    return ok ? std::optional(std::bit_cast<double>(bits)) : std::nullopt;
}

QString floatBitsText(float f)
{
    return QString::number(std::bit_cast<std::uint32_t>(f), 16);
}

std::optional<float> floatBitsValue(const QJsonValue& v)
{
    bool ok = false;
    const std::uint32_t bits = v.toString().toUInt(&ok, 16);
    return ok ? std::optional(std::bit_cast<float>(bits)) : std::nullopt;
}

// The floats little-endian, whatever the machine's order.
QByteArray floatBytes(const std::vector<float>& u)
{
    QByteArray bytes(static_cast<qsizetype>(u.size() * 4), '\0');
    for (std::size_t i = 0; i < u.size(); ++i) {
        const auto w = std::bit_cast<std::uint32_t>(u[i]);
        for (int b = 0; b < 4; ++b)
            bytes[static_cast<qsizetype>(4 * i) + b] = static_cast<char>((w >> (8 * b)) & 0xFF);
    }
    return bytes;
}

std::vector<float> floatsOf(const QByteArray& bytes)
{
    std::vector<float> u(static_cast<std::size_t>(bytes.size() / 4));
    for (std::size_t i = 0; i < u.size(); ++i) {
        std::uint32_t w = 0;
        for (int b = 0; b < 4; ++b)
            w |= std::uint32_t(static_cast<unsigned char>(bytes[static_cast<qsizetype>(4 * i) + b]))
                << (8 * b);
        u[i] = std::bit_cast<float>(w);
    }
    return u;
}

// A message as a run gives it: one line without control characters.
bool plainText(const std::string& s)
{
    return std::none_of(s.begin(), s.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

} // namespace

std::string pointRow(const SimulatedPoint& p)
{
    const QJsonObject row {
        { "state", static_cast<int>(p.state) },
        { "steps", static_cast<int>(p.steps) },
        { "measured", bitsText(p.measured) },
        { "contrast", bitsText(p.contrast) },
        { "message", QString::fromStdString(p.message) },
        { "lo", floatBitsText(p.field.lo) },
        { "hi", floatBitsText(p.field.hi) },
        { "tile", QString::fromLatin1(floatBytes(p.field.values).toBase64()) },
    };
    return QJsonDocument(row).toJson(QJsonDocument::Compact).toStdString();
}

std::optional<SimulatedPoint> pointFromRow(const std::string& row, std::size_t values)
{
    const QJsonDocument doc
        = QJsonDocument::fromJson(QByteArray(row.data(), static_cast<qsizetype>(row.size())));
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    SimulatedPoint p;
    const int state = o["state"].toInt(-1);
    const auto measured = bitsValue(o["measured"]);
    const auto contrast = bitsValue(o["contrast"]);
    const auto lo = floatBitsValue(o["lo"]);
    const auto hi = floatBitsValue(o["hi"]);
    const auto bytes = QByteArray::fromBase64Encoding(
        o["tile"].toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const double steps = o["steps"].toDouble(-1);
    const std::string message = o["message"].toString().toStdString();
    if (state < 0 || state > static_cast<int>(analysis::RunState::ArithmeticError)
        || !(steps >= 0 && steps <= kMaxSteps) || steps != std::floor(steps) || !measured
        || !contrast || !lo || !hi || !o["message"].isString() || !plainText(message) || !bytes
        || static_cast<std::size_t>(bytes.decoded.size()) != 4 * values)
        return std::nullopt;
    p.state = static_cast<analysis::RunState>(state);
    p.steps = static_cast<std::int32_t>(steps);
    p.measured = *measured;
    p.contrast = *contrast;
    p.message = message;
    p.field.lo = *lo;
    p.field.hi = *hi;
    p.field.values = floatsOf(bytes.decoded);
    p.ran = true;
    return p;
}

} // namespace rd::runs
