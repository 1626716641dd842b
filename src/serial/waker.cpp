#include "serial/waker.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace serial {

Waker::Waker() {
#ifdef Q_OS_LINUX
    m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
#endif
}

Waker::~Waker() {
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void Waker::wake() const {
#ifdef Q_OS_LINUX
    const std::uint64_t one = 1;
    // Only a full counter (2^64 - 2 wake-ups nobody cleared) refuses: it is readable already.
    while (m_fd >= 0 && ::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
#endif
}

void Waker::clear() const {
#ifdef Q_OS_LINUX
    std::uint64_t count = 0;
    while (m_fd >= 0 && ::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
#endif
}

} // namespace serial
