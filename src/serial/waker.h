#pragma once

namespace serial {

// Ends a link wait from another thread at once. The link's waits block on this descriptor
// beside the port's, so a Cancel, a job that wants the link or the program's end is noticed
// without the wait waking up now and then to look.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    // Any thread. A wake-up that finds no wait running ends the next one at once.
    void wake() const;
    // The descriptor that turns readable on a wake-up; -1 where the system has none.
    int fd() const { return m_fd; }
    // The link thread, once a wait has ended by a wake-up.
    void clear() const;

private:
    int m_fd = -1;
};

} // namespace serial
