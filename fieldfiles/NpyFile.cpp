#include "fieldfiles/Npy.h"

#include "output/InputFile.h"

namespace rd::npy {

std::variant<Array, std::string> load(
    const std::string& file, std::vector<std::byte>* bytesRead, bool signedValues)
{
    try {
        // Only a regular file, opened without blocking: a FIFO named as a field cannot hang
        // the program, and the file's size bounds what is read.
        output::InputFile in(file);
        std::vector<std::byte> bytes;
        // Magic, version and header length first (at most 12 bytes), then the header.
        in.readUpTo(bytes, 10);
        if (bytes.size() >= 8 && std::to_integer<int>(bytes[6]) >= 2)
            in.readUpTo(bytes, 2);
        if (auto early = layout(bytes); std::holds_alternative<std::string>(early)) {
            std::string why = std::get<std::string>(early);
            if (why != "truncated header" || bytes.size() < 10)
                return why;
            const std::size_t lengthBytes = bytes.size() == 10 ? 2 : 4;
            std::uint64_t headerLength = 0;
            for (std::size_t b = lengthBytes; b-- > 0;)
                headerLength = (headerLength << 8) | std::to_integer<std::uint64_t>(bytes[8 + b]);
            // A header cannot be longer than the file.
            if (headerLength > in.size())
                return why;
            in.readUpTo(bytes, static_cast<std::size_t>(headerLength));
        }
        auto laid = layout(bytes);
        if (auto* why = std::get_if<std::string>(&laid))
            return std::move(*why);
        const Layout& l = std::get<Layout>(laid);
        const std::uint64_t body = in.size() > l.dataStart ? in.size() - l.dataStart : 0;
        if (std::string why = sizeMismatch(l, body); !why.empty())
            return why;
        // One byte beyond the promise shows a file that grew since it was opened.
        in.readUpTo(bytes, static_cast<std::size_t>(l.dataBytes) + 1);
        auto decoded = decode(bytes, signedValues);
        if (bytesRead)
            *bytesRead = std::move(bytes);
        return decoded;
    } catch (const output::InputError& e) {
        return e.what();
    }
}

} // namespace rd::npy
