// PC recording in the main window, offscreen with a fake desktop and a fake wall clock: the
// toolbar key "Save", the records input box, the stop-time lists, the captions, Timer2, CmdOpen,
// and one message when the working file cannot be written. How typed counts and stop times
// become a recording is pinned in tst_recorder; here the panels' wiring.

#include "app/recording/recordingui.h"
#include "app/recording/recordpanel.h"
#include "app/window/controlpanel.h"
#include "recording/recorder.h"
#include "sim/framebuilder.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QDateTime kNow(QDate(2024, 2, 10), QTime(12, 0, 0));
const char* const kLists[] = {"ComboYY", "ComboMM", "ComboDD", "Combohh", "Combonn", "Comboss"};

// The window with no meter behind it (the link thread is never started), the recording wired
// in, files going to a temporary directory.
struct Rig : testsupport::LinkRig {
    explicit Rig(bool withReadings = true, bool handTicks = true)
        : LinkRig({}, {}, 0) {
        window = std::make_unique<app::ControlPanel>(
            thread, state, platform, [] { return 0.0; });
        ui = std::make_unique<app::RecordingUi>(*window, state, platform, [this] { return now; });
        ui->recorder().setWorkingDirectory(dir.path());
        if (handTicks) // the tests tick by hand unless they test the timer
            QObject::disconnect(ui->timer2(), nullptr, &ui->recorder(), nullptr);
        if (withReadings) {
            sim::FrameContent content;
            content.raw = {5130, 5130, 5130, 5130};
            state.applyFrame(sim::buildFrame(content));
        }
    }
    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* save() const { return window->toolbarAction(QStringLiteral("Save")); }
    QString saveButtonName() const {
        QWidget* button = window->toolbar()->widgetForAction(save());
        return QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name);
    }
    QComboBox* list(const char* name) const { return find<QComboBox>(name); }
    // "Save", then one of the two ways to stop.
    void byTime() {
        save()->trigger();
        find<QRadioButton>("OptTime")->click();
    }
    void byRecords() {
        save()->trigger();
        find<QRadioButton>("OptRec")->click();
    }
    static void choose(QComboBox* list, const QString& text) {
        const int index = list->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    QTemporaryDir dir;
    testsupport::FakePlatform platform;
    QDateTime now = kNow;
    std::unique_ptr<app::ControlPanel> window;
    std::unique_ptr<app::RecordingUi> ui;
};

QStringList items(QComboBox* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->itemText(i));
    return result;
}

QStringList numbers(int first, int last, int width) {
    QStringList result;
    for (int n = first; n <= last; ++n)
        result.append(QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0')));
    return result;
}

} // namespace

class TestRecordPanel : public QObject {
    Q_OBJECT
private slots:
    void saveWaitsForTheFirstReadings() {
        Rig rig(false);
        rig.save()->trigger();
        QVERIFY(rig.find("PicRec")->isHidden());
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages.first().text.startsWith("No readings from the meter yet"));
    }

    void saveShowsThePanelWithNoOptionSelected() {
        Rig rig;
        auto* picRec = rig.find("PicRec");
        QVERIFY(picRec && picRec->isHidden());

        rig.save()->trigger();
        QVERIFY(!picRec->isHidden());
        rig.find<QRadioButton>("OptTime")->click();
        QVERIFY(picRec->isHidden());
        QVERIFY(!rig.find("PicStopRec")->isHidden());
        rig.find<QPushButton>("CmdStopRecByTimeCancel")->click();
        QVERIFY(rig.find("PicStopRec")->isHidden());
        QVERIFY(!rig.ui->recorder().isRecording());

        rig.save()->trigger();
        QVERIFY(!picRec->isHidden());
        QVERIFY(!rig.find<QRadioButton>("OptTime")->isChecked());
        QVERIFY(!rig.find<QRadioButton>("OptRec")->isChecked());
        rig.find<QPushButton>("CmdSaveCancel")->click();
        QVERIFY(picRec->isHidden());
    }

    void recordsCountFromTheInputBox_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<qint64>("target"); // 0: nothing starts
        QTest::addColumn<bool>("message");

        QTest::newRow("three") << std::optional<QString>("3") << qint64(3) << false;
        QTest::newRow("empty") << std::optional<QString>("") << qint64(0) << false;
        QTest::newRow("cancel") << std::optional<QString>() << qint64(0) << false;
        QTest::newRow("not a number") << std::optional<QString>("ten") << qint64(0) << true;
    }

    void recordsCountFromTheInputBox() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(qint64, target);
        QFETCH(bool, message);

        Rig rig;
        rig.platform.answers.append(answer);
        rig.byRecords();

        QCOMPARE(rig.platform.inputs.size(), 1);
        const auto& box = rig.platform.inputs[0];
        QCOMPARE((QStringList{box.prompt, box.title, box.defaultText}),
                 (QStringList{"Enter the Records to record\r\n(1 <= Records  ) ", "Input Records",
                              "10"}));

        const bool started = target > 0;
        QCOMPARE(rig.ui->recorder().isRecording(), started);
        QCOMPARE(rig.find("PicRec")->isHidden(), started);
        QCOMPARE(rig.platform.messages.size(), message ? 1 : 0);
        if (message)
            QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("\"ten\"")));
        if (started) {
            QCOMPARE(rig.ui->recorder().recordTarget(), target);
            QCOMPARE(rig.ui->recorder().stopMode(), recording::StopMode::Records);
        }
    }

    void februaryFollowsTheYear() {
        Rig rig;
        rig.byTime();
        QComboBox* day = rig.list("ComboDD");
        Rig::choose(rig.list("ComboYY"), "2025");
        QCOMPARE(day->currentText(), QStringLiteral("01"));
        QCOMPARE(items(day), numbers(1, 28, 2));
        Rig::choose(day, "15");
        Rig::choose(rig.list("ComboYY"), "2024");
        QCOMPARE(day->currentText(), QStringLiteral("01"));
        QCOMPARE(items(day), numbers(1, 29, 2));

        Rig::choose(rig.list("ComboMM"), "04");
        QCOMPARE(items(day), numbers(1, 30, 2));
        Rig::choose(day, "30");
        Rig::choose(rig.list("ComboYY"), "2030"); // not February: the day stays
        QCOMPARE(day->currentText(), QStringLiteral("30"));
    }

    void daysInMonth_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("days");
        // Leap years and the months' lengths beyond what the lists' own tests see.
        QTest::newRow("February 2048") << 2 << 2048 << 29;
        QTest::newRow("February 2050") << 2 << 2050 << 28;
        QTest::newRow("January") << 1 << 2025 << 31;
        QTest::newRow("August") << 8 << 2025 << 31;
        QTest::newRow("November") << 11 << 2024 << 30;
    }

    void daysInMonth() {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(int, days);
        QCOMPARE(
            app::StopTimePanel::daysInMonth(numbers(month, month, 2)[0], QString::number(year)),
            days);
    }

    void keysAloneDoNotChangeAStopTime() {
        Rig rig;
        rig.window->show();
        rig.byTime();
        for (const char* name : kLists) {
            QComboBox* list = rig.list(name);
            const QString before = list->currentText();
            QTest::keyClicks(list, "1999");
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClicks(list->lineEdit(), "07");
            QTest::keyClick(list->lineEdit(), Qt::Key_Backspace);
            QCOMPARE(list->currentText(), before);
            list->hidePopup();
        }
    }

    void listsOpenOnNow_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QList<int>>("indexes"); // year, month, day, hour, minute, second
        QTest::addColumn<int>("days");
        QTest::newRow("in the list") << kNow << QList<int>{7, 1, 9, 12, 0, 0} << 29;
        QTest::newRow("year before the list") << QDateTime(QDate(2016, 12, 31), QTime(23, 59, 58))
                                              << QList<int>{-1, 11, 30, 23, 59, 58} << 31;
    }

    void listsOpenOnNow() {
        QFETCH(QDateTime, now);
        QFETCH(QList<int>, indexes);
        QFETCH(int, days);
        const QList<QStringList> lists{numbers(2017, 2050, 4), numbers(1, 12, 2),
                                       numbers(1, days, 2),    numbers(0, 23, 2),
                                       numbers(0, 59, 2),      numbers(0, 59, 2)};
        Rig rig;
        rig.now = now;
        for (int round = 0; round < 2; ++round) { // a second opening fills the lists afresh
            rig.byTime();
            for (int i = 0; i < 6; ++i) {
                QComboBox* list = rig.list(kLists[i]);
                QCOMPARE(items(list), lists[i]);
                QCOMPARE(list->currentIndex(), indexes[i]);
                if (indexes[i] < 0)
                    QCOMPARE(list->currentText(), QString::number(now.date().year()));
            }
            rig.find<QPushButton>("CmdStopRecByTimeCancel")->click();
        }
    }

    void stopTimeBeforeNowIsRefused() {
        Rig rig;
        rig.byTime();
        Rig::choose(rig.list("Combohh"), "11");
        Rig::choose(rig.list("Combonn"), "59");
        Rig::choose(rig.list("Comboss"), "59");
        rig.find<QPushButton>("CmdStopRecByTimeOK")->click();
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text, QStringLiteral("Error! try again!"));
        QVERIFY(!rig.find("PicStopRec")->isHidden());
        QVERIFY(!rig.ui->recorder().isRecording());

        // The current second itself is accepted.
        Rig::choose(rig.list("Combohh"), "12");
        Rig::choose(rig.list("Combonn"), "00");
        Rig::choose(rig.list("Comboss"), "00");
        rig.find<QPushButton>("CmdStopRecByTimeOK")->click();
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.find("PicStopRec")->isHidden());
        QVERIFY(rig.ui->recorder().isRecording());
        QCOMPARE(rig.ui->recorder().stopMode(), recording::StopMode::Time);
        QCOMPARE(rig.ui->recorder().stopAtText(), QStringLiteral("2024/02/10 12:00:00"));
    }

    void stoppingWritesTheFinalFile_data() {
        QTest::addColumn<bool>("closeWindow");
        QTest::newRow("Save while recording") << false;
        QTest::newRow("window closed") << true;
    }

    void stoppingWritesTheFinalFile() {
        QFETCH(bool, closeWindow);
        Rig rig;
        const QIcon idleIcon = rig.save()->icon();
        QWidget* lblRec = rig.find("LblRec");
        lblRec->hide();
        rig.platform.answers.append(QStringLiteral("5"));
        rig.byRecords();
        QVERIFY(rig.ui->recorder().isRecording());
        QCOMPARE(rig.save()->toolTip(), QStringLiteral("Stop Recording"));
        QCOMPARE(rig.saveButtonName(), QStringLiteral("Stop Recording"));
        QVERIFY(rig.save()->icon().cacheKey() != idleIcon.cacheKey());
        QVERIFY(!lblRec->isHidden());
        QCOMPARE(rig.find<QLabel>("LblFileName")->text(), QStringLiteral("20240210120000.txt"));

        rig.ui->recorder().tick();
        rig.ui->recorder().tick();
        QCOMPARE(rig.find<QLabel>("LblCount")->text(), QStringLiteral("2 / 5"));
        QCOMPARE(rig.find<QLabel>("LblRecording")->text(), QStringLiteral("Recording"));

        if (closeWindow)
            rig.window->close();
        else
            rig.save()->trigger();
        QVERIFY(!rig.ui->recorder().isRecording());
        QVERIFY(rig.find("PicRec")->isHidden());
        QCOMPARE(rig.save()->toolTip(), QStringLiteral("Save Data"));
        QCOMPARE(rig.saveButtonName(), QStringLiteral("Save Data"));
        QCOMPARE(rig.save()->icon().cacheKey(), idleIcon.cacheKey());
        for (const char* name : {"LblFileName", "LblCount", "LblRecording"})
            QCOMPARE(rig.find<QLabel>(name)->text(), QString());
        QFile file(rig.dir.filePath("20240210120000.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readLine(), QByteArray("Total Records : 2\r\n"));
        QVERIFY(rig.platform.messages.isEmpty());
    }

    void timer2DrivesTheRecordingAndRestsBetween() {
        Rig rig(true, false);
        QTimer* timer = rig.ui->timer2();
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!timer->isActive());
        QSignalSpy rows(&rig.ui->recorder(), &recording::Recorder::rowRecorded);
        rig.platform.answers.append(QStringLiteral("1"));
        rig.byRecords();
        QVERIFY(timer->isActive());
        QVERIFY(rows.wait(20000));
        QCOMPARE(rows.at(0).at(0).toInt(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.ui->recorder().isRecording(), 20000);
        QVERIFY(!timer->isActive());
    }

    void openShowsAChosenFileInTheEditor() {
        Rig rig;
        auto* open = rig.find<QPushButton>("CmdOpen");
        open->click();
        QCOMPARE(rig.platform.filters, QStringList{"Data Files (*.txt);;All Files (*)"});
        QVERIFY(rig.platform.opened.isEmpty());
        rig.platform.chosenFile = rig.dir.filePath("20240101000000.txt");
        open->click();
        QCOMPARE(rig.platform.opened, QStringList{rig.platform.chosenFile});
        QVERIFY(rig.platform.messages.isEmpty());
    }

    void unwritableWorkingFileGivesOneMessage() {
        Rig rig;
        rig.ui->recorder().setWorkingDirectory(rig.dir.filePath("gone"));
        rig.platform.answers.append(QStringLiteral("3"));
        rig.byRecords();
        QVERIFY(!rig.ui->recorder().isRecording());
        QTRY_COMPARE_WITH_TIMEOUT(rig.platform.messages.size(), 1, 10000);
        QVERIFY(rig.platform.messages[0].text.startsWith(
            QStringLiteral("Recording not started: could not write QR512.temp: ")));
        QCOMPARE(rig.save()->toolTip(), QStringLiteral("Save Data"));
        rig.ui->recorder().tick();
        QCoreApplication::processEvents();
        QCOMPARE(rig.platform.messages.size(), 1);
    }
};

QTEST_MAIN(TestRecordPanel)
#include "tst_recordpanel.moc"
