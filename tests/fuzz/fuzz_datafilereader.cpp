// Any bytes as a data file for the plot and for the CSV export: whatever the file holds,
// reading it ends with rows or a message, never a crash.

#include "dataout/csvexport.h"
#include "plot/plotdata.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    (void)plot::loadPlotData(buffer, QStringLiteral("fuzz.txt"), live::TempUnit::Celsius);
    buffer.seek(0);
    (void)dataout::exportCsv(buffer, QStringLiteral("fuzz.txt"), std::nullopt,
                             [](QByteArrayView) { return true; });
    return 0;
}
