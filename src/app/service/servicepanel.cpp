#include "app/service/servicepanel.h"

#include "app/clock/clockpanel.h"
#include "app/window/controlpanel.h"
#include "memory/bytepanel.h"
#include "serial/linkthread.h"
#include "settings/meterclock.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <memory>

namespace app {

namespace {
const QString kBusy = QStringLiteral("Another exchange with the meter is running (a panel is "
                                     "open). Try again when it has ended.");
constexpr int kBoxWidth = 36;
constexpr int kPitch = 40;
constexpr int kRowHeight = 24;
constexpr int kButtonWidth = 64;
constexpr int kLabelWidth = 8 * kPitch + 48 + 48;
constexpr int kLabelHeight = 22; // one line
const QString kReplyBytes = QStringLiteral("Reply bytes");
} // namespace

ServicePanel::ServicePanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
                           base::Platform& platform, ClockPanel& clockPanel,
                           std::function<QDateTime()> now, QWidget* window)
    : QWidget(window)
    , m_exchange(new session::Exchange(link, exchangeHost, this))
    , m_platform(platform)
    , m_now(std::move(now)) {
    setObjectName(QStringLiteral("ServicePanel"));
    const int left = kLeftTwips / kTwipsPerPixel;
    const int clockLeft = kClockButtonsLeftTwips / kTwipsPerPixel - left;

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAccessibleDescription(kReplyBytes);
    m_label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_label1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A long reply ("send M" has 37 bytes) wraps onto more lines rather than being cut.
    m_label1->setWordWrap(true);
    m_label1->setGeometry(0, 0, kLabelWidth, kLabelHeight);
    showReply(QString());

    // Cmd1, then the payload boxes: Cmd2..Cmd9 on the first row, Cmd10..Cmd17 under them.
    for (int n = 1; n <= 1 + memory::kPayloadBoxes; ++n) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Cmd%1").arg(n));
        edit->setAccessibleName(n == 1 ? QStringLiteral("Command text")
                                       : QStringLiteral("Byte %1").arg(n - 1));
        connect(edit, &QLineEdit::returnPressed, this, &ServicePanel::sendBytes);
        m_boxes.append(edit);
    }
    m_cmdChByte = new QPushButton(QStringLiteral("OK"), this);
    m_cmdChByte->setObjectName(QStringLiteral("CmdChByte"));
    m_cmdChByte->setAccessibleName(QStringLiteral("Send the bytes"));

    const auto clockButton = [&](const char* name, const QString& caption, int row,
                                 const QString& accessible) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(accessible);
        button->setGeometry(clockLeft, row * 30, kButtonWidth, 26);
        return button;
    };
    m_command1 =
        clockButton("Command1", QStringLiteral("RTC"), 0, QStringLiteral("Open the clock panel"));
    m_rrtc = clockButton("RRTC", QStringLiteral("R  RTC"), 1,
                         QStringLiteral("Read the meter's clock as bytes"));
    m_wrtc = clockButton("WRTC", QStringLiteral("W  RTC"), 2,
                         QStringLiteral("Set the meter's clock to the PC's"));

    setGeometry(left, 80, clockLeft + kButtonWidth, 3 * 30);
    placeRows();

    connect(m_cmdChByte, &QPushButton::clicked, this, &ServicePanel::sendBytes);
    connect(m_command1, &QPushButton::clicked, &clockPanel, &ClockPanel::open);
    connect(m_rrtc, &QPushButton::clicked, this,
            [this] { exchangeRaw(QByteArrayLiteral("C"), QByteArray()); });
    connect(m_wrtc, &QPushButton::clicked, this, &ServicePanel::writeClock);
}

ServicePanel::~ServicePanel() = default;

void ServicePanel::sendBytes() {
    QStringList texts;
    for (int n = 2; n <= 1 + memory::kPayloadBoxes; ++n)
        texts.append(box(n)->text());
    const memory::ByteRequest request = memory::parseByteRequest(box(1)->text(), texts);
    if (!request.error.isEmpty()) {
        m_platform.message(request.error, base::Platform::Icon::Warning);
        return;
    }
    // An empty command sends nothing, and Label1 keeps its caption.
    if (request.command.isEmpty())
        return;
    exchangeRaw(request.command, request.payload);
}

void ServicePanel::exchangeRaw(const QByteArray& command, const QByteArray& payload) {
    auto reply = std::make_shared<QByteArray>();
    const bool started = m_exchange->runOnce(
        [reply, command, payload](session::Exchange::Job& job) {
            *reply = memory::exchangeBytes(job.session, command, payload);
        },
        [this, reply](session::Exchange::End end, const QString&) {
            setRunning(false);
            if (end == session::Exchange::End::Done)
                showReply(memory::replyText(*reply));
        });
    reportStart(started);
}

void ServicePanel::showReply(const QString& text) {
    m_label1->setText(text);
    // Read out as shown; the description says what the bytes are.
    m_label1->setAccessibleName(text.isEmpty() ? kReplyBytes : text);
    placeRows();
}

void ServicePanel::placeRows() {
    // The label keeps its place and width and grows downwards; the rows stay under it.
    const int labelHeight = std::max(kLabelHeight, m_label1->heightForWidth(kLabelWidth));
    m_label1->resize(kLabelWidth, labelHeight);
    const int top = labelHeight + 4;
    for (int n = 1; n <= m_boxes.size(); ++n) {
        const int k = (n - 2) % 8;
        if (n == 1)
            box(n)->setGeometry(0, top, 44, kRowHeight);
        else
            box(n)->setGeometry(48 + k * kPitch, n <= 9 ? top : top + kRowHeight + 4, kBoxWidth,
                                kRowHeight);
    }
    if (m_cmdChByte)
        m_cmdChByte->setGeometry(48 + 8 * kPitch, top, 48, kRowHeight);
    resize(width(), std::max(3 * 30, top + 2 * kRowHeight + 4));
}

void ServicePanel::writeClock() {
    const std::function<QDateTime()> now = m_now;
    const bool started = m_exchange->runOnce(
        [now](session::Exchange::Job& job) { settings::writeMeterClock(job.session, now); },
        [this](session::Exchange::End, const QString&) { setRunning(false); });
    reportStart(started);
}

void ServicePanel::reportStart(bool started) {
    if (started)
        setRunning(true);
    else
        m_platform.message(kBusy, base::Platform::Icon::Information);
}

void ServicePanel::setRunning(bool running) {
    // One service exchange at a time; the texts stay editable.
    for (QPushButton* button : {m_cmdChByte, m_rrtc, m_wrtc})
        button->setEnabled(!running);
}

ServicePanel* attachServicePanel(ControlPanel& window, serial::LinkThread& link,
                                 base::Platform& platform, ClockPanel& clockPanel,
                                 std::function<QDateTime()> now,
                                 const QList<QWidget*>& otherServiceWidgets, bool shown) {
    auto* panel = new ServicePanel(link, window, platform, clockPanel, std::move(now), &window);
    // The other service controls (the meter's sampling time) stand under the clock buttons,
    // so that the widened window stays within a 1024-pixel screen.
    const QPoint under = panel->geometry().topLeft() +
                         QPoint((ServicePanel::kClockButtonsLeftTwips - ServicePanel::kLeftTwips) /
                                    ServicePanel::kTwipsPerPixel,
                                panel->height() + 10);
    int top = under.y();
    for (QWidget* widget : otherServiceWidgets) {
        widget->move(under.x(), top);
        top += widget->height() + 10;
    }
    QList<QWidget*> widgets = otherServiceWidgets;
    widgets.append(panel);
    int right = ControlPanel::kClientWidth;
    for (QWidget* widget : widgets) {
        // Hidden widgets are out of the Tab order; disabled ones cannot be triggered either.
        widget->setVisible(shown);
        widget->setEnabled(shown);
        right = std::max(right, widget->geometry().right() + 12);
    }
    if (shown)
        window.setFixedSize(right, ControlPanel::kClientHeight);
    return panel;
}

} // namespace app
