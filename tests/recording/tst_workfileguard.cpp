// The working-file guard against a lock left behind by a recorder that died: the rows it wrote
// are moved aside before the lock is taken over, a mere question (isHeld) never takes it over,
// and a working file without a data row is not worth keeping.

#include "recording/workfileguard.h"

#include <QDir>
#include <QFile>
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
