#include "app/plot/plotwindow.h"

#include "app/plot/plotcanvas.h"
#include "app/plot/rangepanel.h"
#include "app/window/panelkeys.h"
#include "base/numbers.h"
#include "dataout/csvexport.h"
#include "plot/plotexport.h"
#include "plot/rangecheck.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

namespace app {

namespace {

struct Key {
    const char* key;
    const char* text;
    const char* tip;
    QKeySequence::StandardKey shortcut;
    const char* ownShortcut;
};

constexpr Key kKeys[] = {
    {"Range", "Range", "Records and values shown", QKeySequence::UnknownKey, "Ctrl+R"},
    {"Fit", "Fit", "Fit the values to the data shown", QKeySequence::UnknownKey, "F"},
    {"TimeAxis", "Time axis", "Space the records by their date and time, so that pauses show",
     QKeySequence::UnknownKey, "T"},
    {"Print", "Print", "Print the plot", QKeySequence::Print, nullptr},
    {"SaveImage", "Save image", "Save the plot as PNG, SVG or PDF", QKeySequence::Save, nullptr},
    {"ExportCsv", "Export CSV\u2026", "Save the readings as a CSV file for a spreadsheet",
     QKeySequence::UnknownKey, "Ctrl+E"},
};

} // namespace

PlotWindow::PlotWindow(std::shared_ptr<const plot::PlotData> plotData, base::Platform& platform,
                       QWidget* parent)
    : QMainWindow(parent)
    , m_data(std::move(plotData))
    , m_platform(platform) {
    setObjectName(QStringLiteral("Plot"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the program, plot windows or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("%1 - Plot").arg(QFileInfo(m_data->fileName).fileName()));

    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const Key& key : kKeys) {
        QAction* action = m_toolbar->addAction(QString::fromUtf8(key.text));
        action->setObjectName(QString::fromLatin1(key.key));
        const QKeySequence shortcut = key.ownShortcut
                                          ? QKeySequence(QString::fromLatin1(key.ownShortcut))
                                          : QKeySequence(key.shortcut);
        action->setShortcut(shortcut);
        action->setToolTip(QStringLiteral("%1 (%2)").arg(
            QString::fromLatin1(key.tip), shortcut.toString(QKeySequence::NativeText)));
    }
    // Reachable by Tab as well as by their shortcuts.
    for (QAction* action : m_toolbar->actions())
        m_toolbar->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
    connect(toolbarAction(QStringLiteral("Range")), &QAction::triggered, this,
            &PlotWindow::rangeKey);
    connect(toolbarAction(QStringLiteral("Print")), &QAction::triggered, this,
            &PlotWindow::printKey);
    connect(toolbarAction(QStringLiteral("SaveImage")), &QAction::triggered, this,
            &PlotWindow::saveImageKey);
    connect(toolbarAction(QStringLiteral("Fit")), &QAction::triggered, this, &PlotWindow::fitKey);
    toolbarAction(QStringLiteral("TimeAxis"))->setCheckable(true);
    connect(toolbarAction(QStringLiteral("TimeAxis")), &QAction::triggered, this,
            &PlotWindow::timeAxisKey);
    connect(toolbarAction(QStringLiteral("ExportCsv")), &QAction::triggered, this,
            &PlotWindow::exportCsvKey);

    m_canvas = new PlotCanvas(m_data, this);
    setCentralWidget(m_canvas);
    m_range = new RangePanel(m_canvas);
    PanelKeys::attach(m_range);
    connect(m_range, &RangePanel::accepted, this, &PlotWindow::applyRange);
    connect(m_range, &RangePanel::fitRequested, this, &PlotWindow::fitRange);
    connect(m_range, &RangePanel::dismissed, m_range, &RangePanel::close);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LblRecord"));
    statusBar()->addWidget(m_status, 1);
    connect(m_canvas, &PlotCanvas::hoverTextChanged, m_status, &QLabel::setText);

    // Smallest outer size 1800 × 3000 twips; the toolbar and status bar come on top.
    setMinimumSize(plot::kMinimumWindowWidth, plot::kMinimumWindowHeight);
    resize(900, 600);
    m_canvas->setFocus();
}

QAction* PlotWindow::toolbarAction(const QString& key) const {
    return m_toolbar->findChild<QAction*>(key);
}

void PlotWindow::setPrinterChooser(std::function<bool(QPrinter&)> chooser) {
    m_choosePrinter = std::move(chooser);
}

void PlotWindow::rangeKey() {
    if (m_range->isVisible()) {
        m_range->close();
        return;
    }
    m_range->move(8, 8);
    m_range->open(m_canvas->view());
}

void PlotWindow::applyRange() {
    const std::optional<plot::PlotView> view =
        plot::viewFromTexts(m_range->lowText(), m_range->highText(), m_range->firstText(),
                            m_range->lastText(), *m_data);
    if (!view) {
        m_platform.message(QStringLiteral("Invalid,try again!"));
        return;
    }
    m_range->close();
    plot::PlotView shown = *view;
    shown.axis = m_canvas->view().axis;
    m_canvas->setView(shown);
}

// CmdFit: the values of the records typed into the panel, applied as OK applies them.
void PlotWindow::fitRange() {
    const double first = base::leadingNumber(m_range->firstText());
    const double last = base::leadingNumber(m_range->lastText());
    if (!plot::recordRangeAccepted(first, last, *m_data)) {
        m_platform.message(QStringLiteral("Invalid,try again!"));
        return;
    }
    const auto range = plot::fittedRange(*m_data, qint64(first), qint64(last));
    if (!range) {
        m_platform.message(QStringLiteral("Records %1 to %2 hold no values to fit (only OL or "
                                          "-OL).")
                               .arg(qint64(first))
                               .arg(qint64(last)));
        return;
    }
    m_range->setValues(range->first, range->second);
    applyRange();
}

void PlotWindow::fitKey() {
    if (!m_canvas->fitValues())
        m_status->setText(QStringLiteral("The records shown hold no values to fit."));
}

void PlotWindow::timeAxisKey() {
    QAction* action = toolbarAction(QStringLiteral("TimeAxis"));
    const bool time = m_canvas->view().axis != plot::XAxis::Time;
    if (!m_canvas->setAxis(time ? plot::XAxis::Time : plot::XAxis::Records)) {
        m_status->setText(
            QStringLiteral("The records carry no two different date-times to space them by."));
        action->setChecked(false);
        return;
    }
    action->setChecked(time);
}

void PlotWindow::exportCsvKey() {
    const QFileInfo source(m_data->fileName);
    QString path = m_platform.chooseSaveFile(
        QStringLiteral("CSV file (*.csv)"),
        source.dir().filePath(source.completeBaseName() + QStringLiteral(".csv")));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    // In the unit the plot shows.
    QString error;
    QString warning;
    if (!dataout::exportCsvFile(m_data->fileName, m_data->unit, path, &error, &warning)) {
        m_platform.message(error, base::Platform::Icon::Warning);
        return;
    }
    if (!warning.isEmpty())
        m_platform.message(warning, base::Platform::Icon::Warning);
    m_status->setText(QStringLiteral("Exported to %1").arg(QDir::toNativeSeparators(path)));
}

void PlotWindow::printKey() {
    m_range->close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    printer.setPageOrientation(m_canvas->width() > m_canvas->height() ? QPageLayout::Landscape
                                                                      : QPageLayout::Portrait);
    const bool chosen = m_choosePrinter ? m_choosePrinter(printer) : [&] {
        QPrintDialog dialog(&printer, this);
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!chosen)
        return;
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_platform.message(QStringLiteral("The plot could not be printed."),
                           base::Platform::Icon::Warning);
        return;
    }
    // The canvas as it is on screen, scaled to fit the page.
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSizeF size = m_canvas->size();
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.scale(scale, scale);
    m_canvas->render(painter);
    painter.end();
}

void PlotWindow::saveImageKey() {
    const QFileInfo source(m_data->fileName);
    QString path = m_platform.chooseSaveFile(
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"),
        source.dir().filePath(source.completeBaseName() + QStringLiteral(".png")));
    if (path.isEmpty())
        return;
    if (!plot::imageFormatOf(path))
        path += QStringLiteral(".png");
    QString error;
    if (!plot::exportPlot(*m_data, m_canvas->view(), m_canvas->size(), path, &error))
        m_platform.message(error, base::Platform::Icon::Warning);
}

void PlotWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QMainWindow::closeEvent(event);
}

void PlotWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_range->isVisible()) {
        m_range->close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace app
