// The pseudo-terminal host with a plain POSIX client: replies come back through the device
// whole, also split in time and after a reopen, and the unplug fault closes the device.

#include "sim/ptyhost.h"
#include "sim/virtualmeter.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using sim::PtyHost;
using sim::VirtualMeter;

namespace {

int openClient(const QString& path) {
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

// Appends whatever the client can read now; returns the total so far.
qsizetype drain(int fd, QByteArray* into) {
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        into->append(buffer, n);
    return into->size();
}

bool writeAll(int fd, const QByteArray& bytes) {
    return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

const QByteArray kHandshake("\x02\x41\x0D", 3);

} // namespace

class TestPtyHost : public QObject {
    Q_OBJECT
private slots:
    // The handshake and a frame come back through the device whole, though their bytes come
    // apart in time, also after the client closed and reopened it.
    void clientIsAnsweredAcrossReopens() {
        VirtualMeter meter({}, {.byteGap = 0.002});
        PtyHost host(&meter);
        QString error;
        QVERIFY2(host.open(&error), qPrintable(error));
        QVERIFY(host.devicePath().startsWith(QLatin1String("/dev/")));
        for (int round = 0; round < 2; ++round) {
            const int fd = openClient(host.devicePath());
            QVERIFY(fd >= 0);
            QByteArray got;
            QVERIFY(writeAll(fd, "A"));
            QTRY_COMPARE_WITH_TIMEOUT(drain(fd, &got), 3, 20000);
            QCOMPARE(got, kHandshake);
            got.clear();
            QVERIFY(writeAll(fd, "M"));
            QTRY_COMPARE_WITH_TIMEOUT(drain(fd, &got), 37, 20000);
            QCOMPARE(quint8(got.front()), 0x02);
            QCOMPARE(quint8(got.back()), 0x0D);
            ::close(fd);
        }
        QVERIFY(host.isOpen());
        QCOMPARE(meter.commandLog().size(), 4);
    }

    void unplugClosesTheDevice() {
        VirtualMeter meter({}, {.unplugAfter = 1});
        PtyHost host(&meter);
        QSignalSpy spy(&host, &PtyHost::unplugged);
        QVERIFY(host.open());
        const int fd = openClient(host.devicePath());
        QVERIFY(fd >= 0);
        QByteArray got;
        QVERIFY(writeAll(fd, "A"));
        QTRY_COMPARE_WITH_TIMEOUT(drain(fd, &got), 3, 20000);
        QVERIFY(writeAll(fd, "A"));
        QVERIFY(spy.wait(20000));
        QVERIFY(!host.isOpen());
        QVERIFY(meter.isUnplugged());
        // The client sees a hang-up, not an empty line that might still answer.
        char byte = 0;
        const ssize_t n = ::read(fd, &byte, 1);
        QVERIFY(n == 0 || (n < 0 && errno != EAGAIN));
        ::close(fd);
    }
};

QTEST_GUILESS_MAIN(TestPtyHost)
#include "tst_ptyhost.moc"
