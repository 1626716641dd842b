// The ways the program writes files: which targets they take (a regular file or a free name,
// never through a link, never a device or a FIFO), and that a whole file appears under its name
// complete or not at all, with the system's reason and the older file untouched.

#include "recording/recordwriter.h"
#include "recording/replacingfile.h"
#include "support/smalldisk.h"

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

class TestOutputFile : public QObject {
    Q_OBJECT
private slots:
    // What stands under the name decides, for a whole file and for the working file opened in
    // place alike: a file or a free name is written, anything else is refused with what it is
    // and left as it was (a FIFO without a reader does not hold the program).
    void targets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // empty: written
        QTest::addColumn<bool>("appended");   // OutputFile in place, not a ReplacingFile
        const QList<std::pair<const char*, const char*>> kinds{
            {"free", ""},
            {"file", ""},
            {"link", "it is a symbolic link; give the name of the file itself"},
            {"fifo", "it is a FIFO, not a file"},
            {"folder", "it is a folder"},
            {"device", "it is a device, not a file"},
            {"nofolder", "No such file or directory"}};
        for (const bool appended : {false, true}) {
            for (const auto& [kind, refusal] : kinds) {
                // A folder opened for writing is refused by the system in its own words.
                const bool folder = QByteArray(kind) == "folder";
                QTest::addRow("%s %s", appended ? "append" : "whole", kind)
                    << QString(kind) << QString(appended && folder ? "Is a directory" : refusal)
                    << appended;
            }
        }
    }

    void targets() {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QFETCH(bool, appended);
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
        bool written = false;
        if (appended) {
            OutputFile file(path);
            written = file.open(true) && file.write("ours") && file.close();
            error = file.errorString();
        } else {
            written = writeWholeFile(path, "ours", &error);
        }
        QCOMPARE(error, refusal);
        QCOMPARE(written, refusal.isEmpty());
        if (written)
            QCOMPARE(contentOf(path), appended && kind == "file" ? "theirsours" : "ours");
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

    // The working file of a recording whose disk filled up mid-row ends at its last complete
    // row once closed: what is kept of it never ends in half a value that looks like data.
    void workFileClosesAtItsLastWholeRow() {
        QTemporaryDir dir;
        const QString path = dir.filePath("QR512.temp");
        std::vector<DataRow> rows;
        for (int i = 0; i < 3; ++i)
            rows.push_back({1700000000 + i, {5130, 5130, 5130, 5130}, 'K'});
        auto disk = std::make_shared<qint64>(1 << 20);
        RecordWriter writer;
        writer.setFileOpener([&](const QString& p) { return std::make_unique<DiskFile>(p, disk); });
        QString error;
        QVERIFY(writer.startWorkFile(path, 4, &error));
        QVERIFY(writer.updateWorkFile(std::span(rows).first(1), &error));
        const QByteArray whole = contentOf(path);
        *disk = 20; // the second row is cut after 20 bytes
        QVERIFY(!writer.updateWorkFile(rows, &error));
        QCOMPARE(contentOf(path).size(), whole.size() + 20);
        QVERIFY(writer.closeWorkFile(&error));
        QCOMPARE(contentOf(path), whole);
    }
};

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
