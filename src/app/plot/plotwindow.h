#pragma once

// The plot window "Plot": a data file drawn as one curve per channel over the record number,
// with the toolbar keys "Range" (the panel PicRange), "Fit" (F), "Time axis" (T), "Print",
// "Save image" and "Export CSV…".

#include "base/platform.h"
#include "plot/plotdata.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QLabel;
class QPrinter;
class QToolBar;

namespace app {

class PlotCanvas;
class RangePanel;

class PlotWindow : public QMainWindow {
    Q_OBJECT
public:
    // Opens on the whole file over the type's range. Deletes itself when closed.
    PlotWindow(std::shared_ptr<const plot::PlotData> plotData, base::Platform& platform,
               QWidget* parent = nullptr);

    PlotCanvas* canvas() const { return m_canvas; }
    RangePanel* rangePanel() const { return m_range; }
    QAction* toolbarAction(const QString& key) const;

    // Asks for the printer; the default shows the print dialog. Tests set up a PDF printer.
    void setPrinterChooser(std::function<bool(QPrinter&)> chooser);

    // The toolbar keys.
    void rangeKey();
    void printKey();
    void saveImageKey();
    void fitKey();
    void timeAxisKey();
    void exportCsvKey();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyRange();
    void fitRange();

    std::shared_ptr<const plot::PlotData> m_data;
    base::Platform& m_platform;
    PlotCanvas* m_canvas = nullptr;
    RangePanel* m_range = nullptr;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_status = nullptr;
    std::function<bool(QPrinter&)> m_choosePrinter;
};

} // namespace app
