#pragma once

#include "base/platform.h"

#include "live/keycodes.h"
#include "session/exchange.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QSettings;
class QTimer;
class QToolBar;

namespace serial {
class LinkThread;
}
namespace live {
class LiveState;
}

namespace app {

class KeyShape;
class LcdWidget;
class WindowScale;
using Platform = base::Platform;

// The main window: the live LCD, the meter's keys, the toolbar that later features hang their
// commands on, the port list and the status bar. It owns no port: it posts jobs to the link
// thread and redraws from the live state after every decoded frame.
class ControlPanel : public QMainWindow, public session::ExchangeHost {
    Q_OBJECT
public:
    // `now` is monotonic seconds; key hold times are measured with it.
    ControlPanel(serial::LinkThread& link, live::LiveState& live, Platform& platform,
                 std::function<double()> now, QWidget* parent = nullptr);
    ~ControlPanel() override;

    // Window size in logical pixels: the client area of 4575 x 9750 twips.
    static constexpr int kClientWidth = 305;
    static constexpr int kClientHeight = 650;

    // The command behind a toolbar key ("Save", "Open", "RTC", "Memory", "Alarm", "Intv",
    // "Erase"); a key stays disabled until it has one. "PortSel" is the window's own.
    void setToolbarHandler(const QString& key, std::function<void()> handler);
    QAction* toolbarAction(const QString& key) const;
    QToolBar* toolbar() const { return m_toolbar; }

    // Places an in-window panel: it becomes a hidden child of the window at its current
    // position (logical pixels of the client area). Toolbar clicks are refused while a panel
    // named PicRTC, PicAlarm, PicRec or PicSampling is shown.
    void hostPanel(QWidget* panel);

    // An exchange other than the live poll owns the link; keys and toolbar commands wait.
    // Panels take the link through an Exchange made on this window (see exchange.h).
    bool linkBusy() const override { return m_linkBusy; }
    void setLinkBusy(bool busy) override { m_linkBusy = busy; }
    void setToolbarEnabled(bool enabled) override;
    QString title() const override { return windowTitle(); }
    void setTitle(const QString& title) override { setWindowTitle(title); }
    serial::LinkThread& link() const { return m_link; }

    // A notice that waits for the user beside the window, leaving the status panels in sight
    // (a status-bar message would cover all four).
    void showNotice(const QString& text);
    // The meter on COM1 is the built-in virtual one: the title says so.
    void markVirtualMeter();

    // Devices behind COM1..COM16 (index 0 = COM1), shown as tool tips of the port list.
    void setPortDevices(const QStringList& devices);

    // The action's tool tip with its shortcut, as the toolbar shows it: "Save Data (Ctrl+S)".
    static QString toolTipWithShortcut(const QAction* action);

    // View: the window and everything in it at 100, 150 or 200 % (100 is the designed size).
    void setScalePercent(int percent);
    int scalePercent() const;
    // The room the window may take on the screen (tests give one; the screen's otherwise).
    // View offers only the sizes that fit in it.
    void setScreenRoom(std::function<QSize()> room);
    // `wanted`, or the largest size below it whose window fits the screen; 100 at least.
    int largestFittingPercent(int wanted) const;
    // Starts at the size kept in `settings` and keeps each size the user picks there, so a
    // window enlarged for a far-off bench opens enlarged the next day.
    void rememberScale(QSettings& settings);

    // The countdown shown while a key is held: 3, 2, 1, 0, 3, ... over whole seconds held.
    static int holdCountdown(double heldSeconds);

signals:
    // The window has been shown at another size (View, or setScalePercent).
    void scaleChanged(int percent);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct KeyWidgets {
        QPushButton* button = nullptr; // the eight captioned keys
        KeyShape* shape = nullptr;     // light, limit and power keys
    };

    void buildToolbar();
    void buildViewMenu();
    void offerFittingSizes();
    void buildStatusBar();
    void buildKeys();
    void buildPortList();
    void setTabChain();
    void placeKeys();
    bool toolTipEvent(QObject* watched, QEvent* event);
    void onToolbarKey(const QString& key);
    bool panelShown() const;
    void onPortChosen(int index);
    void onFrame();
    void updateReadout();
    void updateKeyVisibility(int channelCount);
    void updateClock();
    bool pictureEvent(live::Key key, QEvent* event);
    void keyDown(live::Key key);
    void keyUp(live::Key key);
    void setKeyFeedback(live::Key key, bool pressed);
    void transmit(const QByteArray& code);

    serial::LinkThread& m_link;
    live::LiveState& m_live;
    Platform& m_platform;
    std::function<double()> m_now;

    QToolBar* m_toolbar = nullptr;
    QHash<QString, QAction*> m_actions;
    QList<QWidget*> m_toolButtons;
    WindowScale* m_scale = nullptr;
    QHash<QString, std::function<void()>> m_handlers;
    QComboBox* m_portList = nullptr;
    QLabel* m_panels[4] = {};
    QTimer* m_clockTimer = nullptr;
    LcdWidget* m_lcd = nullptr;
    KeyShape* m_shapeStart = nullptr;
    QLabel* m_timing = nullptr;
    std::map<live::Key, KeyWidgets> m_keys;
    std::map<live::Key, QList<QWidget*>> m_keyParts; // shown and hidden together
    QList<live::Key> m_keyOrder;                     // as the keypad lists them
    QHash<QObject*, live::Key> m_keyOfWidget;        // every widget a key can be pressed on
    QHash<QObject*, live::Key> m_pictureOfWidget;    // pictures lying on a key: no key of their own

    bool m_linkBusy = false;
    session::Exchange* m_keyExchange = nullptr;
    double m_keyDownTime = 0;
    std::optional<live::Key> m_heldKey; // pressed and not yet released
};

} // namespace app
