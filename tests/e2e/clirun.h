#pragma once

#include <QProcess>
#include <QSignalSpy>

namespace testsupport {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs qr512 in `dir`; this thread's event loop keeps running meanwhile (a meter served from
// this process answers).
inline Run runQr512(const QStringList& args, const QString& dir = {}) {
    QProcess p;
    p.setWorkingDirectory(dir);
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(QStringLiteral(QR512_BINARY), args);
    if (!finished.wait(120000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace testsupport
