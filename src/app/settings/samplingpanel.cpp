#include "app/settings/samplingpanel.h"

#include "app/window/controlpanel.h"
#include "app/window/desktopplatform.h"
#include "link/linkthread.h"
#include "settings/sampling.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace app {

namespace {
const QString kReadFailed =
    QStringLiteral("The meter did not answer the request for its sampling interval.\n"
                   "Check the connection and try again.");
// Before the first write nothing is known of what the meter holds.
const QString kUnknownInterval = QStringLiteral("?");
} // namespace

// Carries a job's end back to the panel on the UI thread however the job ends: finished,
// cancelled by a new port choice, or dropped unrun because the link is stopping. Without it a
// dropped job would leave the panel waiting and LinkBusy set for good. Destroyed on whichever
// thread drops the job last.
class SamplingPanel::JobEnd {
public:
    JobEnd(std::shared_ptr<SamplingPanel*> panel, quint64 token, EndHandler handler)
        : m_panel(std::move(panel))
        , m_token(token)
        , m_handler(handler) {}
    JobEnd(const JobEnd&) = delete;
    JobEnd& operator=(const JobEnd&) = delete;
    ~JobEnd() {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [panel = m_panel, token = m_token, handler = m_handler, result = result] {
                if (*panel)
                    ((*panel)->*handler)(token, result);
            },
            Qt::QueuedConnection);
    }

    JobResult result; // written by the job on the link thread before the end is sent

private:
    std::shared_ptr<SamplingPanel*> m_panel;
    quint64 m_token = 0;
    EndHandler m_handler;
};

SamplingPanel::SamplingPanel(serial::LinkThread& link, Platform& platform, Host host,
                             QWidget* window)
    : QFrame(window)
    , m_link(link)
    , m_platform(platform)
    , m_host(std::move(host))
    , m_self(std::make_shared<SamplingPanel*>(this)) {
    setObjectName(QStringLiteral("PicSampling"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    m_frameIntv = new QGroupBox(QStringLiteral("Sampling Rate"), this);
    m_frameIntv->setObjectName(QStringLiteral("FrameIntv"));
    m_optPc = new QRadioButton(QStringLiteral("PC Sampling Rate"), m_frameIntv);
    m_optPc->setObjectName(QStringLiteral("OptPC"));
    m_optPc->setChecked(true);
    m_optMeter = new QRadioButton(QStringLiteral("Meter Sampling Rate"), m_frameIntv);
    m_optMeter->setObjectName(QStringLiteral("OptMeter"));
    auto* options = new QVBoxLayout(m_frameIntv);
    options->addWidget(m_optPc);
    options->addWidget(m_optMeter);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("CmdSamplingOK"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CmdSamplingCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_frameIntv);
    layout->addLayout(buttons);
    setGeometry(24, 250, 257, 150);
    hide();

    connect(m_optPc, &QRadioButton::clicked, this, [this] { m_usePcSampling = true; });
    connect(m_optMeter, &QRadioButton::clicked, this, [this] { m_usePcSampling = false; });
    connect(m_ok, &QPushButton::clicked, this, &SamplingPanel::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &SamplingPanel::cancel);

    m_serviceFrame = new QGroupBox(QStringLiteral("Sampling Time"), window);
    m_serviceFrame->setObjectName(QStringLiteral("FrameSamplingTime"));
    m_cmdSampling = new QPushButton(kUnknownInterval, m_serviceFrame);
    m_cmdSampling->setObjectName(QStringLiteral("CmdSampling"));
    (new QVBoxLayout(m_serviceFrame))->addWidget(m_cmdSampling);
    m_serviceFrame->setGeometry(kServiceFrameLeftTwips / kTwipsPerPixel, 80, 113, 60);
    connect(m_cmdSampling, &QPushButton::clicked, this, &SamplingPanel::serviceClicked);
}

SamplingPanel::~SamplingPanel() {
    *m_self = nullptr;
}

std::shared_ptr<SamplingPanel::JobEnd> SamplingPanel::jobEnd(quint64 token, EndHandler handler) {
    return std::make_shared<JobEnd>(m_self, token, handler);
}

void SamplingPanel::open() {
    if (m_host.linkBusy())
        return;
    m_link.setPolling(false);
    m_host.setLinkBusy(true);
    setWaiting(false);
    show();
    raise();
}

void SamplingPanel::close(bool restartPoll) {
    ++m_token;
    setWaiting(false);
    hide();
    m_host.setLinkBusy(false);
    if (restartPoll)
        m_link.setPolling(true);
}

void SamplingPanel::setWaiting(bool waiting) {
    // Cancel stays enabled: it is the way out of a read that does not come back.
    m_ok->setEnabled(!waiting);
    m_frameIntv->setEnabled(!waiting);
}

void SamplingPanel::cancel() {
    close(true);
}

void SamplingPanel::confirm() {
    if (m_usePcSampling)
        confirmPc();
    else
        readMeter();
}

void SamplingPanel::confirmPc() {
    const settings::IntervalEntry entry = settings::parseIntervalEntry(
        m_platform.input(settings::pcIntervalPrompt(), settings::intervalTitle(),
                         QString::number(m_host.pcSamplingTime())));
    switch (entry.kind) {
    case settings::IntervalEntry::Kind::Cancelled:
        close(true);
        break;
    case settings::IntervalEntry::Kind::Accepted:
        m_host.setPcSamplingTime(entry.seconds);
        close(true);
        break;
    case settings::IntervalEntry::Kind::NotANumber:
        // The panel stays open so the user can type again or cancel.
        m_platform.message(settings::notANumberMessage(entry.typed), Platform::Icon::Warning);
        break;
    }
}

void SamplingPanel::readMeter() {
    m_link.setPolling(false);
    m_host.setLinkBusy(true);
    setWaiting(true);
    auto end = jobEnd(++m_token, &SamplingPanel::meterRead);
    m_link.post([end](serial::LinkSession& session) {
        end->result.seconds = settings::readMeterInterval(session);
        end->result.done = true;
    });
}

void SamplingPanel::meterRead(quint64 token, const JobResult& result) {
    if (token != m_token)
        return; // cancelled meanwhile
    setWaiting(false);
    if (!result.done) {
        // A new port search took the link; it reports its own outcome and restarts the poll.
        close(false);
        return;
    }
    if (!result.seconds) {
        close(true);
        m_platform.message(kReadFailed, Platform::Icon::Warning);
        return;
    }
    m_meterSamplingTime = *result.seconds;
    askMeterInterval();
}

void SamplingPanel::askMeterInterval() {
    // The link is free while the box is shown; the poll stays off.
    m_host.setLinkBusy(false);
    const settings::IntervalEntry entry = settings::parseIntervalEntry(
        m_platform.input(settings::meterIntervalPrompt(), settings::intervalTitle(),
                         QString::number(m_meterSamplingTime)));
    switch (entry.kind) {
    case settings::IntervalEntry::Kind::Cancelled:
        close(true);
        return;
    case settings::IntervalEntry::Kind::NotANumber:
        // Back to the open panel: the meter keeps its interval, the user types again or cancels.
        m_host.setLinkBusy(true);
        m_platform.message(settings::notANumberMessage(entry.typed), Platform::Icon::Warning);
        return;
    case settings::IntervalEntry::Kind::Accepted:
        break;
    }
    // Another exchange took the link while the box was shown: write nothing, stay open.
    if (m_host.linkBusy())
        return;
    m_host.setLinkBusy(true);
    setWaiting(true);
    auto end = jobEnd(++m_token, &SamplingPanel::meterWritten);
    end->result.seconds = entry.seconds;
    m_link.post([end](serial::LinkSession& session) {
        settings::writeMeterInterval(session, *end->result.seconds);
        end->result.done = true;
    });
}

void SamplingPanel::meterWritten(quint64 token, const JobResult& result) {
    // The meter has the new interval even when the panel was cancelled meanwhile.
    if (result.done)
        m_cmdSampling->setText(QString::number(*result.seconds));
    if (token != m_token)
        return;
    close(result.done);
}

void SamplingPanel::serviceClicked() {
    const settings::IntervalEntry entry = settings::parseIntervalEntry(
        m_platform.input(settings::serviceIntervalPrompt(), settings::intervalTitle(), QString()));
    if (entry.kind == settings::IntervalEntry::Kind::Cancelled)
        return;
    if (entry.kind == settings::IntervalEntry::Kind::NotANumber) {
        m_platform.message(settings::notANumberMessage(entry.typed), Platform::Icon::Warning);
        return;
    }
    m_link.setPolling(false);
    m_cmdSampling->setEnabled(false);
    auto end = jobEnd(0, &SamplingPanel::serviceWritten);
    end->result.seconds = entry.seconds;
    m_link.post([end](serial::LinkSession& session) {
        settings::writeMeterInterval(session, *end->result.seconds);
        end->result.done = true;
    });
}

void SamplingPanel::serviceWritten(quint64, const JobResult& result) {
    m_cmdSampling->setEnabled(true);
    if (!result.done)
        return;
    m_cmdSampling->setText(QString::number(*result.seconds));
    // An open panel keeps the poll off until it closes.
    if (isHidden())
        m_link.setPolling(true);
}

SamplingPanel* attachSamplingPanel(ControlPanel& window, serial::LinkThread& link,
                                   Platform& platform, std::function<int()> pcSamplingTime,
                                   std::function<void(int)> setPcSamplingTime) {
    SamplingPanel::Host host{
        [&window] { return window.linkBusy(); },
        [&window](bool busy) { window.setLinkBusy(busy); },
        std::move(pcSamplingTime),
        std::move(setPcSamplingTime),
    };
    auto* panel = new SamplingPanel(link, platform, std::move(host), &window);
    window.hostPanel(panel);
    window.setToolbarHandler(QStringLiteral("Intv"), [panel] { panel->open(); });
    return panel;
}

} // namespace app
