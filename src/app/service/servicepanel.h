#pragma once

#include "base/platform.h"
#include "session/exchange.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace serial {
class LinkThread;
}

namespace app {

class ClockPanel;
class ControlPanel;

// The service controls beyond the right edge of the window: the byte panel (Cmd1, the payload
// boxes Cmd2..Cmd17, CmdChByte "OK", the reply in Label1) and the raw clock buttons Command1
// "RTC" (opens the clock panel), RRTC (one "C" exchange shown as bytes) and WRTC (sets the
// meter's clock without the panel). Each exchange takes the link from the live poll for its
// own time, so the poll never reads the reply bytes meant for Label1.
class ServicePanel : public QWidget {
    Q_OBJECT
public:
    // Left edge in the window: beyond the 4575-twip client area.
    static constexpr int kLeftTwips = 4800;
    // Command1, RRTC and WRTC span these lefts of the window.
    static constexpr int kClockButtonsLeftTwips = 11520;
    static constexpr int kTwipsPerPixel = 15;

    ServicePanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
                 base::Platform& platform, ClockPanel& clockPanel, std::function<QDateTime()> now,
                 QWidget* window);
    ~ServicePanel() override;

    QLineEdit* box(int n) const { return m_boxes[n - 1]; } // Cmd1..Cmd17
    QLabel* replyLabel() const { return m_label1; }

private:
    void sendBytes();
    // Label1 shows `text` (wrapped, every byte); the rows of boxes move down under it.
    void showReply(const QString& text);
    void placeRows();
    void exchangeRaw(const QByteArray& command, const QByteArray& payload);
    void writeClock();
    void setRunning(bool running);
    void reportStart(bool started);

    session::Exchange* m_exchange = nullptr;
    base::Platform& m_platform;
    std::function<QDateTime()> m_now;

    QLabel* m_label1 = nullptr;
    QList<QLineEdit*> m_boxes;
    QPushButton* m_cmdChByte = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_rrtc = nullptr;
    QPushButton* m_wrtc = nullptr;
};

// Builds the service controls into the window. They stay hidden (and out of the Tab order)
// unless `shown`, which widens the window to bring them and `otherServiceWidgets` (the
// "Sampling Time" frame) into sight.
ServicePanel* attachServicePanel(ControlPanel& window, serial::LinkThread& link,
                                 base::Platform& platform, ClockPanel& clockPanel,
                                 std::function<QDateTime()> now,
                                 const QList<QWidget*>& otherServiceWidgets, bool shown);

} // namespace app
