#pragma once

#include "base/platform.h"

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
    // What the panel needs of the main window and the recorder.
    struct Host {
        std::function<bool()> linkBusy;
        std::function<void(bool)> setLinkBusy;
        std::function<int()> pcSamplingTime;        // the recorder's interval
        std::function<void(int)> setPcSamplingTime; // also restarts its second count
    };

    // The panel and the service frame are created as children of `window`.
    SamplingPanel(serial::LinkThread& link, Platform& platform, Host host, QWidget* window);
    ~SamplingPanel() override;

    // Left edge of the "Sampling Time" frame: beyond the right edge of the 4575-twip client
    // area, so CmdSampling is out of sight at the window's designed size.
    static constexpr int kServiceFrameLeftTwips = 14280;
    static constexpr int kTwipsPerPixel = 15;

    // The toolbar key "Intv": does nothing while another exchange owns the link.
    void open();

    bool usePcSampling() const { return m_usePcSampling; }
    // The meter's interval as last read with "K" (0 before the first read).
    int meterSamplingTime() const { return m_meterSamplingTime; }
    QGroupBox* serviceFrame() const { return m_serviceFrame; }
    QPushButton* serviceButton() const { return m_cmdSampling; }

private:
    class JobEnd;
    struct JobResult {
        bool done = false;          // false: cancelled by a new port choice or dropped unrun
        std::optional<int> seconds; // the read's interval; nothing when the bound was reached
    };
    using EndHandler = void (SamplingPanel::*)(quint64 token, const JobResult& result);

    void confirm();
    void cancel();
    void confirmPc();
    void readMeter();
    void meterRead(quint64 token, const JobResult& result);
    void askMeterInterval();
    void meterWritten(quint64 token, const JobResult& result);
    void serviceClicked();
    void serviceWritten(quint64 token, const JobResult& result);
    // Hides the panel and frees the link; the poll restarts unless a new port search (which
    // restarts it itself) took the link away from the job.
    void close(bool restartPoll);
    void setWaiting(bool waiting);
    std::shared_ptr<JobEnd> jobEnd(quint64 token, EndHandler handler);

    serial::LinkThread& m_link;
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
    // Counts panel exchanges; an end that arrives after Cancel (or a newer exchange) is stale.
    quint64 m_token = 0;
    // Cleared when the panel dies, so a job ending late touches nothing.
    std::shared_ptr<SamplingPanel*> m_self;
};

// Builds the panel into the main window: hosted as an in-window panel, the toolbar key "Intv",
// the LinkBusy flag of the window, and the "Sampling Time" frame placed out of sight.
SamplingPanel* attachSamplingPanel(ControlPanel& window, serial::LinkThread& link,
                                   Platform& platform, std::function<int()> pcSamplingTime,
                                   std::function<void(int)> setPcSamplingTime);

} // namespace app
