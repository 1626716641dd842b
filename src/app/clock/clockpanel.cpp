#include "app/clock/clockpanel.h"

#include "app/window/controlpanel.h"
#include "serial/linkthread.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace app {

namespace {
const QString kPcCaption = QStringLiteral("PC System Time");
const QString kMeterCaption = QStringLiteral("Meter Time");
// The reads gave up (short or garbled replies every time); the next tick tries again.
const QString kNoReply = QStringLiteral("Meter Time: no reply");
} // namespace

ClockPanel::ClockPanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
                       std::function<QDateTime()> now, QWidget* parent)
    : QFrame(parent)
    , m_exchange(new session::Exchange(link, exchangeHost, this))
    , m_now(std::move(now)) {
    setObjectName(QStringLiteral("PicRTC"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    m_frame = new QGroupBox(QStringLiteral("Time"), this);
    m_frame->setObjectName(QStringLiteral("FrameTime"));
    const auto makeLabel = [this](const char* name, const QString& caption, const QString& what) {
        auto* label = new QLabel(caption, m_frame);
        label->setObjectName(QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumHeight(28);
        // A click shows or hides the time; Space or Enter does the same from the keyboard.
        label->setFocusPolicy(Qt::StrongFocus);
        label->setCursor(Qt::PointingHandCursor);
        label->setToolTip(QStringLiteral("Click to show or hide %1").arg(what));
        label->setAccessibleDescription(QStringLiteral("Press Space to show or hide %1").arg(what));
        label->installEventFilter(this);
        return label;
    };
    m_lblPcTime = makeLabel("LblPCTime", kPcCaption, QStringLiteral("the PC's clock"));
    m_lblMeterTime = makeLabel("LblMeterTime", kMeterCaption, QStringLiteral("the meter's clock"));
    auto* times = new QVBoxLayout(m_frame);
    times->addWidget(m_lblPcTime);
    times->addWidget(m_lblMeterTime);

    m_cmdSetTime = new QPushButton(QStringLiteral("Set Meter Time To System Time"), this);
    m_cmdSetTime->setObjectName(QStringLiteral("CmdSetTime"));
    m_cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    m_cmdExit->setObjectName(QStringLiteral("CmdRTCExit"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
    layout->addWidget(m_cmdSetTime);
    layout->addWidget(m_cmdExit);
    setGeometry(24, 250, 257, 190);
    hide();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer3"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &ClockPanel::tick);
    connect(m_cmdSetTime, &QPushButton::clicked, this, &ClockPanel::setTime);
    connect(m_cmdExit, &QPushButton::clicked, this, &ClockPanel::exit);
}

ClockPanel::~ClockPanel() = default;

void ClockPanel::open() {
    if (m_open || !m_exchange->acquire())
        return;
    m_open = true;
    m_writePending = false;
    m_cmdSetTime->setEnabled(!m_writing);
    m_returnFocus = QApplication::focusWidget();
    show();
    raise();
    m_lblPcTime->setFocus();
    // Opened from the toolbar as from Command1: a panel whose captions never change after
    // the first Exit would look broken.
    m_timer->start();
    tick();
}

void ClockPanel::tick() {
    if (!m_open)
        return;
    if (!m_showMeterTime) {
        m_lblMeterTime->setText(kMeterCaption);
    } else if (!m_exchange->jobRunning() && !m_writePending) {
        // One read at a time: a tick that finds the last one still running leaves it be.
        auto bytes = std::make_shared<std::optional<settings::MeterClockBcd>>();
        m_exchange->run(
            [bytes](session::Exchange::Job& job) {
                *bytes = settings::readMeterClock(job.session);
            },
            [this, bytes](session::Exchange::End end, const QString&) { readEnded(end, *bytes); });
    }
    m_lblPcTime->setText(m_showPcTime ? settings::pcTimeText(m_now()) : kPcCaption);
}

void ClockPanel::readEnded(session::Exchange::End end,
                           std::optional<settings::MeterClockBcd> bytes) {
    if (end == session::Exchange::End::Done && m_open && m_showMeterTime)
        m_lblMeterTime->setText(bytes ? settings::meterTimeText(*bytes) : kNoReply);
    jobEnded(end);
}

void ClockPanel::setTime() {
    if (!m_open || m_writing || m_writePending)
        return;
    m_timer->stop();
    m_writePending = true;
    m_cmdSetTime->setEnabled(false);
    // A read on the link gives way (it only reads); the write follows when it has ended.
    if (m_exchange->jobRunning())
        m_exchange->cancel();
    else
        startWrite();
}

void ClockPanel::startWrite() {
    m_writePending = false;
    m_writing = true;
    const std::function<QDateTime()> now = m_now;
    m_exchange->run(
        [now](session::Exchange::Job& job) { settings::writeMeterClock(job.session, now); },
        [this](session::Exchange::End end, const QString&) {
            m_writing = false;
            m_cmdSetTime->setEnabled(true);
            if (m_open)
                m_timer->start();
            jobEnded(end);
        });
}

void ClockPanel::jobEnded(session::Exchange::End end) {
    if (!m_open) {
        // Exit came while the write was on the link: the link is given back now that the
        // meter has its whole payload.
        if (!m_exchange->jobRunning())
            m_exchange->release();
        return;
    }
    if (end == session::Exchange::End::Superseded || end == session::Exchange::End::Failed) {
        // A port choice took the link (its search reports its own outcome), or the port failed.
        exit();
        return;
    }
    if (m_writePending)
        startWrite();
}

void ClockPanel::exit() {
    if (!m_open)
        return;
    m_open = false;
    m_writePending = false;
    m_timer->stop();
    hide();
    // A running read is cut short; a running write is let finish, or the meter would take
    // the next command's bytes for the rest of its clock payload.
    if (!m_writing)
        m_exchange->release();
    if (m_returnFocus)
        m_returnFocus->setFocus();
}

bool ClockPanel::eventFilter(QObject* watched, QEvent* event) {
    bool* flag = watched == m_lblPcTime      ? &m_showPcTime
                 : watched == m_lblMeterTime ? &m_showMeterTime
                                             : nullptr;
    if (!flag)
        return QFrame::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        // The sunken panel turns into a highlighted box where the keyboard is.
        auto* label = static_cast<QLabel*>(watched);
        const bool focused = event->type() == QEvent::FocusIn;
        label->setFrameStyle(focused ? QFrame::Box | QFrame::Plain
                                     : QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(focused ? 2 : 1);
        return false;
    }
    bool toggle = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        toggle = mouse->button() == Qt::LeftButton &&
                 static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        toggle = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    // The caption follows at the next tick.
    if (toggle)
        *flag = !*flag;
    return toggle;
}

void ClockPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        exit();
        return;
    }
    QFrame::keyPressEvent(event);
}

ClockPanel* attachClockPanel(ControlPanel& window, serial::LinkThread& link,
                             std::function<QDateTime()> now) {
    auto* panel = new ClockPanel(link, window, std::move(now), &window);
    window.hostPanel(panel);
    window.setToolbarHandler(QStringLiteral("RTC"), [panel] { panel->open(); });
    return panel;
}

} // namespace app
