// What a user reads when a serial device cannot be opened: the device, and what to do about it.

#include "link/serialport.h"

#include <QSerialPort>
#include <QTest>

using serial::SerialPort;

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:

    void openErrorText_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("denied");
        QTest::addColumn<QString>("text");
        QTest::newRow("no rights: how to join dialout")
            << int(QSerialPort::PermissionError) << true
            << QStringLiteral(
                   "Permission denied for /dev/ttyUSB0. Add your user to the dialout group "
                   "(sudo usermod -aG dialout $USER), then log out and in again.");
        QTest::newRow("held by another program: no group advice")
            << int(QSerialPort::PermissionError) << false
            << QStringLiteral("/dev/ttyUSB0 is in use by another program.");
        QTest::newRow("unplugged")
            << int(QSerialPort::DeviceNotFoundError) << true
            << QStringLiteral("/dev/ttyUSB0 does not exist (is the meter's cable plugged in?).");
        QTest::newRow("other: the system's words")
            << int(QSerialPort::OpenError) << false
            << QStringLiteral("/dev/ttyUSB0 could not be opened: Device busy");
    }

    void openErrorText() {
        QFETCH(int, error);
        QFETCH(bool, denied);
        QFETCH(QString, text);
        QCOMPARE(SerialPort::openErrorText(QStringLiteral("/dev/ttyUSB0"), error,
                                           QStringLiteral("Device busy"), denied),
                 text);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
