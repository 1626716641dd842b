#include "base/signalwatcher.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace base {

namespace {

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_count = 0;
// Set before the handler is installed and only read by it, so it never sees a half-written
// policy.
SignalPolicy g_policy;
std::size_t g_messageLength = 0;

// A failed write has no one to tell in a signal handler.
void writeBytes(int fd, const char* bytes, std::size_t length) {
    [[maybe_unused]] const auto n = ::write(fd, bytes, length);
}

// Async-signal-safe only: a counter, write() and _exit(). errno is kept for the code the
// signal interrupted, which may be about to read it.
void onSignal(int) {
    const int savedErrno = errno;
    g_count = g_count + 1;
    if (g_policy.exitFrom > 0 && g_count >= g_policy.exitFrom) {
        if (g_messageLength > 0)
            writeBytes(STDERR_FILENO, g_policy.exitMessage, g_messageLength);
        ::_exit(g_policy.exitStatus);
    }
    const char byte = 1;
    writeBytes(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool installSignalHandlers(const SignalPolicy& policy) {
    g_policy = policy;
    g_messageLength = policy.exitMessage ? std::strlen(policy.exitMessage) : 0;
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

SignalWatcher::SignalWatcher(std::function<void()> onSignal)
    : m_onSignal(std::move(onSignal))
    , m_notifier(g_pipe[0], QSocketNotifier::Read) {
    QObject::connect(
        &m_notifier, &QSocketNotifier::activated, &m_notifier,
        [this] {
            char byte = 0;
            [[maybe_unused]] const auto n = ::read(g_pipe[0], &byte, 1);
            m_onSignal();
        });
}

} // namespace base
