#pragma once

// The one way to show a data file as a plot: the toolbar key "Open" and the memory save both
// call PlotViewer::open. It keeps the loaded data and the one plot window, and PlotShown.

#include "base/platform.h"
#include "live/framedecoder.h"
#include "plot/plotdata.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace app {

class ControlPanel;
class PlotWindow;

class PlotViewer : public QObject {
    Q_OBJECT
public:
    // `displayUnit`: the unit the meter displays now; the columns of that unit are drawn.
    PlotViewer(base::Platform& platform, std::function<live::TempUnit()> displayUnit,
               QObject* parent = nullptr);
    ~PlotViewer() override;

    // Loads `path`; then closes the open plot window, if any, and shows a new one. A file that
    // cannot be drawn is refused with a message and changes nothing; one drawn only in part
    // (records missing) is shown with a message saying so. True when a window is shown.
    bool open(const QString& path);

    // The toolbar key "Open": refused while a PC recording runs, else the file chooser, the
    // text editor and open().
    void openKey(bool recordingRuns);

    // PlotShown: a plot window is open.
    bool plotShown() const;
    PlotWindow* window() const;

signals:
    void plotShownChanged(bool shown);

private:
    base::Platform& m_platform;
    std::function<live::TempUnit()> m_displayUnit;
    std::shared_ptr<const plot::PlotData> m_data;
    QPointer<PlotWindow> m_window;
};

// Hangs "Open" of the main window on `viewer`; `recordingRuns` tells whether a PC recording
// is in progress.
void attachOpenKey(ControlPanel& window, PlotViewer& viewer, std::function<bool()> recordingRuns);

} // namespace app
