// The plot window and the main window's "Open", offscreen with a fake desktop: Open refused
// while recording, cancelled, and opening a file (editor, window, PlotShown, the old window
// closed); bad and partial files; the columns of the unit displayed at load time; "Range"
// (filled boxes, key filters, the OK conditions, Escape); "Print" and "Save image".

#include "app/plot/plotcanvas.h"
#include "app/plot/plotviewer.h"
#include "app/plot/plotwindow.h"
#include "app/plot/rangepanel.h"
#include "app/window/controlpanel.h"
#include "link/linkthread.h"
#include "live/livepoll.h"
#include "support/fakeplatform.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A 2-channel type K file of `records` lines: T1 = 20.0 °C / 68.0 °F, T2 = 30.0 °C / 86.0 °F.
QByteArray dataFile(int count, int records) {
    QByteArray text = "Total Records : " + QByteArray::number(count) +
                      "\r\nNo.s \t      Date Time    \tType\t   T1C\t   T2C\t   T1F\t   T2F\t"
                      "   T1K\t   T2K\r\n" +
                      QByteArray(87, '-') + "\r\n";
    for (int n = 1; n <= records; ++n) {
        text += QByteArray::number(n).leftJustified(6) +
                "\t2024/01/05 10:30:00\tK\t  20.0\t  30.0\t  68.0\t  86.0\t 293.0\t 303.0\r\n";
    }
    return text;
}

struct Rig {
    Rig()
        : viewer(platform, [this] { return unit; }) {}
    ~Rig() {
        while (auto* window = viewer.window())
            delete window;
    }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("run.txt")) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    app::PlotWindow* openWindow(int count = 11) {
        viewer.open(write(dataFile(count, count)));
        return viewer.window();
    }
    template <typename T = QLineEdit> T* find(const char* name) const {
        return viewer.window()->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    testsupport::FakePlatform platform;
    live::TempUnit unit = live::TempUnit::Celsius;
    app::PlotViewer viewer;
};

} // namespace

class TstPlotWindow : public QObject {
    Q_OBJECT

private slots:

    void openKeyOnTheMainWindow() {
        serial::LinkThread link([] {
            auto clock = std::make_unique<serial::VirtualClock>();
            auto port = std::make_unique<serial::SimPort>(*clock);
            return serial::Backend{std::move(port), std::move(clock)};
        });
        live::LiveState live;
        Rig rig;
        app::ControlPanel window(link, live, rig.platform, [] { return 0.0; });
        QAction* open = window.toolbarAction(QStringLiteral("Open"));
        QVERIFY(!open->isEnabled());
        app::attachOpenKey(window, rig.viewer, [] { return false; });
        QVERIFY(open->isEnabled());
        rig.platform.chosenFile = rig.write(dataFile(3, 3));
        open->trigger();
        QVERIFY(rig.viewer.plotShown());
    }

    void openKeyRefusedWhileRecording() {
        Rig rig;
        rig.platform.chosenFile = rig.write(dataFile(3, 3));
        rig.viewer.openKey(true);
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text, QStringLiteral("Error! Recording mode !"));
        QVERIFY(rig.platform.filters.isEmpty());
        QVERIFY(rig.platform.opened.isEmpty());
        QVERIFY(!rig.viewer.plotShown());
    }

    void openKeyCancelledLoadsNothing() {
        Rig rig;
        rig.viewer.openKey(false);
        QCOMPARE(rig.platform.filters,
                 QStringList{QStringLiteral("Data Files (*.txt);;All Files (*)")});
        QVERIFY(rig.platform.opened.isEmpty());
        QVERIFY(rig.platform.messages.isEmpty());
        QVERIFY(!rig.viewer.plotShown());
    }

    void openShowsANewWindowAndClosesTheOld() {
        Rig rig;
        QSignalSpy shown(&rig.viewer, &app::PlotViewer::plotShownChanged);
        rig.platform.chosenFile = rig.write(dataFile(3, 3), QStringLiteral("first.txt"));
        rig.viewer.openKey(false);
        QCOMPARE(rig.platform.opened, QStringList{rig.platform.chosenFile});
        QPointer<app::PlotWindow> first = rig.viewer.window();
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->objectName(), QStringLiteral("Plot"));
        QCOMPARE(first->canvas()->view().r2, qint64(3));

        rig.platform.chosenFile = rig.write(dataFile(5, 5), QStringLiteral("second.txt"));
        rig.viewer.openKey(false);
        QVERIFY(first.isNull());
        QVERIFY(rig.viewer.plotShown());
        QCOMPARE(rig.viewer.window()->canvas()->view().r2, qint64(5));
        QCOMPARE(shown.size(), 2);

        rig.viewer.window()->close();
        QVERIFY(!rig.viewer.plotShown());
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.last().first().toBool(), false);
    }

    // The columns of the unit shown when the file is opened (the loader pins the rest).
    void columnsFollowTheDisplayedUnit() {
        Rig rig;
        rig.unit = live::TempUnit::Fahrenheit;
        app::PlotWindow* window = rig.openWindow();
        QCOMPARE(window->canvas()->data().value(2, 0), 86.0f);
        QCOMPARE(window->canvas()->view().high, 2507.0);
    }

    void badFileKeepsTheWindowAndSaysWhy() {
        Rig rig;
        QPointer<app::PlotWindow> window = rig.openWindow();
        QVERIFY(!rig.viewer.open(rig.write("Total Records : 999999999\r\n", "bad.txt")));
        QVERIFY(!window.isNull());
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("bad.txt")));
    }

    void partialFileIsShownWithAWarning() {
        Rig rig;
        QVERIFY(rig.viewer.open(rig.write(dataFile(9, 4), "cut.txt")));
        QCOMPARE(rig.viewer.window()->canvas()->view().r2, qint64(9));
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("cut.txt")));
    }

    void rangeKeyFillsAndToggles() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow(11);
        auto* panel = rig.find<app::RangePanel>("PicRange");
        QVERIFY(panel && panel->isHidden());
        window->toolbarAction(QStringLiteral("Range"))->trigger();
        QVERIFY(panel->isVisible());
        QCOMPARE(rig.find("TxtT1")->text(), QStringLiteral("-200"));
        QCOMPARE(rig.find("TxtT2")->text(), QStringLiteral("1375"));
        QCOMPARE(rig.find("TxtR1")->text(), QStringLiteral("1"));
        QCOMPARE(rig.find("TxtR2")->text(), QStringLiteral("11"));
        window->toolbarAction(QStringLiteral("Range"))->trigger();
        QVERIFY(panel->isHidden());
    }

    void keyFilters_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("R1 digits only") << "TxtR1" << QString("1a-2.3 e") << "123";
        QTest::newRow("R2 digits only") << "TxtR2" << QString("+4,5") << "45";
        QTest::newRow("T1 digits and point") << "TxtT1" << QString("-1x2.5e") << "12.5";
        QTest::newRow("T2 digits and point") << "TxtT2" << QString("..7 ") << "..7";
    }

    void keyFilters() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        Rig rig;
        rig.openWindow()->rangeKey();
        QLineEdit* edit = rig.find(qPrintable(box));
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), kept.chopped(1));
    }

    void okConditions_data() {
        QTest::addColumn<QString>("boxes"); // T1|T2|R1|R2
        QTest::addColumn<bool>("accepted");
        // Type K in Celsius (-200..1375), 11 records.
        QTest::newRow("whole range") << QString("-200|1375|1|11") << true;
        QTest::newRow("narrowed") << QString("10.5|40|3|7") << true;
        QTest::newRow("R1 = R2") << QString("0|100|5|5") << false;
        QTest::newRow("R1 > R2") << QString("0|100|6|5") << false;
        QTest::newRow("R1 = 0") << QString("0|100|0|5") << false;
        QTest::newRow("R1 empty") << QString("0|100||5") << false;
        QTest::newRow("R2 > N") << QString("0|100|1|12") << false;
        QTest::newRow("T1 = T2") << QString("50|50|1|11") << false;
        QTest::newRow("T1 > T2") << QString("60|50|1|11") << false;
        QTest::newRow("T1 below the type") << QString("-200.1|50|1|11") << false;
        QTest::newRow("T2 above the type") << QString("0|1375.1|1|11") << false;
    }

    void okConditions() {
        QFETCH(QString, boxes);
        QFETCH(bool, accepted);
        const QStringList box = boxes.split(u'|');
        const QString &t1 = box[0], &t2 = box[1], &r1 = box[2], &r2 = box[3];
        Rig rig;
        app::PlotWindow* window = rig.openWindow(11);
        window->rangeKey();
        rig.find("TxtT1")->setText(t1);
        rig.find("TxtT2")->setText(t2);
        rig.find("TxtR1")->setText(r1);
        rig.find("TxtR2")->setText(r2);
        rig.find<QPushButton>("CmdOK")->click();
        const plot::PlotView view = window->canvas()->view();
        if (accepted) {
            QVERIFY(rig.platform.messages.isEmpty());
            QVERIFY(window->rangePanel()->isHidden());
            QCOMPARE(view.low, t1.toDouble());
            QCOMPARE(view.high, t2.toDouble());
            QCOMPARE(view.r1, r1.toLongLong());
            QCOMPARE(view.r2, r2.toLongLong());
        } else {
            QCOMPARE(rig.platform.messages.size(), 1);
            QCOMPARE(rig.platform.messages[0].text, QStringLiteral("Invalid,try again!"));
            QVERIFY(window->rangePanel()->isVisible());
            QCOMPARE(rig.find("TxtR1")->text(), r1);
            QCOMPARE(view.r2, qint64(11));
            QCOMPARE(view.low, -200.0);
        }
    }

    void escapeClosesThePanel() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->rangeKey();
        QLineEdit* r1 = rig.find("TxtR1");
        QCOMPARE(QApplication::focusWidget(), r1);
        QTest::keyClick(r1, Qt::Key_Escape);
        QVERIFY(window->rangePanel()->isHidden());
        QCOMPARE(QApplication::focusWidget(), window->canvas());
    }

    void printDrawsThePlot() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow();
        window->rangeKey();
        const QString pdf = rig.dir.filePath(QStringLiteral("printed.pdf"));
        window->setPrinterChooser([&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        window->toolbarAction(QStringLiteral("Print"))->trigger();
        QVERIFY(window->rangePanel()->isHidden());
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.size() > 1000);

        window->setPrinterChooser([](QPrinter&) { return false; }); // the dialog cancelled
        window->printKey();
        QVERIFY(rig.platform.messages.isEmpty());
    }

    void saveImage() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow();
        rig.platform.chosenSaveFile = rig.dir.filePath(QStringLiteral("picture"));
        window->toolbarAction(QStringLiteral("SaveImage"))->trigger();
        QCOMPARE(rig.platform.suggestedFiles,
                 QStringList{rig.dir.filePath(QStringLiteral("run.png"))});
        const QImage image(rig.dir.filePath(QStringLiteral("picture.png")));
        QCOMPARE(image.size(), window->canvas()->size());
        rig.platform.chosenSaveFile = rig.dir.filePath(QStringLiteral("missing/picture.svg"));
        window->saveImageKey();
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("picture.svg")));
    }

    void mouseAndKeysZoomTheRecords() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow(1001);
        app::PlotCanvas* canvas = window->canvas();
        canvas->resize(1000, 600); // W 940: 0.94 units per record
        const auto records = [&] { return std::pair{canvas->view().r1, canvas->view().r2}; };

        // A drag from record 101 to 601.
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(40 + 94, 300));
        QTest::mouseMove(canvas, QPoint(40 + 564, 300));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(40 + 564, 300));
        QCOMPARE(records(), std::pair(qint64(101), qint64(601)));
        QCOMPARE(canvas->view().low, -200.0); // the values stay

        // A click is no drag; the status text names the record under the cursor.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(40 + 470, 300));
        QCOMPARE(records(), std::pair(qint64(101), qint64(601)));
        QCOMPARE(canvas->recordText(40 + 470), QStringLiteral("Record 351:  C1 20.0  C2 30.0"));

        QTest::keyClick(canvas, Qt::Key_Plus); // half the records around the middle (351)
        QCOMPARE(records(), std::pair(qint64(226), qint64(476)));
        QTest::keyClick(canvas, Qt::Key_Right);
        QCOMPARE(records(), std::pair(qint64(251), qint64(501)));
        QTest::keyClick(canvas, Qt::Key_Minus);
        QCOMPARE(records(), std::pair(qint64(126), qint64(626)));
        QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(300, 300));
        QCOMPARE(records(), std::pair(qint64(1), qint64(1001)));
        QTest::keyClick(canvas, Qt::Key_Plus);
        QCOMPARE(records(), std::pair(qint64(251), qint64(751)));
        QTest::keyClick(canvas, Qt::Key_Home);
        QCOMPARE(records(), std::pair(qint64(1), qint64(1001)));
        QTest::keyClick(canvas, Qt::Key_Minus); // never beyond the file
        QCOMPARE(records(), std::pair(qint64(1), qint64(1001)));
    }
};

QTEST_MAIN(TstPlotWindow)
#include "tst_plotwindow.moc"
