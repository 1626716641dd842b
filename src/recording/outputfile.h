#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace recording {

// A file written front to back where every result of the operating system counts: a write
// that is short or fails, a sync, a close. The reason of a failure is the system's own text
// ("No space left on device"), taken from errno where the call failed.
//
// The system calls go through the two virtual functions below, so that a test can stand in
// for a disk that fills up.
class OutputFile {
public:
    explicit OutputFile(QString path);
    virtual ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates the file. `append`: keeps what is there and writes after it.
    bool open(bool append = false);
    bool isOpen() const { return m_fd >= 0; }
    // Every byte or false; after a failure the file may end in part of `bytes`.
    bool write(QByteArrayView bytes);
    // Cuts the file back to `size` bytes and goes on writing there (drops a torn tail).
    bool truncate(qint64 size);
    // Down to the disk (data, not necessarily metadata).
    bool sync();
    // Closes; false when the system reports a late write error.
    bool close();

    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

protected:
    // ::write and ::fdatasync; -1 with errno set on failure.
    virtual qint64 writeSome(int fd, const char* data, qint64 size);
    virtual int syncData(int fd);

private:
    bool fail();

    QString m_path;
    int m_fd = -1;
    QString m_error;
};

// The system's text for an errno value.
QString systemErrorText(int error);

// Why no whole new file may go to `path`, or nothing when it may: only a regular file of its
// own name or a free name is written. A device, a FIFO, a folder or a socket is never replaced
// by a plain file, and a symbolic link is never followed out of the folder the user sees.
std::optional<QString> unsafeTarget(const QString& path);

// "STEM.SUFFIX" in `folder`, or the first of "STEM-2.SUFFIX", "STEM-3.SUFFIX" ... not taken yet:
// a file of the same name is never replaced.
QString freeFileName(const QString& folder, const QString& stem, const QString& suffix);

} // namespace recording
