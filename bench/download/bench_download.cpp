// A full memory download against qr512-sim on a pseudo-terminal, paced at 38400 baud: the time
// on the wire, the whole operation (fresh count, "G", reception, decoding, save, plot load)
// and their ratio, and the part after the last byte. Prints figures only.
//
//   bench_download [RECORDS] [--pace none]     (RECORDS 1..16800, default 16800)

#include "live/livepoll.h"
#include "memory/memorydownload.h"
#include "memory/memoryrecords.h"
#include "plot/plotdata.h"
#include "serial/linkthread.h"
#include "serial/meterprofile.h"
#include "serial/portcatalog.h"
#include "serial/serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <future>
#include <vector>

namespace {

struct Times {
    double request = 0;       // fresh count
    double receptionTime = 0; // "G" to the last byte
    memory::Reception reception;
};

struct After {
    double decode = 0;
    double save = 0;
    double plot = 0;
    double sum() const { return decode + save + plot; }
};

double seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int records = args.size() > 1 && args.at(1).toInt() > 0
                            ? std::min(args.at(1).toInt(), serial::profile::kMemoryCapacity)
                            : serial::profile::kMemoryCapacity;
    const QString pace =
        args.contains(QStringLiteral("none")) ? QStringLiteral("none") : QStringLiteral("wire");
    QTemporaryDir dir;
    QProcess sim;
    sim.start(QStringLiteral(QR512_SIM_BINARY),
              {"--records", QString::number(records), "--pace", pace});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "qr512-sim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    serial::LinkThread link([device] {
        auto port = std::make_unique<serial::SerialPort>(serial::PortCatalog({device}, false));
        auto clock = std::make_unique<serial::RealClock>(port.get());
        return serial::Backend{std::move(port), std::move(clock)};
    });
    live::LiveState state;
    live::attachLivePoll(link, state);
    QEventLoop firstFrame;
    QObject::connect(&state, &live::LiveState::frameDecoded, &firstFrame, &QEventLoop::quit);
    QTimer::singleShot(10000, &firstFrame, &QEventLoop::quit);
    link.start();
    firstFrame.exec();
    if (!state.hasFrame()) {
        std::fprintf(stderr, "no frame from %s\n", qPrintable(device));
        return 1;
    }
    link.setPolling(false);

    // The stages of memory::downloadMemory, timed one by one.
    QElapsedTimer total;
    total.start();
    std::promise<Times> promise;
    std::future<Times> future = promise.get_future();
    const QString directory = dir.path();
    const QChar letter = state.typeLetter();
    const int channels = state.channelCount();
    const live::TempUnit unit = state.displayUnit();
    link.post([&](serial::LinkSession& session) {
        Times t;
        QElapsedTimer stage;
        stage.start();
        const int count = memory::readMemoryCount(session.link).value_or(0);
        t.request = seconds(stage);
        stage.restart();
        t.reception = memory::receiveRecords(session.link, count, {});
        t.receptionTime = seconds(stage);
        promise.set_value(t);
    });
    while (future.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        QCoreApplication::processEvents();
    const Times t = future.get();
    const int received = t.reception.records();

    // Decoding, save and plot load: the first run belongs to the whole operation; more runs
    // show how much of it the machine's load adds.
    constexpr int kRuns = 7;
    std::vector<After> runs;
    QString file;
    std::size_t plotted = 0;
    double whole = 0;
    for (int run = 0; run < kRuns; ++run) {
        After a;
        QElapsedTimer stage;
        stage.start();
        const auto rows = memory::decodeRecords(t.reception.bytes, received, letter);
        a.decode = seconds(stage);
        stage.restart();
        memory::SaveRequest save;
        save.directory = directory;
        file = memory::saveMemory(rows, channels, unit, save).memoryFile;
        a.save = seconds(stage);
        stage.restart();
        plotted = std::size_t(plot::loadPlotData(file, live::TempUnit::Celsius).data.rowsRead());
        a.plot = seconds(stage);
        if (run == 0)
            whole = seconds(total);
        runs.push_back(a);
    }
    link.stop();
    sim.terminate();
    sim.waitForFinished();
    const After first = runs.front();
    std::sort(runs.begin(), runs.end(),
              [](const After& x, const After& y) { return x.sum() < y.sum(); });
    const After best = runs.front();
    const After median = runs[runs.size() / 2];

    const double bytes = double(records) * memory::kRecordLength;
    const double wire = bytes * 10.0 / serial::profile::kBaudRate;
    std::printf("records            %d received, %zu plotted (pace %s)\n", received, plotted,
                qPrintable(pace));
    std::printf("wire time          %.3f s (%.0f bytes at 38400 baud, 10 bits each)\n", wire,
                bytes);
    std::printf("fresh count        %.3f s\n", t.request);
    std::printf("reception          %.3f s\n", t.receptionTime);
    std::printf("total              %.3f s (target <= %.3f s)\n", whole, 1.03 * wire + 0.2);
    std::printf("ratio              %.4f of the wire time\n", whole / wire);
    const auto line = [](const char* name, const After& a) {
        std::printf("%-18s decode %.1f ms, save %.1f ms, plot load %.1f ms: %.1f ms "
                    "(target <= 100 ms)\n",
                    name, a.decode * 1e3, a.save * 1e3, a.plot * 1e3, a.sum() * 1e3);
    };
    line("after reception", first);
    line("best of 7", best);
    line("median of 7", median);
    return 0;
}
