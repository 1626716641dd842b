// The working-file guard against a lock left behind by a recorder that died: the rows it wrote
// are moved aside before the lock is taken over, a mere question (isHeld) never takes it over,
// a working file without a data row is not worth keeping, and a folder that cannot be written
// is named as such.

#include "recording/workfileguard.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using recording::WorkFileGuard;

namespace {

const QByteArray kHead = "No.s \tDate Time\tType\tT1C\r\n" + QByteArray(63, '-') + "\r\n";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The lock a killed recorder leaves: its process no longer exists.
void leaveDeadLock(const QString& workPath) {
    writeFile(workPath + ".lock",
              "2147483646\nqr512\n" + QSysInfo::machineHostName().toUtf8() + "\n");
}

} // namespace

class TestWorkFileGuard : public QObject {
    Q_OBJECT

private slots:
    void deadHoldersRowsGoAsideFirst_data() {
        QTest::addColumn<QByteArray>("work"); // what the dead recorder left in QR512.temp
        QTest::addColumn<bool>("keep");
        const QByteArray row = "1     \t2024/01/05 09:30:16\tK\t  25.0\r\n";
        QTest::newRow("rows") << kHead + row + row << true;
        QTest::newRow("torn last row") << kHead + row.left(12) << true;
        QTest::newRow("header only") << kHead << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void deadHoldersRowsGoAsideFirst() {
        QFETCH(QByteArray, work);
        QFETCH(bool, keep);
        QTemporaryDir dir;
        const QString path = dir.filePath("QR512.temp");
        writeFile(path, work);
        leaveDeadLock(path);

        // Asking leaves the mark in place for whoever takes the file.
        QVERIFY(!WorkFileGuard::isHeld(path));
        QVERIFY(QFile::exists(path + ".lock"));

        WorkFileGuard guard(path);
        QVERIFY(guard.acquired());
        QVERIFY(guard.previousHolderDied());
        const QStringList kept = QDir(dir.path()).entryList({"QR512-unfinished-*.txt"});
        QCOMPARE(kept.size(), keep ? 1 : 0);
        if (keep) {
            QCOMPARE(guard.keptUnfinished(), dir.filePath(kept.first()));
            QFile moved(guard.keptUnfinished());
            QVERIFY(moved.open(QIODevice::ReadOnly));
            QCOMPARE(moved.readAll(), work);
            QVERIFY(!QFile::exists(path));
        } else {
            QCOMPARE(guard.keptUnfinished(), QString());
        }
        QVERIFY(WorkFileGuard::isHeld(path));
    }

    void deadHolderInAFolderThatCannotBeWritten_data() {
        QTest::addColumn<QByteArray>("work");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no rows") << kHead << "the folder %1 cannot be written";
        QTest::newRow("rows") << kHead + "1     \t2024/01/05 09:30:16\tK\t  25.0\r\n"
                              << "QR512.temp holds the rows of an earlier recording that did "
                                 "not finish, and they could not be moved aside: Read-only "
                                 "file system.";
    }

    void deadHolderInAFolderThatCannotBeWritten() {
        QFETCH(QByteArray, work);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir.path()}) != 0)
            QSKIP("no tmpfs can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {dir.path()}); });
        const QString path = dir.filePath("QR512.temp");
        writeFile(path, work);
        leaveDeadLock(path);
        QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", dir.path()}), 0);

        WorkFileGuard guard(path);
        QVERIFY(!guard.acquired());
        QCOMPARE(guard.holderPid(), qint64(0)); // no process is said to be recording
        QCOMPARE(guard.refusal(), refusal.replace("%1", dir.path()));
        QVERIFY(QFile::exists(path + ".lock"));
    }

    void markedFileWaitsForTheNextGuard() {
        QTemporaryDir dir;
        const QString path = dir.filePath("QR512.temp");
        {
            WorkFileGuard guard(path);
            QVERIFY(guard.acquired());
            writeFile(path, kHead + "1     \t2024/01/05 09:30:16\tK\t  25.0\r\n");
            guard.leaveMarked();
        }
        // Marked by this (living) process: nobody here may replace the rows.
        QVERIFY(WorkFileGuard::isHeld(path));
        QVERIFY(QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestWorkFileGuard)
#include "tst_workfileguard.moc"
