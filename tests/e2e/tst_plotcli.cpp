// "qr512 plot" as a user runs it on a machine without a display (no DISPLAY, no
// QT_QPA_PLATFORM): pictures of the requested size, and every bad option or file
// refused with exit status 2 and a message, an unwritable picture with 1.

#include "recording/datafile.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstPlotCli : public QObject {
    Q_OBJECT

private:
    int run(const QStringList& args, QString* err = nullptr) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QR512_BINARY), QStringList{QStringLiteral("plot")} + args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        if (err)
            *err = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    }
    QTemporaryDir m_dir;
    QString m_data;

private slots:

    void initTestCase() {
        std::vector<recording::DataRow> rows;
        for (int i = 0; i < 20; ++i)
            rows.push_back({1700000000 + i, {5130, quint16(5130 + 9 * i), 4860, 65535}, 'K'});
        m_data = m_dir.filePath(QStringLiteral("20240105093015.txt"));
        QFile file(m_data);
        const QByteArray text = recording::fileText(rows, 4, live::TempUnit::Celsius,
                                                    recording::TrailerLayout::Recording);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }

    void pictures_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("defaults") << QStringList{} << "a.png" << QSize(1000, 600);
        QTest::newRow("all options") << QStringList{"--unit",  "F",     "--records", "2:5",
                                                    "--range", "0:100", "--size",    "300x200"}
                                     << "b.png" << QSize(300, 200);
    }

    void pictures() {
        QFETCH(QStringList, options);
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QString out = m_dir.filePath(name);
        QString err;
        QCOMPARE(run(QStringList{m_data, QStringLiteral("-o"), out} + options, &err), 0);
        QFile file(out);
        QVERIFY2(file.open(QIODevice::ReadOnly) && file.size() > 500, qPrintable(err));
        const QImage image(out);
        QCOMPARE(image.size(), size);
        if (options.isEmpty()) {
            // Type K in Celsius on 1000x600: T1 (25.0) 75 above the bottom line (575), T4 (OL)
            // 3 above the top line (50), in their colours.
            const auto colourNear = [&](int x, int y, QRgb colour) {
                for (int dy = -1; dy <= 1; ++dy) {
                    if (image.pixel(x, y + dy) == colour)
                        return true;
                }
                return false;
            };
            QVERIFY(colourNear(500, 500, 0xffff0000));
            QVERIFY(colourNear(500, 47, 0xff000000));
        }
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString data = QStringLiteral("DATA");
        QTest::newRow("no file") << QStringList{"-o", "x.png"} << 2 << "which data file";
        QTest::newRow("no output") << QStringList{data} << 2 << "-o";
        QTest::newRow("bmp") << QStringList{data, "-o", "x.bmp"} << 2 << ".png, .svg or .pdf";
        QTest::newRow("unit") << QStringList{data, "-o", "x.png", "--unit", "R"} << 2 << "--unit";
        QTest::newRow("size too small")
            << QStringList{data, "-o", "x.png", "--size", "119x600"} << 2 << "--size";
        QTest::newRow("size not WxH")
            << QStringList{data, "-o", "x.png", "--size", "800"} << 2 << "--size";
        QTest::newRow("R2 > N") << QStringList{data, "-o", "x.png", "--records", "1:21"} << 2
                                << "--records";
        QTest::newRow("beyond type K") << QStringList{data, "-o", "x.png", "--range", "-201:0"} << 2
                                       << "-200 <= LOW < HIGH <= 1375";
        QTest::newRow("missing file")
            << QStringList{"absent.txt", "-o", "x.png"} << 2 << "absent.txt";
        QTest::newRow("not a data file")
            << QStringList{"notes.txt", "-o", "x.png"} << 2 << "notes.txt";
        QTest::newRow("unwritable picture")
            << QStringList{data, "-o", "no/dir/x.png"} << 1 << "x.png";
    }

    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFile notes(m_dir.filePath(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("shopping list\nmilk\n") > 0);
        notes.close();
        for (QString& arg : args) {
            if (arg == QLatin1String("DATA"))
                arg = m_data;
            else if (arg.endsWith(QLatin1String(".png")) || arg.endsWith(QLatin1String(".txt")))
                arg = m_dir.filePath(arg);
        }
        QString err;
        QCOMPARE(run(args, &err), status);
        QVERIFY2(err.contains(message), qPrintable(err));
    }
};

QTEST_APPLESS_MAIN(TstPlotCli)
#include "tst_plotcli.moc"
