#pragma once

#include "sim/virtualmeter.h"

#include <QString>
#include <QThread>

#include <memory>

namespace sim {
class PtyHost;
}

namespace session {

// The virtual meter of --simulate: a VirtualMeter behind a pseudo-terminal, answering on its
// own thread so that it keeps real time while the window and the link thread are busy.
class Simulation {
public:
    explicit Simulation(sim::MeterConfig config = demoConfig(), sim::Faults faults = {});

    // What --simulate starts with: a meter whose memory holds 600 records (a download of
    // about 3 s), so that "Memory" has something to show.
    static sim::MeterConfig demoConfig() {
        sim::MeterConfig config;
        config.storedRecords = 600;
        return config;
    }
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Opens the pseudo-terminal; false (with the reason in *error) when the system has none.
    bool start(QString* error = nullptr);
    // The device the program opens, for example /dev/pts/4; empty before start.
    QString devicePath() const { return m_devicePath; }

private:
    QThread m_thread;
    std::unique_ptr<sim::VirtualMeter> m_meter;
    sim::PtyHost* m_host = nullptr; // lives on m_thread, deleted when it finishes
    QString m_devicePath;
};

} // namespace session
