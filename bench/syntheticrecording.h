#pragma once

// The rows of the longest PC recording (ten days of one-second samples) for the benchmarks:
// four slowly drifting channels with noise, an occasional over range on T3 and under range
// on T4.

#include "recording/datafile.h"

#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <vector>

inline std::vector<recording::DataRow> syntheticRecording() {
    std::vector<recording::DataRow> rows;
    rows.reserve(recording::kMaxRecords);
    const qint64 start = *recording::stampFromText("2024/02/25 08:00:00");
    for (int i = 0; i < recording::kMaxRecords; ++i) {
        recording::DataRow row{start + i, {}, 'K'};
        for (int c = 0; c < 4; ++c) {
            const double celsius = 20.0 + 60.0 * c + 40.0 * std::sin(i / (3000.0 + 700.0 * c)) +
                                   (i * 7 + c) % 13 / 10.0;
            row.raw[std::size_t(c)] = quint16(std::lround(4680.0 + 18.0 * celsius));
        }
        if (i % 50000 == 17)
            row.raw[2] = 65535;
        if (i % 70000 == 23)
            row.raw[3] = 0;
        rows.push_back(row);
    }
    return rows;
}

// A data file of those rows at `path`, written first when none is there (and said so); false
// when it cannot be written.
inline bool ensureSyntheticFile(const QString& path) {
    using namespace recording;
    if (QFile::exists(path))
        return true;
    QElapsedTimer timer;
    timer.start();
    const std::vector<DataRow> rows = syntheticRecording();
    QFile file(path);
    QByteArray text = countLine(kMaxRecords) + headerLine(4) + separatorLine(4);
    appendDataLines(text, rows, 4);
    text += trailerText(rows, 4, live::TempUnit::Celsius, TrailerLayout::Recording);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("generated %s: %.1f MiB in %.1f s\n", qPrintable(path),
                double(text.size()) / 1048576.0, double(timer.elapsed()) / 1000);
    return true;
}
