#pragma once

#include "base/platform.h"
#include "session/exchange.h"

#include <QFrame>

#include <functional>
#include <memory>
#include <optional>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace serial {
class LinkThread;
}

namespace app {

class ControlPanel;
using Platform = base::Platform;

// The sampling panel PicSampling: sets either the PC recording interval or the meter's own
// interval (read with "K" and offered as the default, then written with "F"). While it is
// open the link is marked busy and the live poll is off. Also owns the service button
// CmdSampling, which writes the meter's interval without the panel.
//
// Exchanges run as jobs on the link thread; their ends come back to the UI thread, so the
// window never blocks. Cancel is a way out of every wait.
class SamplingPanel : public QFrame {
    Q_OBJECT
public:
    // What the panel needs of the recorder.
    struct Host {
        std::function<int()> pcSamplingTime;        // the recorder's interval
        std::function<void(int)> setPcSamplingTime; // also restarts its second count
    };

    // The panel and the service frame are created as children of `window`.
    SamplingPanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost, Platform& platform,
                  Host host, QWidget* window);
    ~SamplingPanel() override;

    // Left edge of the "Sampling Time" frame: beyond the right edge of the 4575-twip client
    // area, so CmdSampling is out of sight at the window's designed size.
    static constexpr int kServiceFrameLeftTwips = 14280;
    static constexpr int kTwipsPerPixel = 15;

    // The toolbar key "Intv": does nothing while another exchange owns the link.
    void open();

    QGroupBox* serviceFrame() const { return m_serviceFrame; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followWindowWidth();
    void confirm();
    void cancel();
    void confirmPc();
    void readMeter();
    void meterRead(session::Exchange::End end, std::optional<int> seconds);
    void askMeterInterval();
    void serviceClicked();
    // Hides the panel and gives the link back.
    void close();
    void setWaiting(bool waiting);
    void writeMeter(int seconds, bool fromPanel);

    session::Exchange* m_exchange = nullptr;        // the panel's: held while the panel is open
    session::Exchange* m_serviceExchange = nullptr; // CmdSampling's own write, panel closed
    Platform& m_platform;
    Host m_host;

    QGroupBox* m_frameIntv = nullptr;
    QRadioButton* m_optPc = nullptr;
    QRadioButton* m_optMeter = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QGroupBox* m_serviceFrame = nullptr;
    QPushButton* m_cmdSampling = nullptr;

    bool m_usePcSampling = true;
    int m_meterSamplingTime = 0;
};

// Builds the panel into the main window: hosted as an in-window panel, the toolbar key "Intv",
// the LinkBusy flag of the window, and the "Sampling Time" frame placed out of sight.
SamplingPanel* attachSamplingPanel(ControlPanel& window, serial::LinkThread& link,
                                   Platform& platform, std::function<int()> pcSamplingTime,
                                   std::function<void(int)> setPcSamplingTime);

} // namespace app
