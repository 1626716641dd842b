#pragma once

// --format for the commands that print readings as they come (live, record): their own text
// lines (the default), CSV with its header once, or JSON Lines, on standard output for pipes.

#include "dataout/rowformat.h"
#include "live/livepoll.h"
#include "recording/datarow.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>

namespace app {

// `text`: what the default prints.
QCommandLineOption formatOption(const QString& text);
// The format given (text when none); nothing, with the usage error, for another word.
std::optional<dataout::Format> parseFormat(const QCommandLineParser& parser, QString* error);

// Prints rows in CSV or JSON Lines through printOut, one line each as it comes. In CSV the
// header and the unit are those of the first row, so that a column never changes its meaning
// (the meter's unit key pressed later changes the JSON's "unit" only).
class RowPrinter {
public:
    explicit RowPrinter(dataout::Format format)
        : m_format(format) {}

    // One display frame of `live`: numbered from 1, stamped now to the millisecond.
    void printFrame(const live::LiveState& state);
    // One recorded row, with the meter's state as it is now (its unit and memory count).
    void printRow(int record, const recording::DataRow& row, int channels,
                  const live::LiveState& state);

private:
    // The header and the unit of CSV, at the first row.
    void start(int channels, live::TempUnit displayUnit);
    void print(const QByteArray& line);

    dataout::Format m_format;
    bool m_started = false;
    int m_channels = 0;
    live::TempUnit m_unit = live::TempUnit::Celsius;
    qint64 m_frames = 0;
};

} // namespace app
