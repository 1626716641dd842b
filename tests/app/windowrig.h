// The main window against a virtual meter on the link thread in virtual time, with the
// recording and sampling panels attached when a test needs them, and the helpers its tests
// share: typing into whatever has the focus, the commands the meter received, colours.

#pragma once

#include "app/recording/recordingui.h"
#include "app/settings/samplingpanel.h"
#include "app/window/controlpanel.h"
#include "app/window/keyshape.h"
#include "app/window/lcdwidget.h"
#include "recording/recorder.h"
#include "sim/framebuilder.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cmath>
#include <limits>

using app::ControlPanel;
using testsupport::bytes;

namespace windowrig {

// The main window against a virtual meter in one slot (none for slot 0), the link thread in
// virtual time, with a clock the test moves by hand for key hold times.
struct Rig : testsupport::LinkRig {
    explicit Rig(sim::MeterConfig config = {}, int slot = 2)
        : LinkRig(config, {}, slot) {
        panel = std::make_unique<app::ControlPanel>(
            thread, state, platform, [this] { return now; });
    }

    template <typename T = QWidget> T* find(const char* name) const {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    QLabel* statusPanel(int n) const {
        return panel->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(n));
    }
    bool showActive() {
        panel->show();
        panel->activateWindow();
        return QTest::qWaitForWindowActive(panel.get());
    }
    QList<QByteArray> keyCommands() { return commands("I"); }

    testsupport::FakePlatform platform;
    double now = 1000.0;
    std::unique_ptr<app::ControlPanel> panel;
};

// With the recording and sampling panels attached, for the keyboard's way through them.
struct PanelRig : Rig {
    PanelRig() {
        ui = std::make_unique<app::RecordingUi>(*panel, state, platform);
        ui->recorder().setWorkingDirectory(dir.path());
        app::attachSamplingPanel(
            *panel, thread, platform, [this] { return ui->recorder().samplingTime(); },
            [this](int seconds) { ui->recorder().setSamplingTime(seconds); });
    }

    QTemporaryDir dir;
    std::unique_ptr<app::RecordingUi> ui;
};

// Where a key goes: the open list, else the widget with the focus.
inline void type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::activePopupWidget();
    if (target && target->focusWidget())
        target = target->focusWidget();
    if (!target)
        target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, key, modifiers);
}

inline QString focused() {
    const QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}

inline QColor captionColour(QWidget* button) {
    return button->palette().color(QPalette::ButtonText);
}

// The contrast ratio of two colours as legibility guidelines measure it (1 to 21).
inline double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

inline void pressByReader(QWidget* key) {
    QAccessibleActionInterface* actions = accessible(key)->actionInterface();
    QVERIFY(actions);
    actions->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace windowrig
