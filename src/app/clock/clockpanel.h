#pragma once

#include "session/exchange.h"
#include "settings/meterclock.h"

#include <QDateTime>
#include <QFrame>
#include <QPointer>

#include <functional>
#include <optional>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace serial {
class LinkThread;
}

namespace app {

class ControlPanel;

// The clock panel PicRTC: the PC's clock and the meter's side by side, once a second, and the
// button that sets the meter's clock to the PC's. While it is open it holds the link (LinkBusy
// set, live poll off) and its display timer runs; Exit (or Escape) stops the timer and gives
// the link back, so no "C" read ever runs while the panel is closed or beside another
// exchange. A PC recording keeps sampling while the panel is open.
class ClockPanel : public QFrame {
    Q_OBJECT
public:
    // `now` is the PC's clock; it is also read on the link thread, once per clock write.
    ClockPanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
               std::function<QDateTime()> now, QWidget* parent = nullptr);
    ~ClockPanel() override;

    // The toolbar key "RTC" and the service button Command1: does nothing while another
    // exchange owns the link. Starts the display timer and shows both captions at once.
    void open();
    // The display tick, run every second by the timer while the panel is open.
    void tick();

    QTimer* displayTimer() const { return m_timer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void readEnded(session::Exchange::End end, std::optional<settings::MeterClockBcd> bytes);
    void setTime();
    void startWrite();
    void exit();
    void jobEnded(session::Exchange::End end);

    session::Exchange* m_exchange = nullptr;
    std::function<QDateTime()> m_now;

    QGroupBox* m_frame = nullptr;
    QLabel* m_lblPcTime = nullptr;
    QLabel* m_lblMeterTime = nullptr;
    QPushButton* m_cmdSetTime = nullptr;
    QPushButton* m_cmdExit = nullptr;
    QTimer* m_timer = nullptr;
    QPointer<QWidget> m_returnFocus;

    bool m_open = false;
    bool m_showMeterTime = false;
    bool m_showPcTime = false;
    bool m_writePending = false; // CmdSetTime pressed while a read was on the link
    bool m_writing = false;
};

// Builds the panel into the main window and gives it the toolbar key "RTC".
ClockPanel* attachClockPanel(ControlPanel& window, serial::LinkThread& link,
                             std::function<QDateTime()> now);

} // namespace app
