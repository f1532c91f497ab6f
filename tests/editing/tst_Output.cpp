#include "tst_Output.h"

#include "EditingSupport.h"
#include "Kinetics.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace edit;

namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);

QString savedCwd;
std::unique_ptr<QTemporaryDir> workDir;

// Local position of the bottom-left corner of a panel's plot box: u = 0, v = 0.
QPoint origin(const PictureBox* box)
{
    return cell(0, box->innerHeight());
}

// The pixels a trajectory from (u, v) lands on, by the plot's own rule.
std::set<std::pair<int, int>> trajectory(
    const frmMain& w, rd::Model model, const PictureBox* box, float u, float v)
{
    std::set<std::pair<int, int>> out;
    float su = 0, sv = 0;
    for (int n = 0; n < 10000; ++n) {
        rd::callModel(model, w.state, u, v, su, sv);
        u = su * w.state.dt + u;
        v = w.state.dt * sv + v;
        if (u < 0)
            u = 0;
        if (v < 0)
            v = 0;
        const auto x = *box->pixelX(u), y = *box->pixelY(v);
        if (x >= 0 && y >= 0 && x < box->innerWidth() && y < box->innerHeight())
            out.insert({ int(x), int(y) });
    }
    return out;
}

QByteArray readAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A BMP file: its header says 24 bits per pixel, and its pixels are those of the box.
void checkBmp(const QString& name, const PictureBox* box, QSize size)
{
    const QByteArray bytes = readAll(name);
    QVERIFY2(bytes.size() > 54, qPrintable(name));
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(int(quint8(bytes[28])) | int(quint8(bytes[29])) << 8, 24);
    const QImage img(name, "BMP");
    QCOMPARE(img.size(), size);
    QCOMPARE(img.convertToFormat(QImage::Format_RGB32),
        box->image().convertToFormat(QImage::Format_RGB32));
}

} // namespace

void TestOutput::init()
{
    savedCwd = QDir::currentPath();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestOutput::cleanup()
{
    QDir::setCurrent(savedCwd);
    // A locked folder is opened again so that the temporary folder can go.
    const QString locked = workDir->filePath(QStringLiteral("locked"));
    if (QFileInfo::exists(locked))
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    workDir.reset();
}

void TestOutput::phasePlotFromTheOrigin()
{
    auto w = shownWindow();
    PictureBox* box = w->Picture40;
    QTest::mouseRelease(box, Qt::LeftButton, {}, origin(box));
    const auto drawn = pixelsOf(box->image(), kBlack);
    const auto expected = trajectory(*w, rd::Model::GiererMeinhardt, box, 0.0f, 0.0f);
    QVERIFY(drawn.size() > 20);
    QCOMPARE(drawn, expected);
    // The first step leaves v at 0: on the axis, below the box's last row.
    float su = 0, sv = 0;
    rd::FuncGM(w->state, 0.0f, 0.0f, su, sv);
    QCOMPARE(bits(sv), bits(0.0f));
}

void TestOutput::phasePlotClampsAtTheAxis()
{
    auto w = shownWindow();
    w->mnuGS->trigger();
    PictureBox* box = w->Picture42;
    // A large gain makes v overshoot below 0 every second step; u stays 0.
    typeInto(w->Text1[22], QStringLiteral("60"));
    typeInto(w->Text1[21], QStringLiteral("3"));
    QTest::mouseRelease(box, Qt::RightButton, {}, origin(box));
    QCOMPARE(w->state.reactGain, 60.0f);
    QCOMPARE(box->scaleTop(), 3.0f);
    // v: 0 -> 2.4 -> (2.4 - 3.36 clamped) 0 -> 2.4 ...; points at v = 0 lie on the bottom
    // edge, outside the image, so one pixel shows.
    const float v1 = 0.04f * 60.0f;
    const std::set<std::pair<int, int>> one { { 0, int(*box->pixelY(v1)) } };
    QCOMPARE(pixelsOf(box->image(), kBlack), one);
    QCOMPARE(trajectory(*w, rd::Model::GrayScott, box, 0.0f, 0.0f), one);
}

void TestOutput::secondReleaseDrawsOnlyItsTrajectory()
{
    auto w = shownWindow();
    w->mnuSch->trigger();
    PictureBox* box = w->Picture41;
    const QPoint middle = cell(box->innerWidth() / 2, box->innerHeight() / 2);
    QTest::mouseRelease(box, Qt::LeftButton, {}, middle);
    const auto first = pixelsOf(box->image(), kBlack);
    QVERIFY(first.size() > 20);
    QTest::mouseRelease(box, Qt::LeftButton, {}, origin(box));
    const auto second = pixelsOf(box->image(), kBlack);
    QCOMPARE(second, trajectory(*w, rd::Model::Schnakenberg, box, 0.0f, 0.0f));
    QVERIFY(second != first);
}

void TestOutput::saveAs2D()
{
    auto w = shownWindow();
    switchTo2D(*w);
    QTest::mouseClick(w->Random, Qt::LeftButton);
    QTest::mousePress(w->Picture3, Qt::LeftButton, {}, cell(30, 40));
    QTest::mouseRelease(w->Picture3, Qt::LeftButton, {}, cell(30, 40));
    w->mnuSaveAs->trigger();
    checkBmp(QStringLiteral("2D.bmp"), w->Picture3, QSize(128, 128));
    QCOMPARE(QDir().entryList(QDir::Files), QStringList { QStringLiteral("2D.bmp") });
    const QByteArray first = readAll(QStringLiteral("2D.bmp"));

    // Saving again replaces the file, without a question.
    QTest::mouseClick(w->Spiral, Qt::LeftButton);
    w->mnuSaveAs->trigger();
    checkBmp(QStringLiteral("2D.bmp"), w->Picture3, QSize(128, 128));
    QVERIFY(readAll(QStringLiteral("2D.bmp")) != first);

    // A new field size shows in the file once the field has been redrawn.
    typeInto(w->Text3, QStringLiteral("64"));
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    w->mnuSaveAs->trigger();
    checkBmp(QStringLiteral("2D.bmp"), w->Picture3, QSize(64, 64));
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

void TestOutput::saveAs1DThen2DLeavesThreeFiles()
{
    auto w = shownWindow();
    QTest::mouseClick(w->Random, Qt::LeftButton);
    w->mnuSaveAs->trigger();
    const QSize profile(w->Picture1->innerWidth(), w->Picture1->innerHeight());
    checkBmp(QStringLiteral("Activator_1D.bmp"), w->Picture1, profile);
    checkBmp(QStringLiteral("Inhibitor_1D.bmp"), w->Picture2,
        QSize(w->Picture2->innerWidth(), w->Picture2->innerHeight()));
    // The profiles are in the files, not only the background.
    const QImage act(QStringLiteral("Activator_1D.bmp"));
    QVERIFY(pixelsOf(act, qRgb(255, 0, 0)).size() > 100);
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    w->mnuSaveAs->trigger();
    QStringList files = QDir().entryList(QDir::Files);
    files.sort();
    QCOMPARE(files,
        (QStringList { QStringLiteral("2D.bmp"), QStringLiteral("Activator_1D.bmp"),
            QStringLiteral("Inhibitor_1D.bmp") }));
    QVERIFY(w->lastMessage.isEmpty());
}

void TestOutput::saveAsWithADirectoryInTheWay()
{
    auto w = shownWindow();
    // 1D: the first file cannot be written; the second is not attempted.
    QVERIFY(QDir().mkdir(QStringLiteral("Activator_1D.bmp")));
    {
        QFile f(QStringLiteral("Inhibitor_1D.bmp"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier file");
    }
    w->mnuSaveAs->trigger();
    QVERIFY2(w->lastMessage.contains(QStringLiteral("\"Activator_1D.bmp\"")),
        qPrintable(w->lastMessage));
    QCOMPARE(readAll(QStringLiteral("Inhibitor_1D.bmp")), QByteArray("earlier file"));
    QVERIFY(QFileInfo(QStringLiteral("Activator_1D.bmp")).isDir());

    // 2D: the directory stays, the reason is told, and nothing is left beside it.
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    QVERIFY(QDir().mkdir(QStringLiteral("2D.bmp")));
    w->lastMessage.clear();
    w->mnuSaveAs->trigger();
    QVERIFY2(w->lastMessage.contains(QStringLiteral("\"2D.bmp\"")), qPrintable(w->lastMessage));
    const QString reason = w->lastMessage.section(QStringLiteral(": "), 1);
    QVERIFY2(reason.size() > 10, qPrintable(w->lastMessage));
    QVERIFY(QFileInfo(QStringLiteral("2D.bmp")).isDir());
    QStringList left = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    left.sort();
    QCOMPARE(left,
        (QStringList { QStringLiteral("2D.bmp"), QStringLiteral("Activator_1D.bmp"),
            QStringLiteral("Inhibitor_1D.bmp") }));
}

void TestOutput::saveAsInAnUnwritableDirectory()
{
    auto w = shownWindow();
    QTest::mouseClick(w->Option1[1], Qt::LeftButton);
    QTest::mouseClick(w->Clear, Qt::LeftButton);
    QVERIFY(QDir().mkdir(QStringLiteral("locked")));
    QFile existing(QStringLiteral("locked/2D.bmp"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("earlier file");
    existing.close();
    QVERIFY(QFile::setPermissions(workDir->path(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
            | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(QStringLiteral("locked"),
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(
        QStringLiteral("locked/2D.bmp"), QFile::ReadOwner | QFile::ReadOther));
    QVERIFY(QDir::setCurrent(QStringLiteral("locked")));

    // Root may write anywhere; as another file-system user the permissions hold for real.
    const bool root = geteuid() == 0;
    struct Identity {
        bool dropped;
        explicit Identity(bool drop)
            : dropped(drop)
        {
            if (dropped) {
                setfsgid(65534);
                setfsuid(65534);
            }
        }
        ~Identity()
        {
            if (dropped) {
                setfsuid(0);
                setfsgid(0);
            }
        }
    } identity(root);
    {
        QFile probe(QStringLiteral("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            QSKIP("the directory's permissions do not hold for this user");
        }
    }
    w->mnuSaveAs->trigger();
    QVERIFY2(w->lastMessage.contains(QStringLiteral("\"2D.bmp\"")), qPrintable(w->lastMessage));
    QCOMPARE(readAll(QStringLiteral("2D.bmp")), QByteArray("earlier file"));
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { QStringLiteral("2D.bmp") });

    // With the old file writable, it is written in place, as a plain save would.
    if (root)
        setfsuid(0);
    QVERIFY(QFile::setPermissions(QStringLiteral("2D.bmp"),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    if (root)
        setfsuid(65534);
    w->lastMessage.clear();
    w->mnuSaveAs->trigger();
    QVERIFY2(w->lastMessage.isEmpty(), qPrintable(w->lastMessage));
    checkBmp(QStringLiteral("2D.bmp"), w->Picture3, QSize(128, 128));
}
