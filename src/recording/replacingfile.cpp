#include "recording/replacingfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace recording {

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// A rename is on disk only once its folder is.
bool syncFolder(const QString& filePath) {
    const int fd = ::open(encoded(QFileInfo(filePath).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

} // namespace

ReplacingFile::ReplacingFile(QString path, Opener open)
    : m_path(std::move(path))
    , m_partPath(m_path + QStringLiteral(".part"))
    , m_open(std::move(open)) {
    if (!m_open)
        m_open = [](const QString& p) { return std::make_unique<OutputFile>(p); };
}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::discard() {
    if (!m_file)
        return;
    m_file->close();
    ::unlink(encoded(m_partPath).constData());
    m_file.reset();
}

bool ReplacingFile::fail(const QString& reason) {
    m_error = reason;
    discard();
    return false;
}

bool ReplacingFile::open() {
    if (const std::optional<QString> refusal = unsafeTarget(m_path))
        return fail(*refusal);
    // A leftover temporary file of the same name is ours to replace, never a link to follow.
    if (const std::optional<QString> refusal = unsafeTarget(m_partPath))
        return fail(QStringLiteral("%1: %2").arg(m_partPath, *refusal));
    m_file = m_open(m_partPath);
    return m_file->open() || fail(m_file->errorString());
}

bool ReplacingFile::write(QByteArrayView bytes) {
    if (!m_file)
        return false;
    return m_file->write(bytes) || fail(m_file->errorString());
}

bool ReplacingFile::commit() {
    if (!m_file)
        return false;
    if (!m_file->sync() || !m_file->close())
        return fail(m_file->errorString());
    // The target may have turned into something else while the content was written.
    if (const std::optional<QString> refusal = unsafeTarget(m_path))
        return fail(*refusal);
    if (::rename(encoded(m_partPath).constData(), encoded(m_path).constData()) != 0)
        return fail(systemErrorText(errno));
    m_file.reset(); // under its name now: nothing left to discard
    if (!syncFolder(m_path)) {
        // The content is complete under its name; only the folder entry may not be on disk.
        m_error = systemErrorText(errno);
        return false;
    }
    return true;
}

bool writeWholeFile(const QString& path, QByteArrayView bytes, QString* error,
                    const ReplacingFile::Opener& open) {
    ReplacingFile file(path, open);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace recording
