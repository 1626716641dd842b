#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>

namespace testsupport {

struct Run {
    int exitCode = -1; // also when it did not end in time
    QString out;
    QString err;
};

// Runs qr512 in `dir` as on a machine without a display (no headless command needs one); this
// thread's event loop keeps running meanwhile (a meter served from this process answers).
inline Run runQr512(const QStringList& args, const QString& dir = {}, int timeoutMs = 120000) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(QStringLiteral(QR512_BINARY), args);
    if (!finished.wait(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// A file's bytes; "<missing>" when it cannot be read.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// qr512-sim with fixed readings on a pseudo-terminal (with a folder, also behind the link
// "meter" there); it can be stopped and started again, and stops with the object.
class SimProcess {
public:
    explicit SimProcess(QStringList args = {}, const QString& linkDir = {})
        : m_args(QStringList{"--fixed"} + args) {
        if (!linkDir.isEmpty())
            m_args << "--link" << QDir(linkDir).filePath("meter");
    }
    ~SimProcess() { stop(); }
    bool start() {
        m_process.start(QStringLiteral(QR512_SIM_BINARY), m_args);
        if (!m_process.waitForStarted(20000))
            return false;
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return false;
        device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return !device.isEmpty();
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
    // What it said on standard error so far ("qr512-sim: silent", ...).
    QByteArray said() {
        m_said += m_process.readAllStandardError();
        return m_said;
    }
    QString device;

private:
    QByteArray m_said;
    QStringList m_args;
    QProcess m_process;
};

} // namespace testsupport
