// A movie of a run's frames, encoded by the system's ffmpeg as the frames are made.
#pragma once

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rd::batch {

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
    // place together with the run's other outputs. Throws MovieError.
    Movie(const std::string& name, int fps);
    ~Movie();
    Movie(const Movie&) = delete;
    Movie& operator=(const Movie&) = delete;

    // Every frame takes the first frame's size: a larger one is cut, a smaller one put on
    // white (a colour bar's labels may change their width).
    void addFrame(const QImage& frame);
    std::vector<std::byte> finish();

private:
    [[noreturn]] void fail(const std::string& what);

    std::string name_;
    int fps_;
    QTemporaryDir dir_;
    QProcess process_;
    QSize size_;
    bool started_ = false;
};

} // namespace rd::batch
