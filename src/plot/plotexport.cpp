#include "plot/plotexport.h"

#include "plot/plotpainter.h"
#include "recording/replacingfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace plot {

namespace {

constexpr int kDpi = 96;

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
    // Refused before any drawing: a device, a FIFO or a link is never replaced by a picture.
    if (const std::optional<QString> refusal = recording::unsafeTarget(path)) {
        *error =
            QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(path), *refusal);
        return false;
    }
    PlotPainter plot(data);
    const auto paintOn = [&](QPaintDevice& device) {
        QPainter painter;
        if (!painter.begin(&device))
            return false;
        plot.paint(painter, size, view);
        return painter.end();
    };
    // Drawn into memory, then written by the one writer that checks every step down to the
    // disk: the painters' own files report a full disk as success.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly); // memory only; the PDF writer needs it open
    bool ok = true;
    switch (*format) {
    case ImageFormat::Png: {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(int(kDpi / 0.0254));
        image.setDotsPerMeterY(int(kDpi / 0.0254));
        ok = paintOn(image) && image.save(&buffer, "PNG");
        break;
    }
    case ImageFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kDpi);
        svg.setTitle(QFileInfo(data.fileName).fileName());
        ok = paintOn(svg);
        break;
    }
    case ImageFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kDpi);
        pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(size) * 72.0 / kDpi, QPageSize::Point),
                                      QPageLayout::Portrait, QMarginsF()));
        pdf.setTitle(QFileInfo(data.fileName).fileName());
        ok = paintOn(pdf);
        break;
    }
    }
    if (!ok || bytes.isEmpty()) {
        *error = QStringLiteral("Cannot write the image %1.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QString why;
    if (!recording::writeWholeFile(path, bytes, &why)) {
        *error = QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    return true;
}

} // namespace plot
