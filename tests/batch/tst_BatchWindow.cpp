// The batch tool against the real window, headless: the same state and settings give the
// same field bit for bit after the same number of steps, and the same pictures.
#include "FieldInit.h"
#include "ModelBoxes.h"
#include "Npy.h"
#include "OutputFile.h"
#include "ProfileImage.h"
#include "frmMain.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <bit>
#include <cmath>
#include <limits>

struct frmMain::TestAccess {
    static bool applySettings(frmMain& w) { return w.ApplySettings(); }
    static void draw1D(frmMain& w) { w.Draw1D(); }
    static void draw2D(frmMain& w)
    {
        if (w.state.phaseA)
            w.Draw2DFromA();
        else
            w.Draw2DFromB();
    }
};

namespace {

using Access = frmMain::TestAccess;

struct Setting {
    rd::BoxField field;
    const char* name;
    const char* value;
};

QAction* menuEntry(frmMain& w, rd::Model m)
{
    switch (m) {
    case rd::Model::GiererMeinhardt:
        return w.mnuGM;
    case rd::Model::Schnakenberg:
        return w.mnuSch;
    case rd::Model::GrayScott:
        return w.mnuGS;
    case rd::Model::Oregonator:
        return w.mnuOre;
    }
    return nullptr;
}

const char* modelOption(rd::Model m)
{
    switch (m) {
    case rd::Model::GiererMeinhardt:
        return "gm";
    case rd::Model::Schnakenberg:
        return "schnakenberg";
    case rd::Model::GrayScott:
        return "gray-scott";
    case rd::Model::Oregonator:
        return "oregonator";
    }
    return "";
}

int slotOf(rd::Model m, rd::BoxField f)
{
    for (const auto& box : rd::modelInfo(m).boxes)
        if (box.field == f)
            return box.slot;
    return -1;
}

// The window with the model, dimension, size and boxes chosen through its controls, the
// field set to the Random rule from `seed` after an intake, spare elements 0.
void prepareWindow(frmMain& w, rd::Model model, bool oneD, const QString& size,
    const QList<Setting>& settings, std::uint64_t seed)
{
    if (!menuEntry(w, model)->isChecked())
        menuEntry(w, model)->trigger();
    QTest::mouseClick(w.Option1[oneD ? 0 : 1], Qt::LeftButton);
    w.Text3->clear();
    QTest::keyClicks(w.Text3, size);
    for (const Setting& s : settings) {
        QLineEdit* box
            = w.Text1[static_cast<std::size_t>(rd::boxIndex(model, slotOf(model, s.field)))];
        box->clear();
        QTest::keyClicks(box, QString::fromLatin1(s.value));
    }
    QTest::mouseClick(w.Clear, Qt::LeftButton); // the intake, then a zero field
    rd::UniformSource rng(seed);
    rd::fillRandom(w.state, oneD, rng);
    for (auto* a : { &w.state.uA, &w.state.vA, &w.state.uB, &w.state.vB })
        a->back() = 0.0f;
}

// Clicks Start and lets the loop run exactly `steps` iterations: a zero-interval timer that
// runs between two steps clears the flag once the counter reads steps + 1. No Stop click,
// whose intake would make set A current. A guard ends a run that does not stop.
bool runWindow(frmMain& w, int steps)
{
    w.Label2->setText(QStringLiteral("0"));
    QTimer stopper;
    stopper.setInterval(0);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (w.Label2->text().toInt() >= steps + 1)
            w.state.running = rd::kFalse;
    });
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardFired = true;
        w.state.running = rd::kFalse;
    });
    stopper.start();
    guard.start(300000);
    QTest::mouseClick(w.Run, Qt::LeftButton);
    stopper.stop();
    return !guardFired;
}

struct BatchResult {
    int exitCode = -1;
    QString stderrText;
};

BatchResult runBatch(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(RDSIM_BATCH_EXE), args);
    BatchResult r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.stderrText = QString::fromUtf8(p.readAllStandardError());
    return r;
}

std::vector<float> readField(const QString& file)
{
    const std::string bytes = rd::batch::readWholeFile(file.toStdString());
    auto decoded = rd::npy::decode(std::as_bytes(std::span(bytes.data(), bytes.size())));
    if (auto* why = std::get_if<std::string>(&decoded)) {
        qWarning("%s: %s", qPrintable(file), why->c_str());
        return {};
    }
    return std::get<rd::npy::Array>(decoded).data;
}

// Index of the first cell whose bits differ, or -1.
long firstDifference(std::span<const float> a, std::span<const float> b)
{
    if (a.size() != b.size())
        return 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::bit_cast<std::uint32_t>(a[k]) != std::bit_cast<std::uint32_t>(b[k]))
            return static_cast<long>(k);
    return -1;
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
    void sameFailureAsTheWindow();
    void profilePicturesAreTheWindowsAfterAnIntake_data();
    void profilePicturesAreTheWindowsAfterAnIntake();
};

void TestBatchWindow::sameFieldAsTheWindowsRunLoop_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("oneD");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QList<Setting>>("settings");

    using enum rd::BoxField;
    // An odd count ends in set B in 2D, an even one in set A.
    QTest::newRow("Gierer-Meinhardt 2D, odd steps")
        << int(rd::Model::GiererMeinhardt) << false << "40" << 151
        << QList<Setting> { { KA, "kA", "0.09" } };
    QTest::newRow("Schnakenberg 2D, even steps")
        << int(rd::Model::Schnakenberg) << false << "33" << 120
        << QList<Setting> { { ScalingFactor, "scale", "0.02" } };
    QTest::newRow("Gray-Scott 2D, size reduced to 129")
        << int(rd::Model::GrayScott) << false << "200" << 41
        << QList<Setting> { { Du, "Du", "8" }, { KB, "kB", "0.062" } };
    QTest::newRow("Oregonator 2D") << int(rd::Model::Oregonator) << false << "24" << 90
                                   << QList<Setting> { { KC, "kC", "0.02" } };
    // N = 1: the only cell's mirror neighbour is the spare element, 0 in both.
    QTest::newRow("Gierer-Meinhardt 2D, one cell")
        << int(rd::Model::GiererMeinhardt) << false << "1" << 13 << QList<Setting> {};
    QTest::newRow("Gierer-Meinhardt 1D") << int(rd::Model::GiererMeinhardt) << true << "128" << 700
                                         << QList<Setting> { { Dv, "Dv", "25" } };
    QTest::newRow("Oregonator 1D, odd size")
        << int(rd::Model::Oregonator) << true << "77" << 333 << QList<Setting> {};
    QTest::newRow("Gray-Scott 1D, one cell")
        << int(rd::Model::GrayScott) << true << "1" << 9 << QList<Setting> {};
}

void TestBatchWindow::sameFieldAsTheWindowsRunLoop()
{
    QFETCH(int, model);
    QFETCH(bool, oneD);
    QFETCH(QString, size);
    QFETCH(int, steps);
    QFETCH(QList<Setting>, settings);
    const auto m = static_cast<rd::Model>(model);
    constexpr std::uint64_t seed = 20240601;

    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    prepareWindow(w, m, oneD, size, settings, seed);
    QVERIFY(runWindow(w, steps));
    QCOMPARE(w.Label2->text(), QString::number(steps + 1));
    QCOMPARE(w.Run->text(), QStringLiteral("Stop"));
    w.state.running = rd::kFalse;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString prefix = dir.filePath(QStringLiteral("run"));
    const QString picture = dir.filePath(QStringLiteral("pic.png"));
    QStringList args { "--model", modelOption(m), "--dim", oneD ? "1" : "2", "--size", size,
        "--steps", QString::number(steps), "--init", "random", "--seed", QString::number(seed),
        "--save", prefix, "--image", picture, "--quiet" };
    for (const Setting& s : settings)
        args << "--set" << QStringLiteral("%1=%2").arg(s.name, s.value);
    const BatchResult r = runBatch(args);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.stderrText.contains("more than the largest field"), size == "200");

    const rd::SimState& s = w.state;
    const auto n
        = static_cast<std::size_t>(s.nCells) * (oneD ? 1 : static_cast<std::size_t>(s.nCells));
    const bool inA = oneD || s.phaseA;
    QCOMPARE(bool(s.phaseA), oneD || steps % 2 == 0);
    const std::span<const float> u((inA ? s.uA : s.uB).data(), n), v((inA ? s.vA : s.vB).data(), n);
    const auto bu = readField(prefix + "-u.npy"), bv = readField(prefix + "-v.npy");
    QCOMPARE(bu.size(), n);
    QCOMPARE(firstDifference(bu, u), -1L);
    QCOMPARE(firstDifference(bv, v), -1L);
    // The field has moved away from its start, so the comparison means something.
    rd::SimState start;
    start.nCells = s.nCells;
    start.lastIdx = s.lastIdx;
    start.uMax = s.uMax;
    start.vMax = s.vMax;
    start.resizeArrays(oneD ? start.highestIndex1D() : start.highestIndex2D());
    rd::UniformSource rng(seed);
    rd::fillRandom(start, oneD, rng);
    QVERIFY(firstDifference(bu, std::span<const float>(start.uA.data(), n)) != -1);

    // The pictures: what the window draws for its current set.
    if (oneD) {
        Access::draw1D(w);
        const QString stem = dir.filePath(QStringLiteral("pic"));
        QCOMPARE(rgb32(QImage(stem + "-u.png")), w.Picture1->image());
        QCOMPARE(rgb32(QImage(stem + "-v.png")), w.Picture2->image());
    } else {
        Access::draw2D(w);
        QCOMPARE(rgb32(QImage(picture)), w.Picture3->image());
    }
}

void TestBatchWindow::sameFailureAsTheWindow()
{
    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A scaling factor this large overflows within a few steps.
    prepareWindow(w, rd::Model::GiererMeinhardt, false, "16",
        { { rd::BoxField::ScalingFactor, "scale", "3e36" } }, 5);
    QVERIFY(runWindow(w, 1000));
    QCOMPARE(w.Run->text(), QStringLiteral("Start"));
    const QRegularExpression said(QStringLiteral("stopped at iteration (\\d+): (.*)\\. The field"));
    const auto windowSaid = said.match(w.lastMessage);
    QVERIFY2(windowSaid.hasMatch(), qPrintable(w.lastMessage));

    QTemporaryDir dir;
    const BatchResult r = runBatch({ "--size", "16", "--set", "scale=3e36", "--init", "random",
        "--seed", "5", "--steps", "1000", "--save", dir.filePath("x"), "--quiet" });
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(r.stderrText,
        QStringLiteral("rdsim-batch: iteration %1: %2\n")
            .arg(windowSaid.captured(1), windowSaid.captured(2)));
    QVERIFY(QDir(dir.path()).isEmpty());
}

void TestBatchWindow::profilePicturesAreTheWindowsAfterAnIntake_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("uRange");
    QTest::addColumn<QString>("vRange");
    QTest::newRow("128 cells, ranges 3") << "128"
                                         << "3"
                                         << "3";
    QTest::newRow("77 cells, odd ranges") << "77"
                                          << "2.7"
                                          << "0.35";
    QTest::newRow("200 cells reduced to 129") << "200"
                                              << "1"
                                              << "5";
    QTest::newRow("1 cell") << "1"
                            << "3"
                            << "3";
    QTest::newRow("negative ranges") << "50"
                                     << "-2"
                                     << "-1";
}

void TestBatchWindow::profilePicturesAreTheWindowsAfterAnIntake()
{
    QFETCH(QString, size);
    QFETCH(QString, uRange);
    QFETCH(QString, vRange);
    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    prepareWindow(w, rd::Model::GiererMeinhardt, true, size, {}, 77);
    // Values around the box's edges and rows, and ones the box cannot show at all.
    rd::SimState& s = w.state;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float specials[] = { 0.0f, s.uMax, 2.0f * s.uMax, s.uMax / 124.0f, s.uMax * 1.5f / 62.0f,
        -0.1f, 1e30f, -1e30f, inf, nan, 0x1p-149f, s.uMax * 61.5f / 62.0f };
    for (std::size_t k = 0; k < std::size(specials) && k < static_cast<std::size_t>(s.nCells);
         ++k) {
        s.uA[2 * k % static_cast<std::size_t>(s.nCells)] = specials[k];
        s.vA[(3 * k + 1) % static_cast<std::size_t>(s.nCells)]
            = specials[std::size(specials) - 1 - k];
    }
    // Ranges typed now take effect with the intake that draws.
    w.Text1[0]->setText(uRange);
    w.Text1[1]->setText(vRange);
    // The boxes hold an old picture: the redraw must replace every column.
    w.Picture1->line(0, 0, static_cast<float>(s.nCells), s.uMax, Qt::green);
    QVERIFY(Access::applySettings(w));
    const auto n = static_cast<std::size_t>(s.nCells);
    const QImage u = rd::batch::renderProfile(std::span(s.uA.data(), n), s.uMax, QColor(255, 0, 0));
    const QImage v = rd::batch::renderProfile(std::span(s.vA.data(), n), s.vMax, QColor(0, 0, 255));
    QCOMPARE(w.Picture1->image().size(), QSize(s.nCells, rd::batch::kProfileHeight));
    QCOMPARE(u, w.Picture1->image());
    QCOMPARE(v, w.Picture2->image());
}

QTEST_MAIN(TestBatchWindow)
#include "tst_BatchWindow.moc"
