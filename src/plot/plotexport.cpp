#include "plot/plotexport.h"

#include "plot/plotpainter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace plot {

namespace {

constexpr int kDpi = 96;

// The painters report failure only through their device; check writability first so the
// message can say why.
bool writable(const QString& path, QString* error) {
    QFile file(path);
    const bool existed = file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("Cannot write %1: %2.")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    file.close();
    if (!existed)
        file.remove();
    return true;
}

} // namespace

std::optional<ImageFormat> imageFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return ImageFormat::Png;
    if (suffix == QLatin1String("svg"))
        return ImageFormat::Svg;
    if (suffix == QLatin1String("pdf"))
        return ImageFormat::Pdf;
    return std::nullopt;
}

bool exportPlot(const PlotData& data, const PlotView& view, QSize size, const QString& path,
                QString* error) {
    const std::optional<ImageFormat> format = imageFormatOf(path);
    if (!format) {
        *error = QStringLiteral("%1: the name must end in .png, .svg or .pdf.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (!writable(path, error))
        return false;
    PlotPainter plot(data);
    const auto paintOn = [&](QPaintDevice& device) {
        QPainter painter;
        if (!painter.begin(&device))
            return false;
        plot.paint(painter, size, view);
        return painter.end();
    };
    bool ok = true;
    switch (*format) {
    case ImageFormat::Png: {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(int(kDpi / 0.0254));
        image.setDotsPerMeterY(int(kDpi / 0.0254));
        QSaveFile file(path);
        ok = paintOn(image) && file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") &&
             file.commit();
        break;
    }
    case ImageFormat::Svg: {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kDpi);
        svg.setTitle(QFileInfo(data.fileName).fileName());
        ok = paintOn(svg);
        break;
    }
    case ImageFormat::Pdf: {
        QPdfWriter pdf(path);
        pdf.setResolution(kDpi);
        pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(size) * 72.0 / kDpi, QPageSize::Point),
                                      QPageLayout::Portrait, QMarginsF()));
        pdf.setTitle(QFileInfo(data.fileName).fileName());
        ok = paintOn(pdf);
        break;
    }
    }
    if (!ok) {
        *error = QStringLiteral("Cannot write the image %1.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

} // namespace plot
