// The sampling panel and the service button CmdSampling in the main window, against a virtual
// meter on the link thread. What typed text becomes is pinned in tst_sampling; here the wiring.

#include "app/settings/samplingpanel.h"
#include "app/window/controlpanel.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAction>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>

using app::SamplingPanel;
using testsupport::bytes;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString kPcPrompt =
    QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kMeterPrompt =
    QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kTitle = QStringLiteral("Input Sampling Time");

std::optional<QString> answer(const char* text) {
    return QString::fromUtf8(text);
}

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
    // Prompt, title and default text of every input box shown.
    QStringList inputs() const {
        QStringList out;
        for (const auto& in : platform.inputs)
            out << in.prompt << in.title << in.defaultText;
        return out;
    }

    void openPanel() { window->toolbarAction(QStringLiteral("Intv"))->trigger(); }
    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
    QString caption() const { return find<QPushButton>("CmdSampling")->text(); }
    bool panelOpen() const { return panel->isVisibleTo(window.get()); }
    // Open, holding the link, the live poll off.
    bool openAndHeld() const { return panelOpen() && window->linkBusy() && !thread.polling(); }
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
    void controlsCarryTheirCaptions();
    void openingIsRefusedWhileTheLinkIsBusy();
    void pcInterval_data();
    void pcInterval();
    void meterInterval_data();
    void meterInterval();
    void garbledReadGivesUpWithOneMessage();
    void cancelOutrunsTheExchange_data();
    void cancelOutrunsTheExchange();
    void serviceButtonWritesTheInterval_data();
    void serviceButtonWritesTheInterval();
};

void TestSamplingPanel::controlsCarryTheirCaptions() {
    Rig rig;
    QVERIFY(!rig.panelOpen());
    // By this name the window knows to refuse its toolbar while the panel is open.
    QCOMPARE(rig.panel->objectName(), QStringLiteral("PicSampling"));
    QStringList texts;
    for (const char* name :
         {"OptPC", "OptMeter", "CmdSamplingOK", "CmdSamplingCancel", "CmdSampling"})
        texts << rig.find<QAbstractButton>(name)->text();
    QCOMPARE(texts, (QStringList{"PC Sampling Rate", "Meter Sampling Rate", "OK", "Cancel", "?"}));
    // The service button's frame sits beyond the right edge of the client area.
    QCOMPARE(rig.find("FrameSamplingTime")->x(), 14280 / 15);
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
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<int>("pcTime");
    QTest::addColumn<int>("pcSets");
    QTest::addColumn<int>("messages");
    QTest::newRow("60") << answer("60") << 60 << 1 << 0;
    // The recorder's count restarts even when the interval does not change.
    QTest::newRow("same interval") << answer("7") << 7 << 1 << 0;
    QTest::newRow("box cancelled") << std::optional<QString>() << 7 << 0 << 0;
    QTest::newRow("not a number") << answer("ten") << 7 << 0 << 1;
}

void TestSamplingPanel::pcInterval() {
    QFETCH(std::optional<QString>, typed);
    QFETCH(int, pcTime);
    QFETCH(int, pcSets);
    QFETCH(int, messages);
    Rig rig;
    QVERIFY(rig.start());
    rig.openPanel();
    rig.platform.answers = {typed};
    rig.click("CmdSamplingOK");
    QCOMPARE(rig.inputs(), (QStringList{kPcPrompt, kTitle, "7"}));
    QCOMPARE(rig.platform.messages.size(), messages);
    if (messages) {
        // The panel stays open for another try; Cancel is the way out.
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("\"ten\" is not a number. The sampling time is unchanged."));
        QVERIFY(rig.openAndHeld());
        rig.click("CmdSamplingCancel");
    }
    QVERIFY(rig.closedAndFree());
    QCOMPARE(rig.pcTime, pcTime);
    QCOMPARE(rig.pcSets, pcSets);
    QVERIFY(rig.intervalCommands().isEmpty()); // the meter is not addressed
}

void TestSamplingPanel::meterInterval_data() {
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<QByteArray>("payload"); // empty: nothing written
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");
    QTest::newRow("3600") << answer("3600") << bytes({0x00, 0x0E, 0x10}) << 3600 << "3600"
                          << "";
    QTest::newRow("box cancelled") << std::optional<QString>() << QByteArray() << 60 << "?"
                                   << "";
    QTest::newRow("not a number")
        << answer("1 minute") << QByteArray() << 60 << "?"
        << "\"1 minute\" is not a number. The sampling time is unchanged.";
}

void TestSamplingPanel::meterInterval() {
    QFETCH(std::optional<QString>, typed);
    QFETCH(QByteArray, payload);
    QFETCH(int, interval);
    QFETCH(QString, caption);
    QFETCH(QString, message);
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
    rig.platform.answers = {typed};
    rig.click("CmdSamplingOK");
    if (!message.isEmpty()) {
        // Back to the open panel: the user types again or cancels.
        QTRY_COMPARE_WITH_TIMEOUT(rig.platform.messages.size(), 1, 10000);
        QCOMPARE(rig.platform.messages[0].text, message);
        QVERIFY(rig.openAndHeld());
        QVERIFY(rig.find<QPushButton>("CmdSamplingOK")->isEnabled());
        rig.click("CmdSamplingCancel");
    }
    QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
    QCOMPARE(rig.platform.messages.size(), message.isEmpty() ? 0 : 1);
    QCOMPARE(rig.inputs(), (QStringList{kMeterPrompt, kTitle, "60"})); // read with "K"
    // The link is free during the box, and the poll is still off.
    QVERIFY(!busyDuringBox);
    QVERIFY(!pollingDuringBox);
    QList<QByteArray> wire{QByteArrayLiteral("K")};
    if (!payload.isEmpty())
        wire << QByteArrayLiteral("F") + payload;
    QCOMPARE(rig.intervalCommands(), wire);
    QCOMPARE(rig.meterInterval(), interval);
    QCOMPARE(rig.caption(), caption);
    QCOMPARE(rig.pcSets, 0);
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
    QCOMPARE(rig.intervalCommands(), QList<QByteArray>(10, "K"));

    // The link works again for the next try.
    rig.spoil = false;
    rig.openPanel();
    rig.click("CmdSamplingOK");
    QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
    QCOMPARE(rig.meterInterval(), 10);
    QCOMPARE(rig.platform.messages.size(), 1);
}

void TestSamplingPanel::cancelOutrunsTheExchange_data() {
    QTest::addColumn<bool>("atWrite");
    QTest::addColumn<QList<QByteArray>>("wire");
    QTest::newRow("before the read") << false << QList<QByteArray>{};
    QTest::newRow("before the write") << true << QList<QByteArray>{"K"};
}

void TestSamplingPanel::cancelOutrunsTheExchange() {
    QFETCH(bool, atWrite);
    QFETCH(QList<QByteArray>, wire);
    Rig rig;
    QVERIFY(rig.start());
    // Hold the link thread so that Cancel comes before the read, or before the write's end is
    // seen (held when the box asks for the new interval).
    auto gate = std::make_shared<QSemaphore>();
    const auto hold = [&] { rig.thread.post([gate](serial::LinkSession&) { gate->acquire(); }); };
    if (atWrite)
        rig.platform.onInput = hold;
    else
        hold();
    rig.openPanel();
    rig.click("OptMeter");
    rig.platform.answers = {QStringLiteral("25")};
    rig.click("CmdSamplingOK");
    QTRY_COMPARE_WITH_TIMEOUT(rig.platform.inputs.size(), atWrite ? 1 : 0, 10000);
    QVERIFY(rig.panelOpen());
    rig.click("CmdSamplingCancel");
    QVERIFY(rig.closedAndFree());
    gate->release();
    QCOMPARE(rig.intervalCommands(), wire);
    QCoreApplication::processEvents();
    QCOMPARE(rig.platform.inputs.size(), atWrite ? 1 : 0);
    QVERIFY(rig.closedAndFree());
    QCOMPARE(rig.meterInterval(), 60);
    QCOMPARE(rig.caption(), QStringLiteral("?"));
}

void TestSamplingPanel::serviceButtonWritesTheInterval_data() {
    QTest::addColumn<bool>("panelOpen");
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<QByteArray>("payload"); // empty: nothing written
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("messages");
    QTest::newRow("120") << false << answer("120") << bytes({0x00, 0x00, 0x78}) << "120" << 0;
    // The open panel's exchange carries the write; its poll stays off.
    QTest::newRow("panel open") << true << answer("30") << bytes({0x00, 0x00, 0x1E}) << "30" << 0;
    QTest::newRow("cancelled") << false << std::optional<QString>() << QByteArray() << "?" << 0;
    QTest::newRow("not a number") << false << answer("x") << QByteArray() << "?" << 1;
}

void TestSamplingPanel::serviceButtonWritesTheInterval() {
    QFETCH(bool, panelOpen);
    QFETCH(std::optional<QString>, typed);
    QFETCH(QByteArray, payload);
    QFETCH(QString, caption);
    QFETCH(int, messages);
    Rig rig;
    QVERIFY(rig.start());
    if (panelOpen)
        rig.openPanel();
    rig.platform.answers = {typed};
    rig.click("CmdSampling");
    QCOMPARE(rig.inputs(), (QStringList{kPcPrompt, kTitle, ""}));
    QTRY_VERIFY_WITH_TIMEOUT(rig.find("CmdSampling")->isEnabled(), 10000);
    QCOMPARE(rig.caption(), caption);
    QCOMPARE(rig.platform.messages.size(), messages);
    // Nothing is read from the meter, and LinkBusy is neither tested nor changed.
    const QList<QByteArray> wire =
        payload.isEmpty() ? QList<QByteArray>{} : QList{QByteArrayLiteral("F") + payload};
    QCOMPARE(rig.intervalCommands(), wire);
    if (panelOpen) {
        QVERIFY(rig.openAndHeld());
        rig.click("CmdSamplingCancel");
    }
    QVERIFY(rig.closedAndFree());
}

QTEST_MAIN(TestSamplingPanel)
#include "tst_samplingpanel.moc"
