#pragma once

// The rules of the range panel's OK, shared with the command line's --range and --records.

#include "plot/plotdata.h"
#include "plot/plotgeometry.h"

#include <QString>

#include <optional>

namespace plot {

// Low < High, Low >= TypeMin, High <= TypeMax.
bool valueRangeAccepted(double low, double high, const PlotData& data);
// 1 <= R1 < R2 <= N.
bool recordRangeAccepted(double r1, double r2, const PlotData& data);

// The four texts of the panel (each read by its leading number, as typed) as a new view;
// nothing when either range is refused.
std::optional<PlotView> viewFromTexts(const QString& t1, const QString& t2, const QString& r1,
                                      const QString& r2, const PlotData& data);

} // namespace plot
