// The panels' phase plots and File > Save As, each test with a fresh window in a fresh
// working folder.
#include "engine/Kinetics.h"
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/mount.h>

using namespace gt;

namespace {

void releaseAt(PictureBox* box, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(box, button, {}, at);
}

QPoint origin(const PictureBox* box)
{
    return cell(0, box->innerHeight());
}

// The pixels a trajectory from (0, 0) lands on: 10000 steps of u += su dt, v += dt sv,
// each clamped at 0.
Pixels trajectory(const frmMain& w, rd::Model model, const PictureBox* box)
{
    Pixels out;
    float u = 0, v = 0, su = 0, sv = 0;
    for (int n = 0; n < 10000; ++n) {
        rd::callModel(model, w.state, u, v, su, sv);
        u = std::max(su * w.state.dt + u, 0.0f);
        v = std::max(w.state.dt * sv + v, 0.0f);
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

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QStringList entries()
{
    return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// A 24-bit BMP file with the pixels of the box.
void checkBmp(const QString& name, const PictureBox* box)
{
    const QByteArray bytes = readAll(name);
    QVERIFY2(bytes.size() > 54 && bytes.startsWith("BM"), qPrintable(name));
    QCOMPARE(int(quint8(bytes[28])) | int(quint8(bytes[29])) << 8, 24);
    QCOMPARE(QImage(name, "BMP").convertToFormat(QImage::Format_RGB32), box->image());
}

} // namespace

class TestPlotsAndSaving : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        savedCwd = QDir::currentPath();
        workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(workDir->isValid() && QDir::setCurrent(workDir->path()));
        w = shownWindow();
    }
    void cleanup()
    {
        w.reset();
        QDir::setCurrent(savedCwd);
        if (mounted)
            ::umount(workDir->path().toLocal8Bit().constData());
        mounted = false;
        workDir.reset();
    }

    void phasePlots()
    {
        // The release (any button) runs the intake first.
        typeInto(w->Text1[2], QStringLiteral("0.02"));
        releaseAt(w->Picture40, origin(w->Picture40), Qt::RightButton);
        QCOMPARE(w->state.reactGain, 0.02f);
        const Pixels gm = pixelsOf(w->Picture40->image(), 0);
        QVERIFY(gm.size() > 20);
        QCOMPARE(gm, trajectory(*w, rd::Model::GiererMeinhardt, w->Picture40));
        // A second release draws only its own trajectory.
        w->mnuSch->trigger();
        releaseAt(w->Picture41, cell(60, 60));
        const Pixels first = pixelsOf(w->Picture41->image(), 0);
        releaseAt(w->Picture41, origin(w->Picture41));
        const Pixels second = pixelsOf(w->Picture41->image(), 0);
        QCOMPARE(second, trajectory(*w, rd::Model::Schnakenberg, w->Picture41));
        QVERIFY(second != first);
    }

    void saveAs()
    {
        // 1D: the two profiles, with their bars.
        click(w->Random);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("Activator_1D.bmp"), w->Picture1);
        checkBmp(QStringLiteral("Inhibitor_1D.bmp"), w->Picture2);
        QVERIFY(pixelsOf(w->Picture1->image(), qRgb(255, 0, 0)).size() > 100);
        // 2D: the field, replaced without a question when saved again; a new size shows once
        // the field has been redrawn.
        switchTo2D(*w);
        click(w->Random);
        w->mnuSaveAs->trigger();
        typeInto(w->Text3, QStringLiteral("64"));
        click(w->Clear);
        w->mnuSaveAs->trigger();
        checkBmp(QStringLiteral("2D.bmp"), w->Picture3);
        QCOMPARE(QImage(QStringLiteral("2D.bmp")).size(), QSize(64, 64));
        QCOMPARE(entries(), (QStringList { "2D.bmp", "Activator_1D.bmp", "Inhibitor_1D.bmp" }));
        QVERIFY(w->lastMessage.isEmpty());
    }

    void aDirectoryInTheWay()
    {
        // The message names the file and the system's reason; the directory stays. The two 1D
        // pictures are one set: when either cannot be written, neither file changes.
        for (const QString blocked : { "Activator_1D.bmp", "Inhibitor_1D.bmp", "2D.bmp" }) {
            const bool twoD = blocked == "2D.bmp";
            const QString other = blocked.startsWith('A') ? "Inhibitor_1D.bmp" : "Activator_1D.bmp";
            if (twoD)
                click(w->Option1[1]);
            QVERIFY(QDir().mkdir(blocked));
            if (!twoD)
                writeFile(other, "earlier file");
            w->mnuSaveAs->trigger();
            QCOMPARE(w->lastMessage,
                '"' + blocked + "\" could not be written: Is a directory. "
                    + (twoD ? "Any earlier file is unchanged." : "No file was changed."));
            QVERIFY(QFileInfo(blocked).isDir());
            if (!twoD)
                QCOMPARE(readAll(other), QByteArray("earlier file"));
            QCOMPARE(entries().size(), twoD ? 1 : 2);
            for (const QString& name : entries())
                QVERIFY(QFileInfo(name).isDir() ? QDir().rmdir(name) : QFile::remove(name));
        }
    }

    void aFullDiskKeepsTheEarlierFileAndNamesTheReason()
    {
        if (::mount("tmpfs", workDir->path().toLocal8Bit().constData(), "tmpfs", 0, "size=64k")
            != 0)
            QSKIP("cannot mount a tmpfs here");
        mounted = true;
        QVERIFY(QDir::setCurrent(workDir->path())); // into the mounted folder
        const QByteArray earlier(3000, 'e');
        writeFile(QStringLiteral("2D.bmp"), earlier);
        writeFile(QStringLiteral("filler"), QByteArray(40000, 'f'));
        switchTo2D(*w);
        w->mnuSaveAs->trigger();
        QCOMPARE(w->lastMessage,
            QStringLiteral("\"2D.bmp\" could not be written: No space left on device. Any "
                           "earlier file is unchanged."));
        QCOMPARE(readAll(QStringLiteral("2D.bmp")), earlier);
        QCOMPARE(entries(), (QStringList { "2D.bmp", "filler" }));
    }

private:
    bool mounted = false;
    QString savedCwd;
    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<frmMain> w;
};

int runPlotsAndSavingTests(int argc, char** argv)
{
    TestPlotsAndSaving t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_PlotsAndSaving.moc"
