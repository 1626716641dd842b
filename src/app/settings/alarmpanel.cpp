#include "app/settings/alarmpanel.h"

#include "app/window/alertaccessible.h"
#include "app/window/controlpanel.h"
#include "app/window/windowscale.h"
#include "live/livepoll.h"
#include "serial/linkthread.h"
#include "settings/alarmmonitor.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include <memory>

namespace app {

namespace {

const QString kReadFailed =
    QStringLiteral("The meter did not answer the request for its alarm limits.\n"
                   "Check the connection and try again.");
const QString kNoUnit =
    QStringLiteral("The meter's display shows no unit yet, so its alarm limits cannot be "
                   "shown.\nWait until it shows °C, °F or K, then try again.");

// Positions in pixels (twips / 15): the frame 8 px inside the panel, columns 960 twips apart.
constexpr int kInset = 8;
constexpr int kColumnPitch = 960 / AlarmPanel::kTwipsPerPixel;
constexpr int kBoxWidth = 57;
constexpr int kFrameHeight = 132;
constexpr int kButtonTop = kInset + kFrameHeight + kInset;
constexpr int kButtonHeight = 26;

struct Widths {
    int channels;
    int frameTwips;
    int panelTwips;
};
constexpr Widths kWidths[] = {{4, 3855, 4095}, {2, 1935, 2175}, {1, 975, 1215}};

} // namespace

AlarmPanel::AlarmPanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
                       const live::LiveState& live, Platform& platform,
                       settings::AlarmMonitor& monitor, QWidget* window)
    : QFrame(window)
    , m_exchange(new session::Exchange(link, exchangeHost, this))
    , m_host(exchangeHost)
    , m_live(live)
    , m_platform(platform)
    , m_monitor(monitor) {
    setObjectName(QStringLiteral("PicAlarm"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    m_frame = new QGroupBox(QStringLiteral("Alarm"), this);
    m_frame->setObjectName(QStringLiteral("FrmAlarm"));
    for (int i = 0; i < settings::kLimitCount; ++i) {
        const int channel = i / 2 + 1;
        const bool high = i % 2 == 0;
        const QString heading = QStringLiteral("T%1 %2").arg(channel).arg(high ? "High" : "Low");
        const int x = 4 + (channel - 1) * kColumnPitch;
        const int top = high ? 20 : 62;
        m_headings[i] = new QLabel(heading, m_frame);
        m_headings[i]->setGeometry(x, top, kBoxWidth, 16);
        m_boxes[i] = new QLineEdit(m_frame);
        m_boxes[i]->setObjectName(QStringLiteral("Txt") + settings::limitName(i));
        m_boxes[i]->setAccessibleName(heading);
        m_boxes[i]->setGeometry(x, top + 16, kBoxWidth, 22);
        m_headings[i]->setBuddy(m_boxes[i]);
        connect(m_boxes[i], &QLineEdit::returnPressed, this, &AlarmPanel::confirm);
    }
    for (int c = 0; c < live::kChannels; ++c) {
        // No caption, as on the meter's panel: the name tells a screen reader what it does.
        m_enable[c] = new QCheckBox(m_frame);
        m_enable[c]->setObjectName(QStringLiteral("CkAlm%1").arg(c + 1));
        m_enable[c]->setAccessibleName(QStringLiteral("T%1 alarm on").arg(c + 1));
        m_enable[c]->setToolTip(
            QStringLiteral("Sound the alarm when T%1 is out of its limits").arg(c + 1));
        // Only as wide as its box: a click beside a captionless box would do nothing.
        m_enable[c]->setGeometry(4 + c * kColumnPitch, 106, m_enable[c]->sizeHint().width(), 20);
    }

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("CmdAlarmOK"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CmdAlarmCancel"));
    connect(m_ok, &QPushButton::clicked, this, &AlarmPanel::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &AlarmPanel::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &AlarmPanel::close);

    // The boxes first, T1 to T4, then the check boxes, then OK and Cancel.
    QWidget* previous = m_boxes[0];
    const auto chain = [&previous](QWidget* next) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (int i : {2, 4, 6, 1, 3, 5, 7})
        chain(m_boxes[i]);
    for (QCheckBox* box : m_enable)
        chain(box);
    chain(m_ok);
    chain(m_cancel);

    move(16, 250);
    fitChannels(live::kChannels);
    hide();
}

void AlarmPanel::fitChannels(int channels) {
    for (const Widths& w : kWidths) {
        if (w.channels != channels)
            continue;
        WindowScale::place(m_frame,
                           QRect(kInset, kInset, w.frameTwips / kTwipsPerPixel, kFrameHeight));
        for (int i = 0; i < settings::kLimitCount; ++i) {
            // Absent channels keep their texts (OK checks and writes all four) but are out of
            // sight and out of the Tab order.
            m_boxes[i]->setVisible(i / 2 < channels);
            m_headings[i]->setVisible(i / 2 < channels);
        }
        for (int c = 0; c < live::kChannels; ++c)
            m_enable[c]->setVisible(c < channels);
        // With one channel the panel is too narrow for two buttons side by side.
        const int buttonWidth = channels == 1 ? 65 : 60;
        const QRect ok(kInset, kButtonTop, buttonWidth, kButtonHeight);
        const QRect cancel =
            channels == 1 ? ok.translated(0, kButtonHeight + 4) : ok.translated(buttonWidth + 8, 0);
        WindowScale::place(m_ok, ok);
        WindowScale::place(m_cancel, cancel);
        WindowScale::place(
            this, QRect(WindowScale::basePos(this),
                        QSize(w.panelTwips / kTwipsPerPixel, cancel.bottom() + 1 + kInset)));
        return;
    }
}

void AlarmPanel::open() {
    // The link is tested first: while it is busy the key does nothing at all.
    if (m_exchange->held() || m_host.linkBusy())
        return;
    const std::optional<live::TempUnit> unit = settings::shownUnit(m_live.display());
    if (!unit) {
        m_platform.message(kNoUnit, Platform::Icon::Warning);
        return;
    }
    if (!m_exchange->acquire())
        return;
    m_unit = unit;
    auto words = std::make_shared<std::optional<settings::LimitWords>>();
    m_exchange->run(
        [words](session::Exchange::Job& job) { *words = settings::readLimits(job.session); },
        [this, words](session::Exchange::End end, const QString&) { limitsRead(end, *words); });
    // Shown at once, so that Cancel is a way out of a read that does not come back.
    setWaiting(true);
    m_focusBefore = QApplication::focusWidget();
    show();
    raise();
    m_cancel->setFocus();
}

void AlarmPanel::limitsRead(session::Exchange::End end,
                            const std::optional<settings::LimitWords>& words) {
    if (end == session::Exchange::End::Cancelled || !m_exchange->held())
        return; // closed meanwhile
    if (end != session::Exchange::End::Done) {
        // A port search took the link (it reports its own outcome), or the job failed.
        close();
        return;
    }
    if (!words) {
        close();
        m_platform.message(kReadFailed, Platform::Icon::Warning);
        return;
    }
    settings::AlarmLimits limits;
    limits.unit = *m_unit;
    for (int c = 0; c < live::kChannels; ++c) {
        limits.high[c] = settings::limitValue((*words)[2 * c], *m_unit);
        limits.low[c] = settings::limitValue((*words)[2 * c + 1], *m_unit);
    }
    m_monitor.setLimits(limits);
    const settings::LimitTexts texts =
        settings::limitTexts(*words, *m_unit, m_live.typeLetter(), m_live.channelCount());
    for (int i = 0; i < settings::kLimitCount; ++i)
        m_boxes[i]->setText(texts[i]);
    fitChannels(m_live.channelCount());
    for (int c = 0; c < live::kChannels; ++c)
        m_enable[c]->setChecked(m_monitor.enabled()[c]);
    setWaiting(false);
    m_boxes[0]->setFocus();
    m_boxes[0]->selectAll();
}

settings::LimitTexts AlarmPanel::boxTexts() const {
    settings::LimitTexts texts;
    for (int i = 0; i < settings::kLimitCount; ++i)
        texts[i] = m_boxes[i]->text();
    return texts;
}

void AlarmPanel::confirm() {
    if (!m_exchange->held() || m_exchange->jobRunning() || !m_unit)
        return;
    const settings::LimitValues values = settings::readLimitTexts(boxTexts());
    if (const auto refusal = settings::limitsRefusal(values, m_live.typeLetter(), *m_unit)) {
        // The panel stays open and keeps the link: the user corrects a box or cancels.
        m_platform.message(*refusal, Platform::Icon::Warning);
        return;
    }
    const QByteArray payload = settings::limitPayload(values, *m_unit);
    const bool started = m_exchange->run(
        [payload](session::Exchange::Job& job) { settings::writeLimits(job.session, payload); },
        [this, values](session::Exchange::End end, const QString& error) {
            written(end, error, values);
        });
    if (started)
        setWaiting(true);
}

void AlarmPanel::written(session::Exchange::End end, const QString& error,
                         const settings::LimitValues& values) {
    if (!m_exchange->held())
        return;
    if (end == session::Exchange::End::Done) {
        // The numbers as typed, not the words sent: the monitor compares with readings.
        settings::AlarmLimits limits;
        limits.unit = *m_unit;
        for (int c = 0; c < live::kChannels; ++c) {
            limits.high[c] = values[2 * c];
            limits.low[c] = values[2 * c + 1];
        }
        m_monitor.setLimits(limits);
        settings::ChannelFlags enabled{};
        for (int c = 0; c < live::kChannels; ++c)
            enabled[c] = m_enable[c]->isChecked();
        m_monitor.setEnabled(enabled);
    }
    close();
    if (end == session::Exchange::End::Failed)
        m_platform.message(QStringLiteral("The alarm limits could not be written: %1").arg(error),
                           Platform::Icon::Warning);
}

void AlarmPanel::close() {
    setWaiting(false);
    hide();
    // A read or write still running is cancelled; the meter keeps what it has.
    m_exchange->release();
    if (m_focusBefore)
        m_focusBefore->setFocus();
}

void AlarmPanel::setWaiting(bool waiting) {
    // Cancel stays enabled: it is the way out of every wait.
    m_ok->setEnabled(!waiting);
    m_frame->setEnabled(!waiting);
}

namespace {

// The mark and its text follow the channels in alarm; a channel entering it is an alert, so
// that a screen reader says it at once (and not again while it stays).
void showAlarm(QLabel* shown, const settings::ChannelFlags& inAlarm,
               settings::ChannelFlags& before) {
    QStringList channels;
    bool entered = false;
    for (int c = 0; c < live::kChannels; ++c) {
        if (!inAlarm[c])
            continue;
        channels.append(QStringLiteral("T%1").arg(c + 1));
        entered = entered || !before[c];
    }
    before = inAlarm;
    shown->setText(QStringLiteral("ALARM ") + channels.join(u' '));
    shown->setAccessibleName(QStringLiteral("Temperature alarm on ") +
                             channels.join(QStringLiteral(", ")));
    shown->setVisible(!channels.isEmpty());
    if (!channels.isEmpty())
        shown->raise();
    if (entered)
        AlertAccessible::raise(shown);
}

} // namespace

AlarmPanel* attachAlarmPanel(ControlPanel& window, serial::LinkThread& link,
                             const live::LiveState& live, Platform& platform) {
    auto* monitor = new settings::AlarmMonitor(live, platform, &window);
    // A (re)connection switches every alarm off; the user sets them again with the panel.
    QObject::connect(&link, &serial::LinkThread::connected, monitor,
                     &settings::AlarmMonitor::clearEnabled);

    auto* panel = new AlarmPanel(link, window, live, platform, *monitor, &window);
    window.hostPanel(panel);
    window.setToolbarHandler(QStringLiteral("Alarm"), [panel] { panel->open(); });

    // Not by sound alone: the channels in alarm in red on the window, and as text for a
    // screen reader.
    auto* shown = new QLabel(&window);
    shown->setObjectName(QStringLiteral("LblAlarm"));
    shown->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c00000; "
                                        "font-weight: bold; padding: 1px 4px; }"));
    // Under the port list, which opens over the model name's row.
    shown->setGeometry(150, 76, 145, 22);
    shown->hide();
    AlertAccessible::attach(shown);
    auto before = std::make_shared<settings::ChannelFlags>();
    QObject::connect(monitor, &settings::AlarmMonitor::alarmChanged, shown,
                     [monitor, shown, before] { showAlarm(shown, monitor->inAlarm(), *before); });
    return panel;
}

} // namespace app
