// A typed text or a file name in double quotes, for messages, written once for every part
// of the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rd {

namespace detail {

// The length of the valid UTF-8 sequence at the start of `s` that is not a control character
// (C1 controls included), or 0.
inline std::size_t printableSequence(std::string_view s)
{
    const auto byte = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(0);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2
        : lead >= 0xE0 && lead <= 0xEF                      ? 3
        : lead >= 0xF0 && lead <= 0xF4                      ? 4
                                                            : 0;
    if (length == 0 || s.size() < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, UTF-16 surrogates, values beyond U+10FFFF and the C1 controls.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0)
        || (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90)
        || (lead == 0xC2 && byte(1) < 0xA0))
        return 0;
    return length;
}

} // namespace detail

// `text` in double quotes. A text longer than `shown` bytes is cut there and marked "...",
// so that a message stays readable; the cut backs off to the start of a UTF-8 sequence so
// that the message stays valid text. A quote and a backslash are escaped with a backslash, and
// control characters and bytes that are not UTF-8 are written as escapes (\n, \t, \r, \xHH),
// so that a text from a file can neither forge a line of a message nor reach the terminal
// as a command.
inline std::string quoted(std::string_view text, std::size_t shown = std::string_view::npos)
{
    std::size_t kept = text.size();
    if (kept > shown) {
        kept = shown;
        while (kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80)
            --kept;
    }
    std::string out = "\"";
    for (std::size_t k = 0; k < kept;) {
        const char c = text[k];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
            ++k;
            continue;
        }
        if (const std::size_t n = detail::printableSequence(text.substr(k, kept - k)); n > 0) {
            out.append(text.substr(k, n));
            k += n;
            continue;
        }
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else {
            constexpr char digits[] = "0123456789abcdef";
            const auto b = static_cast<unsigned char>(c);
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 0xF];
        }
        ++k;
    }
    if (kept < text.size())
        out.append("...");
    out += '"';
    return out;
}

} // namespace rd
