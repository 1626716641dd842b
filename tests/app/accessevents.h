#pragma once

// The accessibility events the window raises, caught where a screen reader's bridge would get
// them. Qt passes events on only while a screen reader is attached, which the platform (here
// offscreen, with none) says: the catcher says so itself.

#include <QAccessible>
#include <QGuiApplication>
#include <QList>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <utility>

class AccessEvents {
public:
    AccessEvents() {
        log().clear();
        m_previous = QAccessible::installUpdateHandler(&record);
        platform()->setActive(true);
    }
    ~AccessEvents() {
        platform()->setActive(false);
        QAccessible::installUpdateHandler(m_previous);
    }
    AccessEvents(const AccessEvents&) = delete;
    AccessEvents& operator=(const AccessEvents&) = delete;

    // Events of `type` raised on `object` (on anything when null).
    static int count(QAccessible::Event type, const QObject* object = nullptr) {
        int n = 0;
        for (const auto& [seenType, seenObject] : log())
            n += seenType == type && (!object || seenObject == object);
        return n;
    }

private:
    static QPlatformAccessibility* platform() {
        return QGuiApplicationPrivate::platformIntegration()->accessibility();
    }
    static QList<std::pair<QAccessible::Event, const QObject*>>& log() {
        static QList<std::pair<QAccessible::Event, const QObject*>> seen;
        return seen;
    }
    static void record(QAccessibleEvent* event) { log().append({event->type(), event->object()}); }

    QAccessible::UpdateHandler m_previous = nullptr;
};
