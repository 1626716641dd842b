// The one way a whole file is written: which targets it takes, and that a file appears under
// its name complete or not at all, with the system's reason and the older file untouched.

#include "recording/replacingfile.h"
#include "smalldisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace recording;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestReplacingFile : public QObject {
    Q_OBJECT
private slots:
    // What stands under the name decides: a file or a free name is written, anything else is
    // refused with what it is, and left as it was.
    void targets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // empty: written
        QTest::newRow("free name") << "free"
                                   << "";
        QTest::newRow("older file") << "file"
                                    << "";
        QTest::newRow("link to a file")
            << "link"
            << "it is a symbolic link; give the name of the file itself";
        QTest::newRow("FIFO") << "fifo"
                              << "it is a FIFO, not a file";
        QTest::newRow("folder") << "folder"
                                << "it is a folder";
        QTest::newRow("device") << "device"
                                << "it is a device, not a file";
        QTest::newRow("missing folder") << "nofolder"
                                        << "No such file or directory";
    }

    void targets() {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const QString outside = dir.filePath("outside.txt");
        QFile::remove(outside);
        QFile o(outside);
        QVERIFY(o.open(QIODevice::WriteOnly) && o.write("theirs") == 6);
        o.close();
        QString path = dir.filePath("out.txt");
        if (kind == "file")
            QVERIFY(QFile::copy(outside, path));
        else if (kind == "link")
            QVERIFY(QFile::link(outside, path));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("out.txt"));
        else if (kind == "device" &&
                 ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("no right to make a device node here"); // never tried on the system's own
        else if (kind == "nofolder")
            path = dir.filePath("gone/out.txt");

        QString error;
        const bool written = writeWholeFile(path, "ours", &error);
        QCOMPARE(error, refusal);
        QCOMPARE(written, refusal.isEmpty());
        if (written)
            QCOMPARE(contentOf(path), QByteArray("ours"));
        QCOMPARE(contentOf(outside), QByteArray("theirs"));
        QVERIFY(!QFile::exists(path + ".part"));
        if (kind == "device") {
            struct stat st {};
            QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode));
        }
    }

    // A disk that fills up or fails at the sync: false with the system's reason, nothing
    // half-written under the name or beside it, the older file as it was.
    void failingDisk_data() {
        QTest::addColumn<qint64>("room");
        QTest::addColumn<bool>("syncFails");
        QTest::addColumn<QString>("error");
        QTest::newRow("full from the start") << qint64(0) << false << "No space left on device";
        QTest::newRow("full part-way") << qint64(5) << false << "No space left on device";
        QTest::newRow("sync fails") << qint64(1000) << true << "Input/output error";
        QTest::newRow("room enough") << qint64(10) << false << "";
    }

    void failingDisk() {
        QFETCH(qint64, room);
        QFETCH(bool, syncFails);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath("memory.txt");
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
        older.close();
        auto disk = std::make_shared<qint64>(room);
        QString why;
        const bool ok = writeWholeFile(path, "0123456789", &why, [&](const QString& p) {
            return std::make_unique<DiskFile>(p, disk, syncFails);
        });
        QCOMPARE(why, error);
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(contentOf(path), ok ? QByteArray("0123456789") : QByteArray("older"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"memory.txt"});
    }
};

QTEST_GUILESS_MAIN(TestReplacingFile)
#include "tst_replacingfile.moc"
