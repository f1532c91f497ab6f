#include "batch/Movie.h"

#include <QFile>
#include <QPainter>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>

namespace rd::batch {

namespace {

// Encoder arguments by format. The YUV formats need even sizes: a white row or column is
// added where one is odd.
QStringList encoderArguments(const std::string& format)
{
    const QString even = "pad=ceil(iw/2)*2:ceil(ih/2)*2:0:0:white";
    if (format == "mp4")
        return { "-vf", even, "-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "18", "-movflags",
            "+faststart", "-f", "mp4" };
    if (format == "webm")
        return { "-vf", even, "-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-b:v", "0", "-crf",
            "30", "-f", "webm" };
    if (format == "gif")
        return { "-filter_complex", "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-f", "gif" };
    // Lossless: every frame as it was made.
    return { "-c:v", "apng", "-pix_fmt", "rgb24", "-plays", "0", "-f", "apng" };
}

} // namespace

std::string movieFormat(std::string_view name)
{
    const auto dot = name.rfind('.');
    const auto slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* known : { "mp4", "webm", "gif", "apng" })
        if (ext == known)
            return ext;
    return {};
}

std::string ffmpegProgram()
{
    return QStandardPaths::findExecutable("ffmpeg").toStdString();
}

Movie::Movie(const std::string& name, int fps)
    : name_(name)
    , fps_(fps)
{
    if (!dir_.isValid())
        fail("no temporary folder for the movie");
}

Movie::~Movie()
{
    if (started_ && process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(-1);
    }
}

void Movie::fail(const std::string& what)
{
    throw MovieError("\"" + name_ + "\": " + what);
}

void Movie::addFrame(const QImage& frame)
{
    if (!started_) {
        const std::string program = ffmpegProgram();
        if (program.empty())
            fail("ffmpeg was not found on the PATH; it makes the movies (install ffmpeg)");
        size_ = frame.size();
        QStringList args { "-hide_banner", "-loglevel", "error", "-nostdin", "-f", "rawvideo",
            "-pix_fmt", "bgra", "-s", QString("%1x%2").arg(size_.width()).arg(size_.height()),
            "-framerate", QString::number(fps_), "-i", "-" };
        args += encoderArguments(movieFormat(name_));
        args += { "-y", dir_.filePath("movie") };
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(dir_.filePath("log"));
        process_.start(QString::fromStdString(program), args);
        if (!process_.waitForStarted(-1))
            fail("ffmpeg did not start: " + process_.errorString().toStdString());
        started_ = true;
    }
    QImage image = frame.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != size_) {
        QImage fitted(size_, QImage::Format_ARGB32);
        fitted.fill(Qt::white);
        QPainter(&fitted).drawImage(0, 0, image);
        image = fitted;
    }
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const char*>(image.constScanLine(y));
        if (process_.write(line, qint64 { image.width() } * 4) < 0)
            fail("ffmpeg stopped taking frames");
    }
    while (process_.bytesToWrite() > 0)
        if (!process_.waitForBytesWritten(-1))
            break;
    if (process_.state() == QProcess::NotRunning)
        fail("ffmpeg stopped taking frames");
}

std::vector<std::byte> Movie::finish()
{
    if (!started_)
        fail("no frame was made");
    process_.closeWriteChannel();
    process_.waitForFinished(-1);
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
        QFile log(dir_.filePath("log"));
        QString text = log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : "";
        text = text.trimmed().split('\n').last();
        fail("ffmpeg failed" + (text.isEmpty() ? std::string() : ": " + text.toStdString()));
    }
    QFile file(dir_.filePath("movie"));
    if (!file.open(QIODevice::ReadOnly))
        fail("ffmpeg left no movie");
    const QByteArray bytes = file.readAll();
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return { p, p + bytes.size() };
}

} // namespace rd::batch
