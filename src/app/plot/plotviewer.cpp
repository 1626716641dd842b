#include "app/plot/plotviewer.h"

#include "app/plot/plotwindow.h"
#include "app/window/controlpanel.h"

#include <QDir>

namespace app {

PlotViewer::PlotViewer(base::Platform& platform, std::function<live::TempUnit()> displayUnit,
                       QObject* parent)
    : QObject(parent)
    , m_platform(platform)
    , m_displayUnit(std::move(displayUnit)) {}

PlotViewer::~PlotViewer() {
    delete m_window.data();
}

bool PlotViewer::plotShown() const {
    return !m_window.isNull();
}

PlotWindow* PlotViewer::window() const {
    return m_window.data();
}

bool PlotViewer::open(const QString& path) {
    plot::PlotLoad load = plot::loadPlotData(path, m_displayUnit());
    if (!load.ok()) {
        m_platform.message(load.error, base::Platform::Icon::Warning);
        return false;
    }
    m_data = std::make_shared<const plot::PlotData>(std::move(load.data));
    if (m_window) {
        // Not through close(): the closed() signal must not report PlotShown false in between.
        m_window->disconnect(this);
        delete m_window.data();
    }
    m_window = new PlotWindow(m_data, m_platform);
    connect(m_window, &PlotWindow::closed, this, [this] {
        // The window deletes itself later; it is no longer shown from now on.
        m_window = nullptr;
        emit plotShownChanged(false);
    });
    m_window->show();
    m_window->activateWindow();
    emit plotShownChanged(true);
    if (!load.warning.isEmpty())
        m_platform.message(load.warning, base::Platform::Icon::Warning);
    return true;
}

void PlotViewer::openKey(bool recordingRuns) {
    if (recordingRuns) {
        m_platform.message(QStringLiteral("Error! Recording mode !"));
        return;
    }
    if (const QString path = base::chooseAndOpenInEditor(m_platform); !path.isEmpty())
        open(path);
}

void attachOpenKey(ControlPanel& window, PlotViewer& viewer, std::function<bool()> recordingRuns) {
    window.setToolbarHandler(
        QStringLiteral("Open"), [&viewer, recordingRuns] { viewer.openKey(recordingRuns()); });
}

} // namespace app
