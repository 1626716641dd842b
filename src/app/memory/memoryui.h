#pragma once

// The meter's memory in the main window: the toolbar keys "Memory" (download, save, editor and
// plot) and "Erase", and the Cancel button that a running download puts into the status bar
// (Escape does the same).

#include "base/platform.h"
#include "memory/memorydownload.h"
#include "session/exchange.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QShortcut;

namespace live {
class LiveState;
}

namespace app {

class ControlPanel;
using Platform = base::Platform;

class MemoryUi : public QObject {
    Q_OBJECT
public:
    struct Host {
        std::function<QString()> directory; // where the working file lies
        // Shows a saved memory file in the plot window; may be empty.
        std::function<void(const QString& path)> showPlot;
    };

    MemoryUi(ControlPanel& window, live::LiveState& live, Platform& platform, Host host,
             QObject* parent = nullptr);

    // The toolbar key "Memory".
    void download();
    // The toolbar key "Erase".
    void erase();
    // The Cancel button and Escape: the download ends at once, nothing is saved.
    void cancelDownload();

    QPushButton* cancelButton() const { return m_cancel; }

signals:
    // A download ended, whatever the way (after its messages, editor and plot).
    void downloadEnded();

private:
    void showCancel(bool shown);
    ControlPanel& m_window;
    live::LiveState& m_live;
    Platform& m_platform;
    Host m_host;
    session::Exchange* m_download = nullptr;
    session::Exchange* m_erase = nullptr;
    QPushButton* m_cancel = nullptr;
    QShortcut* m_escape = nullptr;
    QPointer<QWidget> m_focusBefore;
    QLabel* m_connection = nullptr; // the status panel Cancel stands in for
};

// Builds the keys "Memory" and "Erase" into the window.
MemoryUi* attachMemory(ControlPanel& window, live::LiveState& live, Platform& platform,
                       std::function<QString()> directory,
                       std::function<void(const QString& path)> showPlot);

} // namespace app
