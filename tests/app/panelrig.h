// The main window with every panel that talks to the meter, against a virtual meter on the
// link thread in virtual time, and the texts and bytes the panels' tests share.

#pragma once

#include "app/clock/clockpanel.h"
#include "app/service/servicepanel.h"
#include "app/settings/alarmpanel.h"
#include "app/settings/samplingpanel.h"
#include "app/window/controlpanel.h"
#include "settings/alarmmonitor.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using testsupport::bytes;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace panelrig {

const sim::MeterConfig kMeter{.intervalSeconds = 60, .drift = false};
const QString kPcPrompt =
    QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kMeterPrompt =
    QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kTitle = QStringLiteral("Input Sampling Time");
const char* const kBoxes[] = {"TxtT1H", "TxtT1L", "TxtT2H", "TxtT2L",
                              "TxtT3H", "TxtT3L", "TxtT4H", "TxtT4L"};
const QDateTime kPcTime(QDate(2024, 3, 15), QTime(14, 5, 9));
const QByteArray kSetTo2024 = QByteArray("D\x24\x03\x15\x14\x05\x09", 7);
const char* const kServiceControls[] = {
    "Cmd1",     "Cmd9", "Cmd17", "CmdChByte",   "Label1",
    "Command1", "RRTC", "WRTC",  "CmdSampling", "FrameSamplingTime"};

inline std::optional<QString> answer(const char* text) {
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

// The meter on COM1 behind a port that spoils the replies to `spoiled` on demand, the link
// thread in virtual time, and the main window with every panel that talks to the meter: a PC
// clock standing at kPcTime, a PC interval the test owns, the service controls hidden unless
// `serviceShown`.
struct Rig : testsupport::LinkRig {
    explicit Rig(sim::MeterConfig config = kMeter, char spoiled = 'K', bool serviceShown = false)
        : LinkRig(config, spoiled) {
        window = std::make_unique<app::ControlPanel>(
            thread, state, platform, [] { return 1000.0; });
        sampling = app::attachSamplingPanel(
            *window, thread, platform, [this] { return pcTime; },
            [this](int seconds) {
                pcTime = seconds;
                ++pcSets;
            });
        alarm = app::attachAlarmPanel(*window, thread, state, platform);
        monitor = window->findChild<settings::AlarmMonitor*>();
        clock = app::attachClockPanel(
            *window, thread, [] { return kPcTime; });
        service = app::attachServicePanel(
            *window, thread, platform, *clock, [] { return kPcTime; }, {sampling->serviceFrame()},
            serviceShown);
    }

    // Commands the meter received, without the handshakes and the live polls.
    QList<QByteArray> sent() {
        QList<QByteArray> out =
            onLinkThread<QList<QByteArray>>([this] { return meter.commandLog(); });
        out.removeAll(QByteArrayLiteral("A"));
        out.removeAll(QByteArrayLiteral("M"));
        return out;
    }
    int meterInterval() {
        return onLinkThread<int>([this] { return meter.intervalSeconds(); });
    }
    std::array<quint16, 8> meterWords() {
        return onLinkThread<std::array<quint16, 8>>([this] { return meter.alarmWords(); });
    }
    // Prompt, title and default text of every input box shown.
    QStringList inputs() const {
        QStringList out;
        for (const auto& in : platform.inputs)
            out << in.prompt << in.title << in.defaultText;
        return out;
    }

    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    void press(const char* key) { window->toolbarAction(QString::fromLatin1(key))->trigger(); }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    QString box(const char* name) const { return find<QLineEdit>(name)->text(); }
    void type(const char* name, const char* text) {
        find<QLineEdit>(name)->setText(QString::fromLatin1(text));
    }
    QString caption() const { return find<QPushButton>("CmdSampling")->text(); }
    bool shown(const QWidget* panel) const { return panel->isVisibleTo(window.get()); }
    // Open, holding the link, the live poll off.
    bool openAndHeld(const QWidget* panel) const {
        return shown(panel) && window->linkBusy() && !thread.polling();
    }
    // Closed with the link free and the live poll running.
    bool closedAndFree(const QWidget* panel) const {
        return !shown(panel) && !window->linkBusy() && thread.polling();
    }
    // Opens the alarm panel and waits until the limits are in the boxes.
    bool openAlarm() {
        press("Alarm");
        return QTest::qWaitFor([this] { return shown(alarm) && find("CmdAlarmOK")->isEnabled(); },
                               10000);
    }
    // Ticks the named check boxes, presses OK and waits until the alarm panel has closed.
    bool confirmAlarm(std::initializer_list<const char*> ticks = {}) {
        for (const char* box : ticks)
            click(box);
        click("CmdAlarmOK");
        return QTest::qWaitFor([this] { return closedAndFree(alarm); }, 10000);
    }

    SpyPlatform platform;
    std::unique_ptr<app::ControlPanel> window;
    app::SamplingPanel* sampling = nullptr;
    app::AlarmPanel* alarm = nullptr;
    settings::AlarmMonitor* monitor = nullptr;
    app::ClockPanel* clock = nullptr;
    app::ServicePanel* service = nullptr;
    int pcTime = 7;
    int pcSets = 0;
};

} // namespace panelrig
