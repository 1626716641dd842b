// The sampling panel in the main window against a virtual meter on the link thread: its
// controls and input boxes (prompts, titles, defaults), the PC interval, the meter interval
// read with "K" and written with "F" (exact bytes), the cancel paths, text that is not a
// number, the bounded read against a meter that garbles every "K" reply, a Cancel that
// outruns the read, the service button CmdSampling, and LinkBusy and the live poll after
// every path.

#include "app/settings/samplingpanel.h"
#include "app/window/controlpanel.h"
#include "app/window/desktopplatform.h"
#include "link/linkthread.h"
#include "link/meterprofile.h"
#include "live/livepoll.h"
#include "sim/virtualmeter.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"
#include "support/meterbench.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QAction>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <future>

using app::SamplingPanel;
using testsupport::bytes;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString kPcPrompt =
    QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kMeterPrompt =
    QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kTitle = QStringLiteral("Input Sampling Time");

// Records the state of the link each time an input box is shown.
class SpyPlatform : public testsupport::FakePlatform {
public:
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override {
        if (onInput)
            onInput();
        return FakePlatform::input(prompt, title, defaultText);
    }
    std::function<void()> onInput;
};

// The meter on COM1, the link thread in virtual time, the main window with the panel attached
// and a PC interval the test owns.
struct Rig : testsupport::LinkRig {
    Rig()
        : LinkRig({.intervalSeconds = 60}, 'K') {
        window =
            std::make_unique<app::ControlPanel>(thread, state, platform, [] { return 1000.0; });
        panel = app::attachSamplingPanel(
            *window, thread, platform, [this] { return pcTime; },
            [this](int seconds) {
                pcTime = seconds;
                ++pcSets;
            });
    }
    ~Rig() { window.reset(); }

    // Interval commands the meter received, "K" and "F" with its payload.
    QList<QByteArray> intervalCommands() { return commands("KF"); }
    int meterInterval() {
        return onLinkThread<int>([this] { return meter.intervalSeconds(); });
    }

    void openPanel() { window->toolbarAction(QStringLiteral("Intv"))->trigger(); }
    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
    bool panelOpen() const { return panel->isVisibleTo(window.get()); }
    // The panel is closed with the link free and the live poll running.
    bool closedAndFree() const { return !panelOpen() && !window->linkBusy() && thread.polling(); }

    SpyPlatform platform;
    std::unique_ptr<app::ControlPanel> window;
    SamplingPanel* panel = nullptr;
    int pcTime = 7;
    int pcSets = 0;
};

} // namespace

class TestSamplingPanel : public QObject {
    Q_OBJECT
private slots:
    void controlsCarryTheirNamesAndCaptions();
    void openingStopsThePollAndHoldsTheLink();
    void openingIsRefusedWhileTheLinkIsBusy();
    void pcInterval_data();
    void pcInterval();
    void meterIntervalIsReadThenWritten_data();
    void meterIntervalIsReadThenWritten();
    void meterInputCancelledWritesNothing_data();
    void meterInputCancelledWritesNothing();
    void meterTextNotANumberKeepsThePanelOpen();
    void garbledReadGivesUpWithOneMessage();
    void cancelDuringTheReadIgnoresItsResult();
    void cancelButtonFreesTheLink();
    void cancelBeforeTheWriteWritesNothingAndShowsNothing();
    void serviceButtonWritesTheInterval_data();
    void serviceButtonWritesTheInterval();
    void serviceButtonKeepsTheOpenPanelsPollOff();
};

void TestSamplingPanel::controlsCarryTheirNamesAndCaptions() {
    Rig rig;
    QVERIFY(!rig.panelOpen());
    QCOMPARE(rig.panel->objectName(), QStringLiteral("PicSampling"));
    QCOMPARE(rig.find<QGroupBox>("FrameIntv")->title(), QStringLiteral("Sampling Rate"));
    QCOMPARE(rig.find<QRadioButton>("OptPC")->text(), QStringLiteral("PC Sampling Rate"));
    QCOMPARE(rig.find<QRadioButton>("OptMeter")->text(), QStringLiteral("Meter Sampling Rate"));
    QVERIFY(rig.find<QRadioButton>("OptPC")->isChecked());
    QVERIFY(rig.panel->usePcSampling());
    QCOMPARE(rig.find<QPushButton>("CmdSamplingOK")->text(), QStringLiteral("OK"));
    QCOMPARE(rig.find<QPushButton>("CmdSamplingCancel")->text(), QStringLiteral("Cancel"));

    // The service button sits in its frame beyond the right edge of the client area.
    auto* frame = rig.find<QGroupBox>("FrameSamplingTime");
    QCOMPARE(frame->title(), QStringLiteral("Sampling Time"));
    QCOMPARE(frame->parentWidget(), rig.window.get());
    QCOMPARE(frame->x(), 14280 / 15);
    QVERIFY(frame->x() >= app::ControlPanel::kClientWidth);
    QCOMPARE(rig.find<QPushButton>("CmdSampling")->parentWidget(), frame);
    QCOMPARE(rig.find<QPushButton>("CmdSampling")->text(), QStringLiteral("?"));
}

void TestSamplingPanel::openingStopsThePollAndHoldsTheLink() {
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.thread.polling());
    rig.openPanel();
    QVERIFY(rig.panelOpen());
    QVERIFY(rig.window->linkBusy());
    QVERIFY(!rig.thread.polling());
    // Options switch the choice.
    rig.click("OptMeter");
    QVERIFY(!rig.panel->usePcSampling());
    rig.click("OptPC");
    QVERIFY(rig.panel->usePcSampling());
}

void TestSamplingPanel::openingIsRefusedWhileTheLinkIsBusy() {
    Rig rig;
    QVERIFY(rig.start());
    rig.window->setLinkBusy(true);
    rig.openPanel();
    QVERIFY(!rig.panelOpen());
    QVERIFY(rig.thread.polling());
}

void TestSamplingPanel::pcInterval_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<int>("pcTime");
    QTest::addColumn<int>("pcSets");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<int>("messages");
    const auto s = [](const char* t) { return std::optional<QString>(QString::fromUtf8(t)); };
    QTest::newRow("60") << s("60") << 60 << 1 << false << 0;
    QTest::newRow("2.5 halves to even") << s("2.5") << 2 << 1 << false << 0;
    QTest::newRow("3.5 halves to even") << s("3.5") << 4 << 1 << false << 0;
    QTest::newRow("90000 clamped") << s("90000") << 86400 << 1 << false << 0;
    QTest::newRow("0 clamped") << s("0") << 1 << 1 << false << 0;
    // The recorder's count restarts even when the interval does not change.
    QTest::newRow("same interval") << s("7") << 7 << 1 << false << 0;
    QTest::newRow("box cancelled") << std::optional<QString>() << 7 << 0 << false << 0;
    QTest::newRow("empty answer") << s("") << 7 << 0 << false << 0;
    QTest::newRow("not a number") << s("ten") << 7 << 0 << true << 1;
}

void TestSamplingPanel::pcInterval() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(int, pcTime);
    QFETCH(int, pcSets);
    QFETCH(bool, stillOpen);
    QFETCH(int, messages);
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.platform.answers = {answer};
    rig.click("CmdSamplingOK");

    QCOMPARE(rig.platform.inputs.size(), 1);
    QCOMPARE(rig.platform.inputs[0].prompt, kPcPrompt);
    QCOMPARE(rig.platform.inputs[0].title, kTitle);
    QCOMPARE(rig.platform.inputs[0].defaultText, QStringLiteral("7"));
    QCOMPARE(rig.pcTime, pcTime);
    QCOMPARE(rig.pcSets, pcSets);
    QCOMPARE(rig.platform.messages.size(), messages);
    if (messages)
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("\"ten\" is not a number. The sampling time is unchanged."));
    if (stillOpen) {
        QVERIFY(rig.panelOpen());
        QVERIFY(rig.window->linkBusy());
        QVERIFY(!rig.thread.polling());
    } else {
        QVERIFY(rig.closedAndFree());
    }
    QVERIFY(rig.intervalCommands().isEmpty()); // the meter is not addressed
}

void TestSamplingPanel::meterIntervalIsReadThenWritten_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("interval");
    QTest::newRow("3600") << "3600" << bytes({0x00, 0x0E, 0x10}) << 3600;
    QTest::newRow("90000 clamped") << "90000" << bytes({0x01, 0x51, 0x80}) << 86400;
    QTest::newRow("0 clamped") << "0" << bytes({0x00, 0x00, 0x01}) << 1;
    QTest::newRow("-5 clamped") << "-5" << bytes({0x00, 0x00, 0x01}) << 1;
    QTest::newRow("2.5 halves to even") << "2.5" << bytes({0x00, 0x00, 0x02}) << 2;
    QTest::newRow("unchanged 60") << "60" << bytes({0x00, 0x00, 0x3C}) << 60;
}

void TestSamplingPanel::meterIntervalIsReadThenWritten() {
    QFETCH(QString, answer);
    QFETCH(QByteArray, payload);
    QFETCH(int, interval);
    Rig rig;
    QVERIFY(rig.start());
    bool busyDuringBox = true;
    bool pollingDuringBox = true;
    rig.platform.onInput = [&] {
        busyDuringBox = rig.window->linkBusy();
        pollingDuringBox = rig.thread.polling();
    };
    rig.openPanel();
    rig.click("OptMeter");
    rig.platform.answers = {answer};
    rig.click("CmdSamplingOK");

    QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
    QCOMPARE(rig.platform.inputs.size(), 1);
    QCOMPARE(rig.platform.inputs[0].prompt, kMeterPrompt);
    QCOMPARE(rig.platform.inputs[0].title, kTitle);
    QCOMPARE(rig.platform.inputs[0].defaultText, QStringLiteral("60")); // read with "K"
    QCOMPARE(rig.panel->meterSamplingTime(), 60);
    // The link is free during the box, and the poll is still off.
    QVERIFY(!busyDuringBox);
    QVERIFY(!pollingDuringBox);

    const QList<QByteArray> wire{QByteArrayLiteral("K"), QByteArrayLiteral("F") + payload};
    QCOMPARE(rig.intervalCommands(), wire);
    QCOMPARE(rig.meterInterval(), interval);
    QCOMPARE(rig.find<QPushButton>("CmdSampling")->text(), QString::number(interval));
    QCOMPARE(rig.pcSets, 0);
    QVERIFY(rig.platform.messages.isEmpty());
}

void TestSamplingPanel::meterInputCancelledWritesNothing_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::newRow("box cancelled") << std::optional<QString>();
    QTest::newRow("empty answer") << std::optional<QString>(QString());
}

void TestSamplingPanel::meterInputCancelledWritesNothing() {
    QFETCH(std::optional<QString>, answer);
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.click("OptMeter");
    rig.platform.answers = {answer};
    rig.click("CmdSamplingOK");
    QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
    QCOMPARE(rig.platform.inputs.size(), 1);
    QCOMPARE(rig.intervalCommands(), QList<QByteArray>{QByteArrayLiteral("K")});
    QCOMPARE(rig.meterInterval(), 60);
    QCOMPARE(rig.find<QPushButton>("CmdSampling")->text(), QStringLiteral("?"));
}

void TestSamplingPanel::meterTextNotANumberKeepsThePanelOpen() {
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.click("OptMeter");
    rig.platform.answers = {QStringLiteral("1 minute")};
    rig.click("CmdSamplingOK");
    QTRY_COMPARE_WITH_TIMEOUT(rig.platform.messages.size(), 1, 10000);
    QCOMPARE(rig.platform.messages[0].text,
             QStringLiteral("\"1 minute\" is not a number. The sampling time is unchanged."));
    QVERIFY(rig.panelOpen());
    QVERIFY(rig.window->linkBusy());
    QVERIFY(!rig.thread.polling());
    QVERIFY(rig.find<QPushButton>("CmdSamplingOK")->isEnabled());
    QCOMPARE(rig.intervalCommands(), QList<QByteArray>{QByteArrayLiteral("K")});

    rig.click("CmdSamplingCancel");
    QVERIFY(rig.closedAndFree());
    QCOMPARE(rig.meterInterval(), 60);
}

void TestSamplingPanel::garbledReadGivesUpWithOneMessage() {
    Rig rig;
    QVERIFY(rig.start());
    rig.spoil = true;
    rig.openPanel();
    rig.click("OptMeter");
    rig.platform.answers = {QStringLiteral("10")};
    rig.click("CmdSamplingOK");
    QVERIFY(!rig.find<QPushButton>("CmdSamplingOK")->isEnabled()); // one read at a time

    QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
    QCOMPARE(rig.platform.messages.size(), 1);
    QCOMPARE(rig.platform.messages[0].text,
             QStringLiteral("The meter did not answer the request for its sampling interval.\n"
                            "Check the connection and try again."));
    QVERIFY(rig.platform.inputs.isEmpty());
    const QList<QByteArray> commands = rig.intervalCommands();
    QCOMPARE(commands.size(), serial::profile::kRequestAttempts);
    QCOMPARE(commands.count(QByteArrayLiteral("K")), serial::profile::kRequestAttempts);
    QCOMPARE(rig.meterInterval(), 60);

    // The link works again for the next try.
    rig.spoil = false;
    rig.openPanel();
    rig.click("CmdSamplingOK");
    QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
    QCOMPARE(rig.meterInterval(), 10);
    QCOMPARE(rig.platform.messages.size(), 1);
}

void TestSamplingPanel::cancelDuringTheReadIgnoresItsResult() {
    Rig rig;
    QVERIFY(rig.start());
    // Hold the link thread so that Cancel comes before the read.
    auto gate = std::make_shared<QSemaphore>();
    rig.thread.post([gate](serial::LinkSession&) { gate->acquire(); });
    rig.openPanel();
    rig.click("OptMeter");
    rig.platform.answers = {QStringLiteral("10")};
    rig.click("CmdSamplingOK");
    QVERIFY(rig.panelOpen());
    QVERIFY(rig.find<QPushButton>("CmdSamplingCancel")->isEnabled());
    rig.click("CmdSamplingCancel");
    QVERIFY(rig.closedAndFree());

    gate->release();
    // Cancel ended the read before it reached the wire.
    QVERIFY(rig.intervalCommands().isEmpty());
    QCoreApplication::processEvents();
    QVERIFY(rig.platform.inputs.isEmpty());
    QVERIFY(rig.closedAndFree());
    QCOMPARE(rig.meterInterval(), 60);
}

void TestSamplingPanel::cancelBeforeTheWriteWritesNothingAndShowsNothing() {
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.click("OptMeter");
    // When the box asks for the new interval, hold the link thread so that Cancel comes
    // before the write's end is seen.
    auto gate = std::make_shared<QSemaphore>();
    rig.platform.onInput = [&] {
        rig.thread.post([gate](serial::LinkSession&) { gate->acquire(); });
    };
    rig.platform.answers = {QStringLiteral("25")};
    rig.click("CmdSamplingOK");
    QTRY_VERIFY_WITH_TIMEOUT(rig.platform.answers.isEmpty(), 10000);
    rig.platform.onInput = nullptr;
    rig.click("CmdSamplingCancel");
    gate->release();
    QCOMPARE(rig.intervalCommands(), QList<QByteArray>{QByteArrayLiteral("K")});
    QCOMPARE(rig.meterInterval(), 60);
    QCoreApplication::processEvents();
    QCOMPARE(rig.find<QPushButton>("CmdSampling")->text(), QStringLiteral("?"));
    QVERIFY(rig.closedAndFree());
}

void TestSamplingPanel::cancelButtonFreesTheLink() {
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.click("CmdSamplingCancel");
    QVERIFY(rig.closedAndFree());
    QVERIFY(rig.platform.inputs.isEmpty());
    QCOMPARE(rig.pcSets, 0);
    // The toolbar key opens it again.
    rig.openPanel();
    QVERIFY(rig.panelOpen());
}

void TestSamplingPanel::serviceButtonWritesTheInterval_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QByteArray>("payload"); // empty: nothing written
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("messages");
    const auto s = [](const char* t) { return std::optional<QString>(QString::fromUtf8(t)); };
    QTest::newRow("120") << s("120") << bytes({0x00, 0x00, 0x78}) << "120" << 0;
    QTest::newRow("90000 clamped") << s("90000") << bytes({0x01, 0x51, 0x80}) << "86400" << 0;
    QTest::newRow("cancelled") << std::optional<QString>() << QByteArray() << "?" << 0;
    QTest::newRow("empty") << s("") << QByteArray() << "?" << 0;
    QTest::newRow("not a number") << s("x") << QByteArray() << "?" << 1;
}

void TestSamplingPanel::serviceButtonWritesTheInterval() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(QByteArray, payload);
    QFETCH(QString, caption);
    QFETCH(int, messages);
    Rig rig;
    QVERIFY(rig.start());
    rig.platform.answers = {answer};
    rig.click("CmdSampling");
    QCOMPARE(rig.platform.inputs.size(), 1);
    QCOMPARE(rig.platform.inputs[0].prompt, kPcPrompt);
    QCOMPARE(rig.platform.inputs[0].title, kTitle);
    QCOMPARE(rig.platform.inputs[0].defaultText, QString());

    auto* button = rig.find<QPushButton>("CmdSampling");
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 10000);
    QCOMPARE(button->text(), caption);
    QCOMPARE(rig.platform.messages.size(), messages);
    // Nothing is read from the meter, and LinkBusy is neither tested nor changed.
    const QList<QByteArray> wire =
        payload.isEmpty() ? QList<QByteArray>{} : QList{QByteArrayLiteral("F") + payload};
    QCOMPARE(rig.intervalCommands(), wire);
    QVERIFY(!rig.window->linkBusy());
    QVERIFY(rig.thread.polling());
}

void TestSamplingPanel::serviceButtonKeepsTheOpenPanelsPollOff() {
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.platform.answers = {QStringLiteral("30")};
    rig.click("CmdSampling");
    auto* button = rig.find<QPushButton>("CmdSampling");
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 10000);
    QCOMPARE(button->text(), QStringLiteral("30"));
    QCOMPARE(rig.meterInterval(), 30);
    QVERIFY(rig.panelOpen());
    QVERIFY(rig.window->linkBusy());
    QVERIFY(!rig.thread.polling());
    rig.click("CmdSamplingCancel");
    QVERIFY(rig.closedAndFree());
}

QTEST_MAIN(TestSamplingPanel)
#include "tst_samplingpanel.moc"
