#include "pictures/PngText.h"

#include "output/InputFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace rd::pictures {

namespace {

constexpr unsigned char kSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };

std::uint32_t bigEndian(const std::byte* p)
{
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v = (v << 8) | std::to_integer<std::uint32_t>(p[k]);
    return v;
}

std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

PngTextError tooLarge(std::uint64_t limit)
{
    return PngTextError(
        "its text is too large (more than " + std::to_string(limit) + " bytes)", true);
}

// A zlib stream inflated to at most `limit` bytes; throws when it is longer or broken.
std::string inflated(std::string_view data, std::uint64_t limit)
{
    z_stream z {};
    if (inflateInit(&z) != Z_OK)
        throw PngTextError("its text could not be inflated");
    std::string out;
    std::vector<char> buffer(1 << 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer.data(), buffer.size() - z.avail_out);
        if (out.size() > limit) {
            inflateEnd(&z);
            throw tooLarge(limit);
        }
        if (status == Z_BUF_ERROR && z.avail_in == 0)
            break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        throw PngTextError("the picture is damaged: its text does not inflate");
    return out;
}

// The text of one text chunk's data when it is the key's; nothing for another key.
std::optional<std::string> chunkText(
    std::string_view type, std::string_view data, const std::string& key, std::uint64_t limit)
{
    const auto end = data.find('\0');
    if (end == std::string_view::npos || data.substr(0, end) != key)
        return std::nullopt;
    std::string_view rest = data.substr(end + 1);
    const auto damaged
        = [] { return PngTextError("the picture is damaged: a text chunk is malformed"); };
    std::string text;
    if (type == "tEXt") {
        text = latin1ToUtf8(rest);
    } else if (type == "zTXt") {
        if (rest.empty() || rest[0] != 0)
            throw damaged();
        text = latin1ToUtf8(inflated(rest.substr(1), limit));
    } else { // iTXt: compression flag and method, language tag, translated key, text
        if (rest.size() < 2)
            throw damaged();
        const bool compressed = rest[0] != 0;
        rest.remove_prefix(2);
        for (int skipped = 0; skipped < 2; ++skipped) {
            const auto zero = rest.find('\0');
            if (zero == std::string_view::npos)
                throw damaged();
            rest.remove_prefix(zero + 1);
        }
        text = compressed ? inflated(rest, limit) : std::string(rest);
    }
    if (text.size() > limit)
        throw tooLarge(limit);
    return text;
}

} // namespace

std::optional<std::string> pngText(
    const std::filesystem::path& file, const std::string& key, std::uint64_t limit)
{
    try {
        output::InputFile in(file);
        std::vector<std::byte> head;
        in.readUpTo(head, sizeof kSignature);
        if (head.size() < sizeof kSignature || std::memcmp(head.data(), kSignature, 8) != 0)
            throw PngTextError("not a PNG picture");
        std::uint64_t at = sizeof kSignature;
        const auto cutShort = [&at] {
            return PngTextError("the picture is cut short, after " + std::to_string(at) + " bytes");
        };
        // A compressed text may be a little longer than the text itself.
        const std::uint64_t largest = limit + limit / 64 + 4096;
        for (;;) {
            std::vector<std::byte> header;
            in.readUpTo(header, 8);
            if (header.size() < 8)
                throw cutShort();
            const std::uint32_t length = bigEndian(header.data());
            const std::string type(reinterpret_cast<const char*>(header.data() + 4), 4);
            if (length > 0x7FFFFFFFu)
                throw PngTextError("the picture is damaged: a chunk is longer than PNG allows");
            if (type == "IEND")
                return std::nullopt;
            if (type != "tEXt" && type != "zTXt" && type != "iTXt") {
                if (at + 12 + length > in.size())
                    throw cutShort();
                in.skip(std::uint64_t { length } + 4);
                at += 12 + std::uint64_t { length };
                continue;
            }
            // A text chunk: its key comes first, at most 79 bytes.
            std::vector<std::byte> body;
            in.readUpTo(body, std::min<std::size_t>(length, 80));
            const std::string_view start(reinterpret_cast<const char*>(body.data()), body.size());
            if (start.substr(0, start.find('\0')) == key && start.find('\0') != start.npos) {
                if (length > largest)
                    throw tooLarge(limit);
                in.readUpTo(body, length - body.size() + 4);
                if (body.size() < std::size_t { length } + 4)
                    throw cutShort();
                uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
                crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), length);
                if (crc != bigEndian(body.data() + length))
                    throw PngTextError("the picture is damaged: its record fails its CRC");
                return chunkText(type,
                    std::string_view(reinterpret_cast<const char*>(body.data()), length), key,
                    limit);
            }
            if (at + 12 + length > in.size())
                throw cutShort();
            in.skip(std::uint64_t { length } - body.size() + 4);
            at += 12 + std::uint64_t { length };
        }
    } catch (const output::InputError& e) {
        throw PngTextError(e.what());
    }
}

} // namespace rd::pictures
