#include "recording/workfileguard.h"

#include "recording/outputfile.h"
#include "recording/replacingfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace recording {

namespace {

struct GuardRegistry {
    QMutex mutex;
    QSet<QString> held;
};

GuardRegistry& registry() {
    static GuardRegistry instance;
    return instance;
}

QString guardKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

enum class LockOwner { None, Living, Dead };

// Who holds the lock file, read without touching it.
LockOwner lockOwner(const QString& lockPath, qint64* pid) {
    *pid = 0;
    if (!QFileInfo::exists(lockPath))
        return LockOwner::None;
    QLockFile reader(lockPath);
    QString host;
    QString application;
    if (!reader.getLockInfo(pid, &host, &application))
        return LockOwner::Dead; // unreadable: its writer died while making it
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return LockOwner::Living; // a process elsewhere (a shared folder) cannot be checked
    // A lock of this very process that no guard here holds was left as a mark (leaveMarked):
    // its holder is gone as surely as a dead process, though the pid still runs.
    if (*pid == QCoreApplication::applicationPid())
        return LockOwner::Dead;
    if (*pid > 0 && (::kill(pid_t(*pid), 0) == 0 || errno == EPERM))
        return LockOwner::Living;
    return LockOwner::Dead;
}

// A working file holds rows when it has more than its header and separator lines.
bool holdsRows(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(path); // unreadable: keep it to be safe
    int lines = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(4096);
        if (line.endsWith('\n'))
            ++lines;
        else if (!line.isEmpty())
            return true; // a torn last row is still a row
        if (lines > 2)
            return true;
    }
    return false;
}

} // namespace

WorkFileGuard::WorkFileGuard(const QString& path)
    : m_key(guardKey(path)) {
    GuardRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (r.held.contains(m_key))
        m_holderPid = QCoreApplication::applicationPid();
    else if (takeLock()) {
        m_acquired = true;
        r.held.insert(m_key);
    }
}

bool WorkFileGuard::takeLock() {
    const QString lockPath = m_key + QStringLiteral(".lock");
    qint64 pid = 0;
    const LockOwner owner = lockOwner(lockPath, &pid);
    if (owner == LockOwner::Living) {
        m_holderPid = pid;
        return false;
    }
    if (owner == LockOwner::Dead && !takeOverFromTheDead(lockPath, pid))
        return false;
    m_lock = std::make_unique<QLockFile>(lockPath);
    // A recording holds its file for days: only a dead holder makes the lock stale, never age.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    const bool raced = m_lock->error() == QLockFile::LockFailedError &&
                       lockOwner(lockPath, &pid) == LockOwner::Living;
    m_lock.reset();
    if (raced) {
        m_holderPid = pid;
        return false;
    }
    // Nothing was ever held here (a folder that is gone or read-only): opening the working
    // file reports the exact reason.
    if (owner == LockOwner::None && !QFileInfo::exists(lockPath))
        return true;
    // A stale lock that cannot be removed: the folder cannot be written, and that is what the
    // user needs to hear.
    m_refusal = QStringLiteral("the folder %1 cannot be written")
                    .arg(QDir::toNativeSeparators(QFileInfo(m_key).absolutePath()));
    return false;
}

bool WorkFileGuard::takeOverFromTheDead(const QString& lockPath, qint64 pid) {
    // The rows go aside while the dead holder's lock still marks them: if moving fails, the
    // mark stays and the next attempt tries again.
    QString why;
    m_keptUnfinished = keepUnfinishedWork(m_key, &why);
    if (!why.isEmpty()) {
        m_refusal = QStringLiteral("%1 holds the rows of an earlier recording that did not "
                                   "finish, and they could not be moved aside: %2.")
                        .arg(QString::fromLatin1(kWorkFileName), why);
        return false;
    }
    // Only a recording names files so, and it holds this lock until its final file is under
    // its name: the dead holder was writing these when it died.
    const QDir folder = QFileInfo(m_key).absoluteDir();
    static const QRegularExpression finalPart(QStringLiteral("^\\d{14}\\.txt\\.part$"));
    for (const QString& name : folder.entryList({QStringLiteral("*.txt.part")}, QDir::Files))
        if (finalPart.match(name).hasMatch())
            m_cutShort << QDir::toNativeSeparators(folder.filePath(name));
    // QLockFile calls a lock stale only when its pid has died, never our own.
    if (pid == QCoreApplication::applicationPid())
        QFile::remove(lockPath);
    return true;
}

WorkFileGuard::~WorkFileGuard() {
    if (!m_acquired)
        return;
    GuardRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.held.remove(m_key);
    if (m_lock)
        m_lock->unlock();
}

QString WorkFileGuard::takeOverNotice() const {
    QStringList said;
    if (!m_keptUnfinished.isEmpty())
        said << QStringLiteral("An earlier recording did not finish; its rows are kept in %1.")
                    .arg(QDir::toNativeSeparators(m_keptUnfinished));
    if (!m_cutShort.isEmpty())
        said << QStringLiteral("%1 final file was cut short and is left as it was: %2.")
                    .arg(said.isEmpty() ? QStringLiteral("An earlier recording did not finish; its")
                                        : QStringLiteral("Its"),
                         m_cutShort.join(QStringLiteral(", ")));
    return said.join(u' ');
}

void WorkFileGuard::leaveMarked() {
    if (!m_acquired)
        return;
    GuardRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.held.remove(m_key);
    m_acquired = false;
    if (!m_lock)
        return;
    // QLockFile removes its file when it lets go: a second name keeps the file, with this
    // process's pid that marks the rows, and gives it back its own name afterwards.
    const QByteArray lockName = QFile::encodeName(m_key + QStringLiteral(".lock"));
    const QByteArray keptName = lockName + ".kept";
    ::unlink(keptName.constData());
    const bool kept = ::link(lockName.constData(), keptName.constData()) == 0;
    QByteArray content;
    if (!kept) { // a file system without hard links: the same content, written anew
        QFile file(QString::fromLocal8Bit(lockName));
        if (file.open(QIODevice::ReadOnly))
            content = file.readAll();
    }
    m_lock.reset();
    if (kept)
        ::rename(keptName.constData(), lockName.constData());
    else if (QString lost; !content.isEmpty())
        writeWholeFile(QString::fromLocal8Bit(lockName), content, &lost); // or the mark is gone
}

bool WorkFileGuard::isHeld(const QString& path) {
    const QString key = guardKey(path);
    {
        GuardRegistry& r = registry();
        QMutexLocker lock(&r.mutex);
        if (r.held.contains(key))
            return true;
    }
    qint64 pid = 0;
    return lockOwner(key + QStringLiteral(".lock"), &pid) == LockOwner::Living;
}

QString keepUnfinishedWork(const QString& workFilePath, QString* error) {
    const QFileInfo work(workFilePath);
    if (!work.exists() || !holdsRows(workFilePath))
        return {};
    const QString stem = QStringLiteral("QR512-unfinished-") +
                         work.lastModified().toString(QStringLiteral("yyyyMMddhhmmss"));
    const QString target = freeFileName(work.absolutePath(), stem, QStringLiteral("txt"));
    if (::rename(QFile::encodeName(workFilePath).constData(),
                 QFile::encodeName(target).constData()) != 0) {
        if (error)
            *error = systemErrorText(errno);
        return {};
    }
    return target;
}

} // namespace recording
