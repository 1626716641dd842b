#include "app/cli/cliframes.h"

#include "app/cli/silencetimer.h"
#include "base/signalwatcher.h"

#include <QCoreApplication>

#include <unistd.h>

namespace app {

namespace {

// What the command says about the meter while it watches the frames: the time-out, each loss
// and each return.
class MeterWatch {
public:
    MeterWatch(QCoreApplication& app, const Common& common, const std::function<void()>& onLost)
        : m_app(app)
        , m_common(common)
        , m_onLost(onLost)
        // A progress line may stand unfinished on a terminal: the message goes below it.
        , m_lead(::isatty(STDERR_FILENO) == 1 ? QStringLiteral("\n") : QString())
        , m_timeout([this] { expired(); }) {}

    void follow(serial::LinkThread& thread) {
        QObject::connect(
            &thread, &serial::LinkThread::connected, &m_app,
            [this](int, const QString& device) { m_handshakeFrom = device; });
        QObject::connect(&thread, &serial::LinkThread::statusText, &m_app,
                         [this](const QString& text) { statusText(text); });
    }
    void frameCame() {
        m_answered = true;
        if (m_away) {
            m_away = false;
            printErr(QStringLiteral("qr512: meter answering again"));
        }
        start();
    }
    void start() { m_timeout.start(m_common.timeoutMs); }
    int exitCode() const { return m_exitCode; }

private:
    void expired() {
        m_exitCode = kNoMeter;
        if (m_answered) {
            printErr(m_lead + silenceText(true, m_common.timeoutMs));
            m_onLost();
            return;
        }
        if (!m_handshakeFrom.isEmpty())
            printErr(QStringLiteral("qr512: the meter on %1 answered, but sent only "
                                    "damaged frames for %2")
                         .arg(m_handshakeFrom, durationText(m_common.timeoutMs)));
        else
            printErr(silenceText(false, m_common.timeoutMs));
        m_app.quit();
    }
    // Once per loss and once when it is back: the link says "No COM" when it starts searching.
    void statusText(const QString& text) {
        if (!m_answered || m_away || text.trimmed() != QLatin1String("No COM"))
            return;
        m_away = true;
        printErr(m_lead + QStringLiteral("qr512: meter not answering, searching…"));
    }

    QCoreApplication& m_app;
    const Common& m_common;
    const std::function<void()>& m_onLost;
    const QString m_lead;
    int m_exitCode = kDone;
    bool m_answered = false;
    bool m_away = false;
    QString m_handshakeFrom; // a device that answered the handshake, before any valid frame
    SilenceTimer m_timeout;
};

} // namespace

int runConnected(QCoreApplication& app, Connection& connection, const Common& common,
                 const std::function<void()>& onFrame, const std::function<void()>& onSignal,
                 const std::function<void()>& onLost) {
    MeterWatch watch(app, common, onLost);
    watch.follow(connection.thread());
    QObject::connect(&connection.state(), &live::LiveState::frameDecoded, &app, [&] {
        watch.frameCame();
        onFrame();
    });
    const base::SignalWatcher signalWatcher(onSignal);
    connection.thread().start();
    watch.start();
    const int loop = app.exec();
    return watch.exitCode() != kDone ? watch.exitCode() : loop;
}

} // namespace app
