// The plot window and the main window's "Open", offscreen with a fake desktop: Open refused
// while recording, cancelled, and opening a file (editor, window, PlotShown, the old window
// closed); bad and partial files; the columns of the unit displayed at load time; "Range"
// (filled boxes, key filters, the OK conditions, Escape); "Print" and "Save image"; "Fit" (F and
// CmdFit), "Time axis" refused without date-times, "Export CSV…".

#include "app/plot/plotcanvas.h"
#include "app/plot/plotviewer.h"
#include "app/plot/plotwindow.h"
#include "app/plot/rangepanel.h"
#include "app/window/controlpanel.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAccessible>
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

// The range panel's boxes in the order the tables give them.
constexpr const char* kBoxes[] = {"TxtT1", "TxtT2", "TxtR1", "TxtR2"};

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
    QString boxes() const {
        QStringList texts;
        for (const char* name : kBoxes)
            texts << find(name)->text();
        return texts.join(u'|');
    }

    QTemporaryDir dir;
    testsupport::FakePlatform platform;
    live::TempUnit unit = live::TempUnit::Celsius;
    app::PlotViewer viewer;
};

} // namespace

class TestPlotWindow : public QObject {
    Q_OBJECT

private slots:

    // Through the main window's key: refused while recording, cancelled, a file opened in the
    // editor and the window, a second one replacing that window without PlotShown going false.
    void openKey() {
        testsupport::LinkRig link({}, {}, 0); // never started
        Rig rig;
        app::ControlPanel window(link.thread, link.state, rig.platform, [] { return 0.0; });
        QAction* open = window.toolbarAction(QStringLiteral("Open"));
        QVERIFY(!open->isEnabled());
        bool recording = true;
        app::attachOpenKey(window, rig.viewer, [&] { return recording; });
        QVERIFY(open->isEnabled());
        QSignalSpy shown(&rig.viewer, &app::PlotViewer::plotShownChanged);
        const QString first = rig.write(dataFile(3, 3), QStringLiteral("first.txt"));
        rig.platform.chosenFile = first;
        open->trigger();
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text, QStringLiteral("Error! Recording mode !"));
        QVERIFY(rig.platform.filters.isEmpty());

        recording = false;
        rig.platform.chosenFile.clear();
        open->trigger();
        QCOMPARE(rig.platform.filters,
                 QStringList{QStringLiteral("Data Files (*.txt);;All Files (*)")});
        QVERIFY(rig.platform.opened.isEmpty());
        QVERIFY(shown.isEmpty());

        rig.platform.chosenFile = first;
        open->trigger();
        QCOMPARE(rig.platform.opened, QStringList{first});
        QPointer<app::PlotWindow> firstWindow = rig.viewer.window();
        QVERIFY(firstWindow && firstWindow->isVisible());
        QCOMPARE(firstWindow->canvas()->view().r2, qint64(3));
        rig.platform.chosenFile = rig.write(dataFile(5, 5), QStringLiteral("second.txt"));
        open->trigger();
        QVERIFY(firstWindow.isNull());
        QCOMPARE(rig.viewer.window()->canvas()->view().r2, qint64(5));
        QCOMPARE(shown.size(), 2);

        rig.viewer.window()->close();
        QVERIFY(!rig.viewer.plotShown());
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.last().first().toBool(), false);
    }

    // A bad file keeps the window shown; one cut short is shown, with a warning, in the
    // columns of the unit displayed when it is opened (the loader pins the rest).
    void badAndPartialFilesSayWhy() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow();
        rig.unit = live::TempUnit::Fahrenheit;
        QVERIFY(!rig.viewer.open(rig.write("Total Records : 999999999\r\n", "bad.txt")));
        QCOMPARE(rig.viewer.window(), window);
        QVERIFY(rig.viewer.open(rig.write(dataFile(9, 4), "cut.txt")));
        QCOMPARE(rig.viewer.window()->canvas()->view().r2, qint64(9));
        QCOMPARE(rig.viewer.window()->canvas()->data().value(2, 0), 86.0f);
        QCOMPARE(rig.viewer.window()->canvas()->view().high, 2507.0);
        QCOMPARE(rig.platform.messages.size(), 2);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("bad.txt")));
        QVERIFY(rig.platform.messages[1].text.contains(QStringLiteral("cut.txt")));
    }

    // "Range" fills the boxes from the view and toggles the panel; Tab stays in it; Escape
    // closes it and gives the focus back to the plot.
    void rangeKeyAndEscape() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow(11);
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* panel = rig.find<app::RangePanel>("PicRange");
        QVERIFY(panel && panel->isHidden());
        QAction* range = window->toolbarAction(QStringLiteral("Range"));
        range->trigger();
        QVERIFY(panel->isVisible());
        QCOMPARE(rig.boxes(), QStringLiteral("-200|1375|1|11"));
        range->trigger();
        QVERIFY(panel->isHidden());
        range->trigger();
        QLineEdit* r1 = rig.find("TxtR1");
        QCOMPARE(QApplication::focusWidget(), r1);
        // Tab goes round the boxes, Fit and OK, never out to the toolbar.
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), r1);
        QTest::keyClick(r1, Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QCOMPARE(QApplication::focusWidget(), window->canvas());
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
        Rig rig;
        app::PlotWindow* window = rig.openWindow(11);
        window->rangeKey();
        const QStringList typed = boxes.split(u'|');
        for (int i = 0; i < 4; ++i)
            rig.find(kBoxes[i])->setText(typed[i]);
        rig.find<QPushButton>("CmdOK")->click();
        const plot::PlotView v = window->canvas()->view();
        QCOMPARE(QStringLiteral("%1|%2|%3|%4").arg(v.low).arg(v.high).arg(v.r1).arg(v.r2),
                 accepted ? boxes : QStringLiteral("-200|1375|1|11"));
        QCOMPARE(window->rangePanel()->isHidden(), accepted);
        QCOMPARE(rig.platform.messages.size(), accepted ? 0 : 1);
        if (!accepted) {
            QCOMPARE(rig.platform.messages[0].text, QStringLiteral("Invalid,try again!"));
            QCOMPARE(rig.boxes(), boxes);
        }
    }

    void printAndSaveImage() {
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
        QVERIFY(QFileInfo(pdf).size() > 1000);

        window->setPrinterChooser([](QPrinter&) { return false; }); // the dialog cancelled
        window->printKey();
        QVERIFY(rig.platform.messages.isEmpty());

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
        const auto records = [&] { return QList<qint64>{canvas->view().r1, canvas->view().r2}; };
        const auto after = [&](Qt::Key key) {
            QTest::keyClick(canvas, key);
            return records();
        };

        // A drag from record 101 to 601.
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(40 + 94, 300));
        QTest::mouseMove(canvas, QPoint(40 + 564, 300));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(40 + 564, 300));
        QCOMPARE(records(), (QList<qint64>{101, 601}));
        QCOMPARE(canvas->view().low, -200.0); // the values stay
        // A screen reader hears a picture and what it shows now.
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(canvas);
        QCOMPARE(reader->role(), QAccessible::Graphic);
        QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("Plot of run.txt"));
        QCOMPARE(
            reader->text(QAccessible::Description),
            QStringLiteral("C1 to C2 in °C, records 101 to 601 of 1001, values -200 to 1375 °C"));

        // A click is no drag; the status text names the record under the cursor.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(40 + 470, 300));
        QCOMPARE(records(), (QList<qint64>{101, 601}));
        QCOMPARE(canvas->recordText(40 + 470),
                 QStringLiteral("Record 351  2024/01/05 10:30:00  C1 20.0  C2 30.0"));

        // "+" halves the records around the middle (351), "-" doubles them.
        QCOMPARE(after(Qt::Key_Plus), (QList<qint64>{226, 476}));
        QCOMPARE(after(Qt::Key_Right), (QList<qint64>{251, 501}));
        QCOMPARE(after(Qt::Key_Minus), (QList<qint64>{126, 626}));
        QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(300, 300));
        QCOMPARE(records(), (QList<qint64>{1, 1001}));
        QCOMPARE(after(Qt::Key_Plus), (QList<qint64>{251, 751}));
        QCOMPARE(after(Qt::Key_Home), (QList<qint64>{1, 1001}));
        QCOMPARE(after(Qt::Key_Minus), (QList<qint64>{1, 1001})); // never beyond the file
    }

    void fitTimeAxisAndExport() {
        Rig rig;
        app::PlotWindow* window = rig.openWindow(11);
        app::PlotCanvas* canvas = window->canvas();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // C1 20.0 and C2 30.0: a twentieth more each side, in quarters of 5.
        QTest::keyClick(window, Qt::Key_F);
        QCOMPARE(QList<double>({canvas->view().low, canvas->view().high}),
                 QList<double>({15.0, 35.0}));
        window->rangeKey();
        rig.find("TxtR2")->setText(QStringLiteral("1"));
        rig.find<QPushButton>("CmdFit")->click();
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text, QStringLiteral("Invalid,try again!"));
        rig.find("TxtR2")->setText(QStringLiteral("11"));
        rig.find<QPushButton>("CmdFit")->click();
        QVERIFY(!window->rangePanel()->isVisible());
        QCOMPARE(canvas->view().high, 35.0);

        // Every record has the same date-time: nothing to space them by.
        QTest::keyClick(window, Qt::Key_T);
        QCOMPARE(canvas->view().axis, plot::XAxis::Records);
        QVERIFY(!window->toolbarAction(QStringLiteral("TimeAxis"))->isChecked());

        QCOMPARE(window->toolbarAction(QStringLiteral("ExportCsv"))->text(),
                 QStringLiteral("Export CSV\u2026"));
        rig.platform.chosenSaveFile = rig.dir.filePath(QStringLiteral("run"));
        window->exportCsvKey();
        QCOMPARE(rig.platform.messages.size(), 1);
        QFile file(rig.dir.filePath(QStringLiteral("run.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray csv = file.readAll();
        QVERIFY2(csv.startsWith("record,time,type,T1,T2\r\n1,2024-01-05T10:30:00,K,20.0,30.0\r\n"),
                 csv.constData());
    }
};

QTEST_MAIN(TestPlotWindow)
#include "tst_plotwindow.moc"
