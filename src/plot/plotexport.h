#pragma once

// The plot as a file: PNG, SVG or PDF, chosen by the file name's suffix. Shared by the plot
// window's "Save image" and the command line, so both write the same picture.

#include "plot/plotdata.h"
#include "plot/plotgeometry.h"

#include <QSize>
#include <QString>

#include <optional>

namespace plot {

enum class ImageFormat { Png, Svg, Pdf };

// By suffix, case-insensitive: .png, .svg, .pdf; nothing for anything else.
std::optional<ImageFormat> imageFormatOf(const QString& path);

// Draws `view` of `data` at `size` (pixels at 96 dpi) into `path`. False with `error` set when
// the suffix is unknown or the file cannot be written.
bool exportPlot(const PlotData& data, const PlotView& view, QSize size, const QString& path,
                QString* error);

} // namespace plot
