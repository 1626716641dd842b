#pragma once

#include "recording/outputfile.h"

#include <algorithm>
#include <cerrno>
#include <memory>

// Writes as far as the disk it shares with the other files has room, then fails as a full one;
// with `syncFails`, its way to the platter fails as a broken disk's does.
class DiskFile : public recording::OutputFile {
public:
    DiskFile(const QString& path, std::shared_ptr<qint64> room, bool syncFails = false)
        : OutputFile(path)
        , m_room(std::move(room))
        , m_syncFails(syncFails) {}

protected:
    qint64 writeSome(int fd, const char* data, qint64 size) override {
        if (*m_room <= 0) {
            errno = ENOSPC;
            return -1;
        }
        const qint64 n = OutputFile::writeSome(fd, data, std::min(size, *m_room));
        *m_room -= std::max<qint64>(n, 0);
        return n;
    }
    int syncData(int fd) override {
        if (!m_syncFails)
            return OutputFile::syncData(fd);
        errno = EIO;
        return -1;
    }

private:
    std::shared_ptr<qint64> m_room;
    bool m_syncFails;
};
