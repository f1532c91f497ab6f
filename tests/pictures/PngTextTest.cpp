// A PNG's text read from its chunks: every text chunk kind, a key after the picture data, and
// pictures that are damaged, cut short, special or hold a text beyond the limit, refused in our
// words and within the limit's memory. Qt's own writer is read back too.
#include "pictures/PngText.h"

#include <QImage>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using rd::pictures::pngText;
using rd::pictures::PngTextError;

std::string chunk(const std::string& type, const std::string& data)
{
    std::string out;
    for (int b = 3; b >= 0; --b)
        out += static_cast<char>((data.size() >> (8 * b)) & 0xFF);
    out += type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    for (int b = 3; b >= 0; --b)
        out += static_cast<char>((crc >> (8 * b)) & 0xFF);
    return out;
}

std::string deflated(const std::string& text)
{
    std::vector<Bytef> out(compressBound(text.size()));
    uLongf size = out.size();
    compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size());
    return { reinterpret_cast<const char*>(out.data()), size };
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
const std::string kHeader = chunk("IHDR", std::string("\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 13));
const std::string kData = chunk("IDAT", deflated(std::string(4, '\0')));
const std::string kEnd = chunk("IEND", "");

std::string png(const std::string& chunks)
{
    return kSignature + kHeader + chunks + kEnd;
}

// Each test in a fresh folder of its own.
class PngTextTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(dir); }
    char pattern[32] = "/tmp/pngtext-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern) ? pattern : throw std::runtime_error("no folder");

    // The text of "key" in `file`, or "error: " and the refusal.
    static std::string readFile(const fs::path& file, std::uint64_t limit = 1000)
    {
        try {
            const auto text = pngText(file, "key", limit);
            return text ? *text : "(none)";
        } catch (const PngTextError& e) {
            return std::string("error: ") + e.what() + (e.tooLarge() ? " [too large]" : "");
        }
    }
    std::string read(const std::string& bytes)
    {
        std::ofstream(dir / "p.png", std::ios::binary) << bytes;
        return readFile(dir / "p.png");
    }
};

TEST_F(PngTextTest, EveryKindOfTextChunk)
{
    const std::string key("key\0", 4);
    const std::tuple<const char*, std::string, std::string> cases[] = {
        { "tEXt, Latin-1", chunk("tEXt", key + "caf\xe9"), "caf\xc3\xa9" },
        { "zTXt", chunk("zTXt", key + std::string(1, '\0') + deflated("caf\xe9 au lait")),
            "caf\xc3\xa9 au lait" },
        { "iTXt",
            chunk("iTXt", key + std::string("\0\0en\0Schl\xc3\xbcssel\0", 16) + "\xe2\x82\xac"),
            "\xe2\x82\xac" },
        { "iTXt compressed",
            chunk("iTXt", key + std::string("\1\0\0\0", 4) + deflated("{\"a\": \"\xe2\x82\xac\"}")),
            "{\"a\": \"\xe2\x82\xac\"}" },
        { "after the picture data, other keys first",
            kData + chunk("tEXt", std::string("keys\0x", 6)) + chunk("tEXt", key + "late"),
            "late" },
        { "no such key", kData + chunk("tEXt", std::string("other\0x", 7)), "(none)" },
    };
    for (const auto& [label, chunks, want] : cases)
        EXPECT_EQ(read(png(chunks)), want) << label;
}

TEST_F(PngTextTest, DamagedCutShortAndOversizedPicturesAreRefused)
{
    const std::string key("key\0", 4);
    std::string badCrc = chunk("tEXt", key + "text");
    badCrc.back() ^= 1;
    const std::string whole = png(kData + chunk("tEXt", key + "text"));
    // 64 MiB of zeros deflate to about 64 KiB: inflated only up to the limit.
    const std::string bomb
        = png(chunk("zTXt", key + std::string(1, '\0') + deflated(std::string(64 << 20, '\0'))));
    const std::tuple<const char*, std::string, std::string> cases[] = {
        { "not a PNG", "GIF89a....", "error: not a PNG picture" },
        { "a CRC that does not match", png(badCrc),
            "error: the picture is damaged: its record fails its CRC" },
        { "cut in the picture data", whole.substr(0, 40),
            "error: the picture is cut short, after 33 bytes" },
        { "cut in the text", whole.substr(0, whole.size() - 16),
            "error: the picture is cut short, after " + std::to_string(33 + kData.size())
                + " bytes" },
        { "a text beyond the limit", png(chunk("tEXt", key + std::string(1001, 'x'))),
            "error: its text is too large (more than 1000 bytes) [too large]" },
        { "a compressed text beyond the limit", bomb,
            "error: its text is too large (more than 1000 bytes) [too large]" },
        { "a compressed text that does not inflate",
            png(chunk("zTXt", key + std::string(1, '\0') + "not zlib")),
            "error: the picture is damaged: its text does not inflate" },
    };
    for (const auto& [label, bytes, want] : cases)
        EXPECT_EQ(read(bytes), want) << label;
}

TEST_F(PngTextTest, AFifoIsRefusedWithoutWaiting)
{
    ASSERT_EQ(::mkfifo((dir / "fifo.png").c_str(), 0600), 0);
    EXPECT_EQ(readFile(dir / "fifo.png"), "error: a FIFO, not a regular file");
}

// What Qt's writer puts in a PNG (compressed, Latin-1 or not) reads back as it was set.
TEST_F(PngTextTest, ReadsWhatQtWrites)
{
    for (const QString& text : { QString("short"), QString(400, QChar('x')) + "caf\u00e9",
             QString(400, QChar('y')) + "\u20ac\u4e2d" }) {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setText("key", text);
        ASSERT_TRUE(image.save(QString::fromStdString((dir / "qt.png").string()), "png"));
        EXPECT_EQ(QString::fromStdString(readFile(dir / "qt.png", 1 << 20)), text);
    }
}

} // namespace
