#include "app/cli/cliformat.h"

#include "app/cli/clicommon.h"

#include <QDateTime>

#include <algorithm>

namespace app {

QCommandLineOption formatOption(const QString& text) {
    return {QStringLiteral("format"),
            QStringLiteral("text (default: %1), csv (a header row, then record,time,type,T1.. "
                           "with empty values for OL and -OL) or jsonl (one JSON object per "
                           "line, null for OL and -OL).")
                .arg(text),
            QStringLiteral("FORMAT"), QStringLiteral("text")};
}

std::optional<dataout::Format> parseFormat(const QCommandLineParser& parser, QString* error) {
    const QString text = parser.value(QStringLiteral("format"));
    const std::optional<dataout::Format> format = dataout::formatOf(text);
    if (!format)
        *error = QStringLiteral("--format: \"%1\" is not text, csv or jsonl").arg(text);
    return format;
}

void RowPrinter::start(int channels, live::TempUnit displayUnit) {
    if (m_started)
        return;
    m_started = true;
    m_channels = channels;
    m_unit = displayUnit;
    if (m_format == dataout::Format::Csv)
        printOut(QString::fromLatin1(dataout::csvHeader(m_channels).chopped(1)));
}

void RowPrinter::print(const QByteArray& line) {
    printOut(QString::fromUtf8(line.chopped(1))); // printOut ends the line
}

void RowPrinter::printFrame(const live::LiveState& state) {
    const bool csv = m_format == dataout::Format::Csv;
    const QByteArray time = dataout::isoWithMilliseconds(QDateTime::currentDateTime());
    dataout::Row row;
    row.record = ++m_frames;
    row.time = time;
    row.type = state.typeLetter().isNull() ? char(0) : state.typeLetter().toLatin1();
    row.channels = std::clamp(state.channelCount(), 0, live::kChannels);
    row.memory = state.memoryCount();
    start(row.channels, state.displayUnit());
    row.channels = csv ? m_channels : row.channels;
    row.unit = csv ? m_unit : state.displayUnit();
    std::array<QByteArray, live::kChannels> texts;
    for (int c = 0; c < row.channels; ++c) {
        texts[std::size_t(c)] =
            state.readingText()[std::size_t(int(row.unit) * live::kChannels + c)].toLatin1();
        row.values[std::size_t(c)] = texts[std::size_t(c)];
    }
    QByteArray line;
    if (csv)
        dataout::appendCsvRow(line, row);
    else
        dataout::appendJsonLine(line, row);
    print(line);
}

void RowPrinter::printRow(int record, const recording::DataRow& data, int channels,
                          const live::LiveState& state) {
    const bool csv = m_format == dataout::Format::Csv;
    start(channels, state.displayUnit());
    QByteArray line;
    dataout::appendDataRow(line, m_format, record, data, csv ? m_channels : channels,
                           csv ? m_unit : state.displayUnit(), state.memoryCount());
    print(line);
}

} // namespace app
