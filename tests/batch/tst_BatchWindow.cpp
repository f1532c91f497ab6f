// The batch tool against the real window, headless: the same state and settings give the
// same field bit for bit after the same number of steps, the same failure, the same pictures.
#include "batch/Options.h"
#include "engine/FieldInit.h"
#include "engine/Integrators.h"
#include "fieldfiles/Npy.h"
#include "output/OutputSet.h"
#include "pictures/ProfileImage.h"
#include "settings/ModelBoxes.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

namespace {

using Settings = QList<std::pair<const char*, const char*>>; // --set NAME=VALUE

// The window with the model, dimension, size and boxes chosen through its controls, the
// field set to the Random rule from `seed` after an intake, spare elements 0.
void prepareWindow(frmMain& w, rd::Model model, bool oneD, const QString& size,
    const Settings& settings, std::uint64_t seed)
{
    QAction* entry = gt::menuEntry(w, model);
    if (!entry->isChecked())
        entry->trigger();
    QTest::mouseClick(w.Option1[oneD ? 0 : 1], Qt::LeftButton);
    w.Text3->setText(size);
    for (const auto& [name, value] : settings) {
        const int slot = rd::runs::slotOf(model, *rd::runs::fieldByName(name));
        w.Text1[std::size_t(rd::boxIndex(model, slot))]->setText(QString::fromLatin1(value));
    }
    QTest::mouseClick(w.Clear, Qt::LeftButton); // the intake, then a zero field
    rd::UniformSource rng(seed);
    rd::fillRandom(w.state, oneD, rng);
    for (auto* a : { &w.state.uA, &w.state.vA, &w.state.uB, &w.state.vB })
        a->back() = 0.0f;
}

// Clicks Start and lets the loop run exactly `steps` iterations: the flag is cleared in the
// yield that follows the last one. No Stop click, whose intake would make set A current.
bool runWindow(frmMain& w, int steps)
{
    return gt::driveRun(w, [&](int yield) {
        if (yield == steps)
            w.state.running = rd::kFalse;
    }) >= 0;
}

// Runs the tool; its exit status (-1 if it could not run or was killed) and standard error.
// posix_spawn rather than QProcess: Qt starts a child with a shared-memory clone that runs Qt
// code in the parent's memory, which ThreadSanitizer cannot follow (it then reports races that
// are none).
std::pair<int, QString> runBatch(const QStringList& args)
{
    QTemporaryFile err;
    if (!err.open())
        return { -1, {} };
    std::vector<std::string> texts { RDSIM_BATCH_EXE };
    for (const QString& a : args)
        texts.push_back(a.toStdString());
    texts.emplace_back("--quiet");
    std::vector<char*> argv;
    for (std::string& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    const QByteArray errName = QFile::encodeName(err.fileName());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errName.constData(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (!started || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return { -1, {} };
    return { WEXITSTATUS(status), QString::fromUtf8(err.readAll()) };
}

std::vector<float> readField(const QString& file)
{
    const auto decoded = rd::npy::load(file.toStdString());
    const auto* a = std::get_if<rd::npy::Array>(&decoded);
    return a ? a->data : std::vector<float> {};
}

// The first n cells, bit for bit (the arrays hold a spare element more).
bool sameCells(const std::vector<float>& file, std::span<const float> cells, std::size_t n)
{
    return gt::sameBits(file, std::vector<float>(cells.begin(), cells.begin() + std::ptrdiff_t(n)));
}

QImage rgb32(const QImage& img)
{
    return img.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestBatchWindow : public QObject {
    Q_OBJECT

private slots:
    void sameFieldAsTheWindowsRunLoop_data();
    void sameFieldAsTheWindowsRunLoop();
    void profilePicturesAreTheWindows();
};

void TestBatchWindow::sameFieldAsTheWindowsRunLoop_data()
{
    QTest::addColumn<rd::Model>("model");
    QTest::addColumn<bool>("oneD");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("steps");
    QTest::addColumn<Settings>("settings");
    using enum rd::Model;
    // An odd count ends in set B in 2D, an even one in set A. At N = 1 the only cell's mirror
    // neighbour is the spare element, 0 in both. Each model's arithmetic is the golden runs'.
    QTest::newRow("GM 2D, odd") << GiererMeinhardt << false << "40" << 151
                                << Settings { { "kA", "0.09" } };
    QTest::newRow("Sch 2D, even") << Schnakenberg << false << "33" << 120
                                  << Settings { { "scale", "0.02" } };
    QTest::newRow("GS 2D, 200 -> 129 in the window")
        << GrayScott << false << "200" << 41 << Settings { { "Du", "8" }, { "kB", "0.062" } };
    QTest::newRow("Ore 1D, odd size") << Oregonator << true << "77" << 333 << Settings {};
    QTest::newRow("GS 1D, one cell") << GrayScott << true << "1" << 9 << Settings {};
}

void TestBatchWindow::sameFieldAsTheWindowsRunLoop()
{
    QFETCH(rd::Model, model);
    QFETCH(bool, oneD);
    QFETCH(QString, size);
    QFETCH(int, steps);
    QFETCH(Settings, settings);
    constexpr std::uint64_t seed = 20240601;
    frmMain w;
    w.show();
    prepareWindow(w, model, oneD, size, settings, seed);
    const std::vector<float> startU = w.state.uA;
    QVERIFY(runWindow(w, steps));
    QCOMPARE(w.Label2->text(), QString::number(steps + 1));
    w.state.running = rd::kFalse;

    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("run"));
    QStringList args { "--model", QString::fromLatin1(rd::runs::modelName(model)), "--dim",
        oneD ? "1" : "2", "--size", QString::number(w.state.nCells), "--steps",
        QString::number(steps), "--init", "random", "--seed", QString::number(seed), "--save",
        prefix, "--image", prefix + ".png" };
    for (const auto& [name, value] : settings)
        args << "--set" << QStringLiteral("%1=%2").arg(name, value);
    const auto [status, said] = runBatch(args);
    QCOMPARE(status, 0);
    QCOMPARE(said, QString());

    const rd::SimState& s = w.state;
    const auto n = std::size_t(s.nCells) * (oneD ? 1 : std::size_t(s.nCells));
    QCOMPARE(bool(s.phaseA), oneD || steps % 2 == 0);
    const rd::Dimension dim = rd::dimensionOf(oneD);
    const auto bu = readField(prefix + "-u.npy"), bv = readField(prefix + "-v.npy");
    QVERIFY(sameCells(bu, rd::currentU(s, dim), n));
    QVERIFY(sameCells(bv, rd::currentV(s, dim), n));
    QVERIFY(!sameCells(bu, startU, n)); // the field has moved
    oneD ? Access::draw1D(w) : s.phaseA ? Access::draw2DFromA(w) : Access::draw2DFromB(w);
    if (oneD) {
        QCOMPARE(rgb32(QImage(prefix + "-u.png")), w.Picture1->image());
        QCOMPARE(rgb32(QImage(prefix + "-v.png")), w.Picture2->image());
    } else {
        QCOMPARE(rgb32(QImage(prefix + ".png")), w.Picture3->image());
    }
}

void TestBatchWindow::profilePicturesAreTheWindows()
{
    // Odd ranges, 200 cells reduced to 129, one cell, negative ranges. With a range of 31,
    // 30.75 and 0.25 fall exactly halfway between two rows.
    for (const auto& [size, uRange, vRange] :
        { std::array { "77", "2.7", "0.35" }, std::array { "200", "31", "5" },
            std::array { "1", "3", "3" }, std::array { "50", "-2", "-1" } }) {
        frmMain w;
        w.show();
        prepareWindow(w, rd::Model::GiererMeinhardt, true, QString::fromLatin1(size), {}, 77);
        // Values around the box's edges and rows, and ones the box cannot show at all.
        rd::SimState& s = w.state;
        const float inf = std::numeric_limits<float>::infinity();
        const float edgeValues[]
            = { 0.0f, s.uMax, 2.0f * s.uMax, s.uMax / 124.0f, s.uMax * 1.5f / 62.0f, -0.1f, 1e30f,
                  -1e30f, inf, std::numeric_limits<float>::quiet_NaN(), 0x1p-149f,
                  s.uMax * 61.5f / 62.0f, 30.75f, 0.25f };
        const auto n = std::size_t(s.nCells);
        for (std::size_t k = 0; k < std::size(edgeValues) && k < n; ++k) {
            s.uA[2 * k % n] = edgeValues[k];
            s.vA[(3 * k + 1) % n] = edgeValues[std::size(edgeValues) - 1 - k];
        }
        // Ranges typed now take effect with the intake that draws; the boxes hold an old
        // picture, and the redraw must replace every column.
        w.Text1[0]->setText(QString::fromLatin1(uRange));
        w.Text1[1]->setText(QString::fromLatin1(vRange));
        w.Picture1->line(0, 0, static_cast<float>(s.nCells), s.uMax, Qt::green);
        QVERIFY(Access::applySettings(w));
        QCOMPARE(w.Picture1->image().size(), QSize(s.nCells, rd::pictures::kProfileHeight));
        QCOMPARE(rd::pictures::renderProfile(std::span(s.uA.data(), n), s.uMax, QColor(255, 0, 0)),
            w.Picture1->image());
        QCOMPARE(rd::pictures::renderProfile(std::span(s.vA.data(), n), s.vMax, QColor(0, 0, 255)),
            w.Picture2->image());
    }
}

QTEST_MAIN(TestBatchWindow)
#include "tst_BatchWindow.moc"
