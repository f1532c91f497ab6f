#include "pictures/Movie.h"

#include "engine/Quoted.h"
#include "runs/Errors.h"

#include <QFile>
#include <QPainter>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace rd::pictures {

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

std::string errorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// The wait status of the ended child, or -1.
int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return status;
}

// posix_spawn's attribute and file-action objects, released whatever happens.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

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

// How often a wait for the encoder asks whether it was cancelled. A signal taken by this
// thread ends a wait at once; one taken by another thread is seen within this time.
constexpr int kWaitSliceMs = 50;

Movie::Movie(const std::string& name, int fps, std::function<bool()> cancelled)
    : name_(name)
    , fps_(fps)
    , cancelled_(std::move(cancelled))
{
    if (!dir_.isValid())
        fail("no temporary folder for the movie");
}

Movie::~Movie()
{
    if (input_ >= 0)
        ::close(input_);
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitFor(pid_);
    }
}

void Movie::fail(const std::string& what)
{
    throw MovieError(rd::quoted(name_) + ": " + what);
}

void Movie::start(QSize size)
{
    const std::string program = ffmpegProgram();
    if (program.empty())
        fail("ffmpeg was not found on the PATH; it makes the movies (install ffmpeg)");
    size_ = size;
    QStringList args { "-hide_banner", "-loglevel", "error", "-nostdin", "-f", "rawvideo",
        "-pix_fmt", "bgra", "-s", QString("%1x%2").arg(size_.width()).arg(size_.height()),
        "-framerate", QString::number(fps_), "-i", "-" };
    args += encoderArguments(movieFormat(name_));
    args += { "-y", dir_.filePath("movie") };
    std::vector<std::string> texts { program };
    for (const QString& a : args)
        texts.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);

    // A socket rather than a pipe, so that a write to an encoder that has gone fails with
    // EPIPE (MSG_NOSIGNAL) instead of raising SIGPIPE in the whole program. Both ends close on
    // exec: another run's encoder must not hold this one's input open.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        fail("no channel to ffmpeg: " + errorText(errno));
    const std::string log = dir_.filePath("log").toStdString();
    int error = 0;
    {
        SpawnSetup setup;
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&setup.attributes, &none);
        posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK);
        posix_spawn_file_actions_adddup2(&setup.actions, ends[1], 0);
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(
            &setup.actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        error = ::posix_spawn(
            &pid_, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
    }
    ::close(ends[1]);
    if (error != 0) {
        pid_ = -1;
        ::close(ends[0]);
        fail("ffmpeg did not start: " + errorText(error));
    }
    input_ = ends[0];
    // Our end never blocks: a frame waits for the encoder in poll, which a signal and the
    // cancellation check can end, where a blocking send would wait for good on an encoder
    // that stopped reading.
    ::fcntl(input_, F_SETFL, ::fcntl(input_, F_GETFL) | O_NONBLOCK);
}

bool Movie::waitToSend()
{
    for (;;) {
        pollfd p { input_, POLLOUT, 0 };
        const int ready = ::poll(&p, 1, kWaitSliceMs);
        if (cancelled_ && cancelled_())
            throw runs::Cancelled();
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0)
            return (p.revents & POLLOUT) != 0;
    }
}

int Movie::waitForEncoder()
{
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_ || (ended < 0 && errno != EINTR)) {
            pid_ = -1;
            return ended > 0 ? status : -1;
        }
        if (cancelled_ && cancelled_())
            throw runs::Cancelled();
        ::poll(nullptr, 0, kWaitSliceMs);
    }
}

std::string Movie::fullDiskReason() const
{
    struct statvfs fs { };
    const std::string folder = dir_.path().toStdString();
    if (::statvfs(folder.c_str(), &fs) != 0 || fs.f_bavail > 0)
        return {};
    return "the temporary folder "
        + rd::quoted(std::filesystem::path(folder).parent_path().string())
        + ", where the movie is made, is full (" + errorText(ENOSPC)
        + "); set TMPDIR to a folder with room";
}

void Movie::addFrame(const QImage& frame)
{
    if (pid_ < 0)
        start(frame.size());
    QImage image = frame.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != size_) {
        QImage fitted(size_, QImage::Format_ARGB32);
        fitted.fill(Qt::white);
        QPainter(&fitted).drawImage(0, 0, image);
        image = fitted;
    }
    // 32-bit lines have no padding: the bits are the frame's raw rows.
    const auto* data = reinterpret_cast<const char*>(image.constBits());
    auto left = static_cast<std::size_t>(image.sizeInBytes());
    while (left > 0) {
        const ssize_t sent = ::send(input_, data, left, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && waitToSend()))
                continue;
            encoderFailed("ffmpeg stopped taking frames");
        }
        data += sent;
        left -= static_cast<std::size_t>(sent);
    }
}

void Movie::encoderFailed(const std::string& what)
{
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    if (pid_ > 0)
        waitForEncoder();
    QFile log(dir_.filePath("log"));
    QString text = log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : "";
    text = text.trimmed().split('\n').last();
    // On a full disk the encoder's own words may be lost with its log, in the same folder.
    if (const std::string full = fullDiskReason(); !full.empty())
        fail(what + ": " + full + (text.isEmpty() ? "" : " (" + text.toStdString() + ")"));
    fail(what + (text.isEmpty() ? std::string() : ": " + text.toStdString()));
}

std::vector<std::byte> Movie::finish()
{
    if (pid_ < 0)
        fail("no frame was made");
    ::close(input_);
    input_ = -1;
    const int status = waitForEncoder();
    if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        encoderFailed("ffmpeg failed");
    QFile file(dir_.filePath("movie"));
    if (!file.open(QIODevice::ReadOnly))
        fail("ffmpeg left no movie");
    const QByteArray bytes = file.readAll();
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return { p, p + bytes.size() };
}

} // namespace rd::pictures
