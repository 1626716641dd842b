// How soon the live display is back after the meter returns: qr512-sim is stopped and started
// again on the same path (a symbolic link to its pseudo-terminal) while the link polls it,
// with the meter in the last of sixteen slots and the fifteen before it empty. Prints, for
// each outage, the time from the meter's return (its new pseudo-terminal linked) to the first
// new frame, and beside it the time of one search pass over the sixteen slots with no meter.
//
//   build/bench/recovery/bench_recovery [OUTAGES] [OUTAGE_SECONDS]

#include "live/livepoll.h"
#include "serial/linkthread.h"
#include "serial/serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

QStringList slotsWithMeterLast(const QTemporaryDir& dir, const QString& meter) {
    QStringList devices;
    for (int n = 1; n < 16; ++n)
        devices << dir.filePath(QStringLiteral("empty%1").arg(n));
    devices << meter;
    return devices;
}

serial::BackendFactory backend(const QStringList& devices) {
    return [devices] {
        auto port = std::make_unique<serial::SerialPort>(serial::PortCatalog(devices, false));
        auto clock = std::make_unique<serial::RealClock>(port.get());
        return serial::Backend{std::move(port), std::move(clock)};
    };
}

bool startSim(QProcess& sim, const QString& link) {
    sim.start(QStringLiteral(QR512_SIM_PATH), {QStringLiteral("--link"), link});
    // The path is printed once the link is made: from then on the meter is back.
    return sim.waitForStarted(5000) && sim.waitForReadyRead(5000);
}

// Runs the event loop until `done` or the time is up; false on time-out.
bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
}

// One search pass over sixteen slots that hold no device, on the link thread.
double emptyPassSeconds(const QTemporaryDir& dir) {
    serial::LinkThread thread(backend(slotsWithMeterLast(dir, dir.filePath("absent"))));
    int statuses = 0;
    QObject::connect(&thread, &serial::LinkThread::statusText, &thread, [&](const QString& text) {
        statuses += text == QLatin1String("Connecting...");
    });
    QElapsedTimer timer;
    timer.start();
    thread.start();
    waitFor([] { return false; }, 3000);
    thread.stop();
    const double passes = statuses / 16.0;
    return passes > 0 ? timer.elapsed() / 1000.0 / passes : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int outages = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const double outageSeconds = argc > 2 ? std::max(0.1, atof(argv[2])) : 2.0;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("meter"));

    QProcess sim;
    if (!startSim(sim, link)) {
        std::fprintf(stderr, "bench_recovery: cannot start %s\n", QR512_SIM_PATH);
        return 1;
    }
    serial::LinkThread thread(backend(slotsWithMeterLast(dir, link)));
    live::LiveState state;
    live::attachLivePoll(thread, state);
    thread.start();
    if (!waitFor([&] { return state.frames() > 0; }, 20000)) {
        std::fprintf(stderr, "bench_recovery: no first frame\n");
        return 1;
    }
    std::printf("outage  back-to-frame\n");
    double worst = 0;
    double sum = 0;
    for (int i = 1; i <= outages; ++i) {
        sim.terminate();
        sim.waitForFinished(5000);
        QElapsedTimer pause;
        pause.start();
        waitFor([] { return false; }, int(outageSeconds * 1000));
        if (!startSim(sim, link)) {
            std::fprintf(stderr, "bench_recovery: cannot restart the meter\n");
            return 1;
        }
        QElapsedTimer back;
        back.start();
        const quint64 before = state.frames();
        if (!waitFor([&] { return state.frames() > before; }, 30000)) {
            std::fprintf(stderr, "bench_recovery: no frame 30 s after the meter returned\n");
            return 1;
        }
        const double seconds = back.nsecsElapsed() / 1e9;
        worst = std::max(worst, seconds);
        sum += seconds;
        std::printf("%6d  %10.3f s\n", i, seconds);
    }
    thread.stop();
    sim.terminate();
    sim.waitForFinished(5000);
    std::printf("mean %.3f s, worst %.3f s (goal: 1.0 s)\n", sum / outages, worst);
    std::printf("one search pass over 16 empty slots: %.3f s\n", emptyPassSeconds(dir));
    return 0;
}
