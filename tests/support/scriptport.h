#pragma once

// A port whose replies the test scripts write by write: exact control over every byte the
// link sees, and a log of every write and read with its (virtual) time.

#include "serial/port.h"

#include <QList>
#include <functional>

class ScriptPort : public serial::Port {
public:
    struct Event {
        double time;
        char kind; // 'w' write, 'r' read
        QByteArray bytes;
    };

    explicit ScriptPort(serial::Clock& clock)
        : m_clock(clock) {}

    // Called for each write; what it returns is received at once.
    std::function<QByteArray(const QByteArray&)> responder;

    bool open(int, QString*) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QByteArray readAll() override {
        QByteArray out;
        out.swap(m_pending);
        events.append({m_clock.now(), 'r', out});
        return out;
    }
    bool write(const QByteArray& bytes) override {
        events.append({m_clock.now(), 'w', bytes});
        if (responder)
            m_pending += responder(bytes);
        return true;
    }
    QString deviceName(int) const override { return QStringLiteral("script"); }

    QList<QByteArray> written() const {
        QList<QByteArray> out;
        for (const Event& e : events)
            if (e.kind == 'w')
                out.append(e.bytes);
        return out;
    }
    int count(const QByteArray& bytes) const { return int(written().count(bytes)); }

    QList<Event> events;

private:
    serial::Clock& m_clock;
    QByteArray m_pending;
    bool m_open = true;
};
