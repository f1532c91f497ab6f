// Pictures made on a sweep's workers leave Qt's main thread where the program's is.
#include "batch/RunCommand.h"
#include "tests/batch/ParseOptions.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

QString messages;

TEST(QtMainThread, StaysTheProgramsWhenWorkersDrawFirst)
{
    const auto dir = std::filesystem::temp_directory_path()
        / ("rdsim-qt-main-thread-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    // This thread takes the first combination, which runs 12,700 steps before it settles; the
    // worker's die out within 800 steps each, so the worker draws the first pictures. Qt took
    // the first thread that made one of its objects for its main thread: then the worker,
    // which ended while the image plug-ins it had loaded lived on in its name.
    const rd::batch::Options o
        = batchtest::parse({ "--model", "gray-scott", "--size", "32", "--init", "seeded", "--seed",
            "3", "--steps", "20000", "--until", "steady", "--set", "kA=0.03", "--sweep",
            "kB=0.062:0.08:4", "--image", (dir / "gs.png").string(), "--jobs", "2" });
    ASSERT_EQ(rd::batch::runBatch(o, false, stderr), 0);
    std::filesystem::remove_all(dir);

    // An application made here afterwards finds Qt's main thread to be this one.
    qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages += text + "\n"; });
    int argc = 1;
    char name[] = "batch_tests";
    char* argv[] = { name, nullptr };
    const QCoreApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(messages.toStdString(), "");
    EXPECT_EQ(app.thread(), QThread::currentThread());
}

} // namespace
