#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

namespace recording {

// Shared with the memory save, which writes its file under the same name.
constexpr char kWorkFileName[] = "QR512.temp";

// Marks a file that a running recording is filling. Any other writer of the working file (the
// memory save) takes a guard of its own, or asks isHeld() first, and must not replace a held
// file. Held within this process (keyed by the absolute path) and, through a lock file beside
// it, against other instances of the program working in the same folder.
//
// A lock left behind by a holder that died (killed, crashed, power cut) marks rows that never
// reached their final file. A guard takes such a lock over only after moving those rows aside
// (keepUnfinishedWork); when they cannot be moved, the lock stays as it is and the guard is not
// acquired, so nothing can replace them later.
class WorkFileGuard {
public:
    explicit WorkFileGuard(const QString& path);
    ~WorkFileGuard();
    WorkFileGuard(const WorkFileGuard&) = delete;
    WorkFileGuard& operator=(const WorkFileGuard&) = delete;

    // False when another process (or another guard here) already holds the file, or when an
    // earlier holder's rows could not be moved aside (see refusal()).
    bool acquired() const { return m_acquired; }
    // The process that holds the file when acquired() is false (0 when unknown or dead).
    qint64 holderPid() const { return m_holderPid; }
    // Why the guard was not acquired when no living process holds the file (a folder that
    // cannot be written, unfinished rows that cannot be moved); empty otherwise.
    QString refusal() const { return m_refusal; }
    // Where that holder's rows went (empty when it had written none).
    QString keptUnfinished() const { return m_keptUnfinished; }
    // What the user hears of a dead holder taken over (empty when there was none worth a
    // word): where its rows went, and the final file it was cut short writing
    // ("yyyymmddhhnnss.txt.part"), which is left as it was.
    QString takeOverNotice() const;

    // Lets go of the file but leaves the lock behind as the mark of rows that did not reach
    // their final file: once this process has ended, the next guard moves them aside.
    void leaveMarked();

    // True while a living holder (here or in another process) has the file. Never takes a
    // lock over, so a dead holder's rows stay marked for the next guard to move aside.
    static bool isHeld(const QString& path);

private:
    // The lock file, unless a living holder has it or it cannot be had (then holderPid() or
    // refusal() says so).
    bool takeLock();
    // A dead holder's rows (and final file cut short) out of the way before its lock is taken.
    bool takeOverFromTheDead(const QString& lockPath, qint64 pid);

    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    bool m_acquired = false;
    qint64 m_holderPid = 0;
    QString m_refusal;
    QString m_keptUnfinished;
    QStringList m_cutShort;
};

// Moves a working file that holds rows aside instead of letting them be replaced: renamed to
// "QR512-unfinished-yyyymmddhhnnss.txt" after its last write (a number added if that name is
// taken). A file with no data row (only its header, or nothing) is not worth keeping and is
// left where it is. Returns the new path, or an empty text when there was nothing to keep or
// the rename failed (then `error` says why).
QString keepUnfinishedWork(const QString& workFilePath, QString* error);

} // namespace recording
