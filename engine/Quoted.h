// A typed text or a file name in double quotes, for messages, written once for every part
// of the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rd {

// `text` in double quotes. A text longer than `shown` bytes is cut there and marked "...",
// so that a message stays readable; the cut backs off to the start of a UTF-8 sequence so
// that the message stays valid text.
inline std::string quoted(std::string_view text, std::size_t shown = std::string_view::npos)
{
    std::size_t kept = text.size();
    if (kept > shown) {
        kept = shown;
        while (kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80)
            --kept;
    }
    std::string out = "\"";
    out.append(text.substr(0, kept));
    if (kept < text.size())
        out.append("...");
    out += '"';
    return out;
}

} // namespace rd
