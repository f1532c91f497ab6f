// A movie of a run's frames, encoded by the system's ffmpeg as the frames are made.
#pragma once

#include <QImage>
#include <QTemporaryDir>

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rd::pictures {

// A movie that could not be made: ffmpeg's own last words, or why it did not start.
class MovieError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The movie file extensions (lower case), "" for a name without one of them.
std::string movieFormat(std::string_view name);
// The ffmpeg program on the PATH, "" when there is none.
std::string ffmpegProgram();

class Movie {
public:
    // Starts the encoder for `name` (by its extension) at `fps` frames a second. The movie is
    // written to a temporary folder; finish() hands over its bytes, so that it is put in
    // place together with the run's other outputs. Throws MovieError. ffmpeg is started with
    // posix_spawn, not QProcess: Qt starts a child by a raw clone that shares the calling
    // thread's memory until exec, which leaves ThreadSanitizer's record of that thread broken
    // (a worker's later accesses and its end unseen), so sweeps could not be checked for races.
    // `cancelled`, when given, is asked while a frame waits for the encoder to take it and
    // while the encoder finishes: true stops with runs::Cancelled, and the encoder is ended
    // and the temporary folder removed as the movie is destroyed.
    Movie(const std::string& name, int fps, std::function<bool()> cancelled = {});
    ~Movie();
    Movie(const Movie&) = delete;
    Movie& operator=(const Movie&) = delete;

    // Every frame takes the first frame's size: a larger one is cut, a smaller one put on
    // white (a colour bar's labels may change their width).
    void addFrame(const QImage& frame);
    std::vector<std::byte> finish();

private:
    [[noreturn]] void fail(const std::string& what);
    // Waits for the encoder that failed and fails with its last line of errors.
    [[noreturn]] void encoderFailed(const std::string& what);
    // Starts the encoder for frames of `size`, its input our end of a socket.
    void start(QSize size);
    // Waits until the encoder can take more bytes (true) or has ended or failed (false);
    // throws runs::Cancelled when cancelled while waiting.
    bool waitToSend();
    // Waits for the encoder to end and returns its wait status, -1 when it cannot be had;
    // throws runs::Cancelled when cancelled while waiting.
    int waitForEncoder();
    // The reason the encoder's output could not be written, when its folder is full; "".
    std::string fullDiskReason() const;

    std::string name_;
    int fps_;
    std::function<bool()> cancelled_;
    QTemporaryDir dir_;
    pid_t pid_ = -1; // the encoder, -1 before the first frame and after it was waited for
    int input_ = -1; // our end of the encoder's standard input
    QSize size_;
};

} // namespace rd::pictures
