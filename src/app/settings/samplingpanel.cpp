#include "app/settings/samplingpanel.h"

#include "app/window/controlpanel.h"
#include "app/window/desktopplatform.h"
#include "serial/linkthread.h"
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

SamplingPanel::SamplingPanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
                             Platform& platform, Host host, QWidget* window)
    : QFrame(window)
    , m_exchange(new session::Exchange(link, exchangeHost, this))
    , m_serviceExchange(new session::Exchange(link, exchangeHost, this))
    , m_platform(platform)
    , m_host(std::move(host)) {
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

    connect(
        m_optPc, &QRadioButton::clicked, this, [this] { m_usePcSampling = true; });
    connect(m_optMeter, &QRadioButton::clicked, this, [this] { m_usePcSampling = false; });
    connect(m_ok, &QPushButton::clicked, this, &SamplingPanel::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &SamplingPanel::cancel);

    m_serviceFrame = new QGroupBox(QStringLiteral("Sampling Time"), window);
    m_serviceFrame->setObjectName(QStringLiteral("FrameSamplingTime"));
    m_cmdSampling = new QPushButton(kUnknownInterval, m_serviceFrame);
    m_cmdSampling->setObjectName(QStringLiteral("CmdSampling"));
    // Its caption is the last interval written ("?" until then), which says nothing of what
    // a press does: the name says that, the description what the caption means.
    m_cmdSampling->setAccessibleName(QStringLiteral("Set the meter's sampling time"));
    m_cmdSampling->setToolTip(m_cmdSampling->accessibleName());
    m_cmdSampling->setAccessibleDescription(QStringLiteral("Not set since the start"));
    (new QVBoxLayout(m_serviceFrame))->addWidget(m_cmdSampling);
    m_serviceFrame->setGeometry(kServiceFrameLeftTwips / kTwipsPerPixel, 80, 113, 60);
    window->installEventFilter(this);
    followWindowWidth();
    connect(m_cmdSampling, &QPushButton::clicked, this, &SamplingPanel::serviceClicked);
}

SamplingPanel::~SamplingPanel() = default;

void SamplingPanel::followWindowWidth() {
    // Out of sight is out of reach: a hidden frame takes no Tab focus and no keys. A window
    // widened to show it brings it back.
    const QWidget* window = m_serviceFrame->parentWidget();
    m_serviceFrame->setVisible(window && window->rect().contains(m_serviceFrame->geometry()));
}

bool SamplingPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_serviceFrame->parentWidget() && event->type() == QEvent::Resize)
        followWindowWidth();
    return QFrame::eventFilter(watched, event);
}

void SamplingPanel::open() {
    if (!m_exchange->acquire())
        return;
    setWaiting(false);
    show();
    raise();
}

void SamplingPanel::close() {
    setWaiting(false);
    hide();
    m_exchange->release();
}

void SamplingPanel::setWaiting(bool waiting) {
    // Cancel stays enabled: it is the way out of a read that does not come back.
    m_ok->setEnabled(!waiting);
    m_frameIntv->setEnabled(!waiting);
}

void SamplingPanel::cancel() {
    close();
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
        close();
        break;
    case settings::IntervalEntry::Kind::Accepted:
        m_host.setPcSamplingTime(entry.seconds);
        close();
        break;
    case settings::IntervalEntry::Kind::NotANumber:
        // The panel stays open so the user can type again or cancel.
        m_platform.message(settings::notANumberMessage(entry.typed), Platform::Icon::Warning);
        break;
    }
}

void SamplingPanel::readMeter() {
    auto seconds = std::make_shared<std::optional<int>>();
    const bool started = m_exchange->run(
        [seconds](session::Exchange::Job& job) {
            *seconds = settings::readMeterInterval(job.session);
        },
        [this, seconds](session::Exchange::End end, const QString&) { meterRead(end, *seconds); });
    if (started)
        setWaiting(true);
}

void SamplingPanel::meterRead(session::Exchange::End end, std::optional<int> seconds) {
    setWaiting(false);
    if (end == session::Exchange::End::Cancelled || !m_exchange->held())
        return; // the panel was closed meanwhile
    if (end != session::Exchange::End::Done) {
        // A port search took the link (it reports its own outcome), or the job failed.
        close();
        return;
    }
    if (!seconds) {
        close();
        m_platform.message(kReadFailed, Platform::Icon::Warning);
        return;
    }
    m_meterSamplingTime = *seconds;
    askMeterInterval();
}

void SamplingPanel::askMeterInterval() {
    // The link is free while the box is shown; the poll stays off.
    m_exchange->suspend();
    const settings::IntervalEntry entry = settings::parseIntervalEntry(
        m_platform.input(settings::meterIntervalPrompt(), settings::intervalTitle(),
                         QString::number(m_meterSamplingTime)));
    switch (entry.kind) {
    case settings::IntervalEntry::Kind::Cancelled:
        close();
        return;
    case settings::IntervalEntry::Kind::NotANumber:
        // Back to the open panel: the meter keeps its interval, the user types again or cancels.
        m_exchange->resume();
        m_platform.message(settings::notANumberMessage(entry.typed), Platform::Icon::Warning);
        return;
    case settings::IntervalEntry::Kind::Accepted:
        break;
    }
    // Another exchange took the link while the box was shown: write nothing, stay open.
    if (!m_exchange->resume())
        return;
    writeMeter(entry.seconds, true);
}

void SamplingPanel::writeMeter(int seconds, bool fromPanel) {
    const auto work = [seconds](session::Exchange::Job& job) {
        settings::writeMeterInterval(job.session, seconds);
    };
    const auto done = [this, seconds, fromPanel](session::Exchange::End end, const QString&) {
        // The meter has the new interval even when the panel was cancelled meanwhile.
        if (end == session::Exchange::End::Done) {
            m_cmdSampling->setText(QString::number(seconds));
            m_cmdSampling->setAccessibleDescription(QStringLiteral("Set to %1 s").arg(seconds));
        }
        if (fromPanel && m_exchange->held())
            close();
        if (!fromPanel)
            m_cmdSampling->setEnabled(true);
    };
    if (fromPanel) {
        if (m_exchange->run(work, done))
            setWaiting(true);
        return;
    }
    // An open panel holds the link already: the service write runs inside its exchange.
    const bool started =
        m_exchange->held() ? m_exchange->run(work, done) : m_serviceExchange->runOnce(work, done);
    if (started)
        m_cmdSampling->setEnabled(false);
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
    writeMeter(entry.seconds, false);
}

SamplingPanel* attachSamplingPanel(ControlPanel& window, serial::LinkThread& link,
                                   Platform& platform, std::function<int()> pcSamplingTime,
                                   std::function<void(int)> setPcSamplingTime) {
    SamplingPanel::Host host{std::move(pcSamplingTime), std::move(setPcSamplingTime)};
    auto* panel = new SamplingPanel(link, window, platform, std::move(host), &window);
    window.hostPanel(panel);
    window.setToolbarHandler(QStringLiteral("Intv"), [panel] { panel->open(); });
    return panel;
}

} // namespace app
