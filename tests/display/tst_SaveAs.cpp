// Save As never damages an earlier file: a full disk and a write-protected second 1D file
// leave every earlier file byte for byte as it was, and the message tells the truth.
#include "tests/support/GuiTestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/mount.h>

class TestSaveAs : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir.emplace();
        QVERIFY(dir->isValid());
        previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(previous);
        if (mounted)
            ::umount(dir->path().toLocal8Bit().constData());
        mounted = false;
        dir.reset();
    }

    void aFullDiskKeepsTheEarlierFileAndNamesTheReason()
    {
        if (::mount("tmpfs", dir->path().toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a tmpfs here");
        mounted = true;
        QVERIFY(QDir::setCurrent(dir->path())); // into the mounted folder
        const QByteArray earlier(3000, 'e');
        write(QStringLiteral("2D.bmp"), earlier);
        write(QStringLiteral("filler"), QByteArray(40000, 'f'));
        frmMain w;
        w.show();
        gt::switchTo2D(w);
        w.mnuSaveAs->trigger();
        QCOMPARE(w.lastMessage,
            QStringLiteral("\"2D.bmp\" could not be written: No space left on device. Any "
                           "earlier file is unchanged."));
        QCOMPARE(read(QStringLiteral("2D.bmp")), earlier);
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList { "2D.bmp", "filler" }));
    }

    // The two 1D files are one set: a write-protected second file keeps the first unchanged.
    void bothProfilesOrNeither()
    {
        write(QStringLiteral("Activator_1D.bmp"), "earlier u");
        write(QStringLiteral("Inhibitor_1D.bmp"), "earlier v");
        QVERIFY(QFile::setPermissions(QStringLiteral("Inhibitor_1D.bmp"), QFile::ReadOwner));
        frmMain w;
        w.show();
        w.mnuSaveAs->trigger();
        QCOMPARE(w.lastMessage,
            QStringLiteral("\"Inhibitor_1D.bmp\" could not be written: Permission denied. No "
                           "file was changed."));
        QCOMPARE(read(QStringLiteral("Activator_1D.bmp")), QByteArray("earlier u"));
        QCOMPARE(read(QStringLiteral("Inhibitor_1D.bmp")), QByteArray("earlier v"));
        // Writable again, both are replaced and the message is gone.
        QVERIFY(QFile::setPermissions(
            QStringLiteral("Inhibitor_1D.bmp"), QFile::ReadOwner | QFile::WriteOwner));
        w.lastMessage.clear();
        w.mnuSaveAs->trigger();
        QVERIFY2(w.lastMessage.isEmpty(), qPrintable(w.lastMessage));
        QCOMPARE(QImage(QStringLiteral("Activator_1D.bmp")).convertToFormat(QImage::Format_RGB32),
            w.Picture1->image());
        QCOMPARE(QImage(QStringLiteral("Inhibitor_1D.bmp")).convertToFormat(QImage::Format_RGB32),
            w.Picture2->image());
    }

private:
    static void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    static QByteArray read(const QString& name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::optional<QTemporaryDir> dir;
    QString previous;
    bool mounted = false;
};

int runSaveAsTests(int argc, char** argv)
{
    TestSaveAs t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_SaveAs.moc"
