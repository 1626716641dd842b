#include "recording/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recording {

namespace {

const QString kLinkRefusal =
    QStringLiteral("it is a symbolic link; give the name of the file itself");
const QString kFifoRefusal = QStringLiteral("it is a FIFO, not a file");

// Nothing for a regular file; otherwise what it is.
std::optional<QString> kindRefusal(mode_t mode) {
    if (S_ISREG(mode))
        return std::nullopt;
    if (S_ISLNK(mode))
        return kLinkRefusal;
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return kFifoRefusal;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    return QStringLiteral("it is not a plain file");
}

} // namespace

QString systemErrorText(int error) {
    // strerror gives "Unknown error N" only for numbers the system does not know; a zero errno
    // would mean a caller forgot to set it, which says nothing to the user either.
    return QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO));
}

std::optional<QString> unsafeTarget(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("no file name");
    // Said before any work (a download takes 83 s), not when the file is written.
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    if (name.size() > NAME_MAX)
        return QStringLiteral("the name is longer than %1 bytes").arg(NAME_MAX);
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<QString>(systemErrorText(errno));
    return kindRefusal(st.st_mode);
}

OutputFile::OutputFile(QString path)
    : m_path(std::move(path)) {}

OutputFile::~OutputFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OutputFile::fail() {
    m_error = systemErrorText(errno);
    return false;
}

bool OutputFile::open(bool append) {
    if (m_fd >= 0)
        ::close(m_fd);
    // Never through a link, and never stuck on a FIFO without a reader: only a regular file is
    // kept open (checked on the open descriptor, so nothing can be swapped in between).
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (append ? O_APPEND : O_TRUNC);
    m_fd = ::open(QFile::encodeName(m_path).constData(), flags, 0666);
    if (m_fd < 0) {
        if (errno == ELOOP)
            m_error = kLinkRefusal;
        else if (errno == ENXIO)
            m_error = kFifoRefusal;
        else
            fail();
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return fail();
    if (const std::optional<QString> refusal = kindRefusal(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        m_error = *refusal;
        return false;
    }
    const int status = ::fcntl(m_fd, F_GETFL);
    if (status < 0 || ::fcntl(m_fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        return fail();
    return true;
}

bool OutputFile::write(QByteArrayView bytes) {
    if (m_fd < 0) {
        errno = EBADF;
        return fail();
    }
    const char* at = bytes.data();
    qint64 left = bytes.size();
    while (left > 0) {
        const qint64 n = writeSome(m_fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC; // a write that takes nothing and names no reason
            return fail();
        }
        at += n;
        left -= n;
    }
    return true;
}

bool OutputFile::truncate(qint64 size) {
    if (m_fd < 0) {
        errno = EBADF;
        return fail();
    }
    if (::ftruncate(m_fd, off_t(size)) != 0 || ::lseek(m_fd, off_t(size), SEEK_SET) < 0)
        return fail();
    return true;
}

bool OutputFile::sync() {
    if (m_fd < 0) {
        errno = EBADF;
        return fail();
    }
    return syncData(m_fd) == 0 || fail();
}

bool OutputFile::close() {
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    // Closed even when it fails (retrying a close may close someone else's descriptor).
    return ::close(fd) == 0 || fail();
}

qint64 OutputFile::writeSome(int fd, const char* data, qint64 size) {
    return qint64(::write(fd, data, std::size_t(size)));
}

int OutputFile::syncData(int fd) {
    return ::fdatasync(fd);
}

QString freeFileName(const QString& folder, const QString& stem, const QString& suffix) {
    const QDir dir(folder);
    QString path = dir.filePath(stem + u'.' + suffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1-%2.%3").arg(stem).arg(n).arg(suffix));
    return path;
}

} // namespace recording
