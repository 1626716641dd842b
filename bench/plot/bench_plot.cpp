// The longest PC recording (864000 records, 4 channels) drawn as a plot: load time, first
// draw, redraw at the same size, redraw after a resize, the same on the time axis with the
// values fitted, and peak memory, in a process of its own; then `qr512 plot` to a PNG and, when
// gnuplot is installed, gnuplot drawing the same four columns to a PNG of the same size, each timed
// with its peak memory. Prints figures only.
//
//   bench_plot [FILE]   FILE: a data file to use; generated there first when it does not
//                       exist (default: a temporary file)

#include "benchrun.h"
#include "plot/plotdata.h"
#include "plot/plotgeometry.h"
#include "plot/plotpainter.h"
#include "recording/datafile.h"
#include "syntheticrecording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace recording;

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 600;

long peakKibOfSelf() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLong();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// The window's work in this process: load, first draw, redraw, resize.
int measure(int argc, char** argv, const QString& path) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const long baseKib = peakKibOfSelf();
    QElapsedTimer timer;
    timer.start();
    const plot::PlotLoad load = plot::loadPlotData(path, live::TempUnit::Celsius);
    const double loadMs = ms(timer);
    if (!load.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(load.error));
        return 1;
    }
    plot::PlotPainter painter(load.data);
    plot::PlotView view = plot::initialView(load.data);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    const auto draw = [&](QSize size) {
        QPainter p(&image);
        timer.restart();
        painter.paint(p, size, view);
        p.end();
        return ms(timer);
    };
    // First draw, mean of 10 redraws at the same size, mean of 10 after resizes.
    const auto drawings = [&] {
        std::array<double, 3> figures{draw(image.size()), 0, 0};
        for (int i = 0; i < 10; ++i)
            figures[1] += draw(image.size()) / 10;
        for (int i = 0; i < 10; ++i)
            figures[2] += draw(QSize(kWidth - 10 * (i + 1), kHeight - 5 * i)) / 10;
        return figures;
    };
    const auto [firstMs, redrawMs, resizeMs] = drawings();

    // The same on the time axis, with the values fitted to the data ("F", "T").
    timer.restart();
    const auto fit = plot::fittedRange(load.data, view.r1, view.r2);
    const double fitMs = ms(timer);
    view.axis = plot::XAxis::Time;
    if (fit) {
        view.low = fit->first;
        view.high = fit->second;
    }
    const auto [timeFirstMs, timeRedrawMs, timeResizeMs] = drawings();

    std::printf("records loaded:                %lld x %d channels%s\n",
                static_cast<long long>(load.data.rowsRead()), load.data.channels,
                load.warning.isEmpty() ? "" : " (WARNING)");
    std::printf("load:                          %.0f ms\n", loadMs);
    std::printf("first draw (%dx%d):          %.1f ms\n", kWidth, kHeight, firstMs);
    std::printf("redraw, same size (mean of 10): %.2f ms\n", redrawMs);
    std::printf("redraw after resize (mean):    %.2f ms\n", resizeMs);
    std::printf("fit the values:                %.1f ms\n", fitMs);
    std::printf("time axis, first draw:         %.1f ms\n", timeFirstMs);
    std::printf("time axis, redraw (mean):      %.2f ms\n", timeRedrawMs);
    std::printf("time axis, after resize (mean): %.2f ms\n", timeResizeMs);
    std::printf("peak memory (VmHWM):           %.1f MiB (%.1f MiB before loading)\n",
                peakKibOfSelf() / 1024.0, baseKib / 1024.0);
    return 0;
}

void print(const char* what, const Run& result) {
    if (!result.ok) {
        std::printf("%-30s FAILED\n", what);
        return;
    }
    std::printf("%-30s %.2f s, peak %.1f MiB\n", what, result.seconds, result.peakKib / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure")
        return measure(argc, argv, QString::fromLocal8Bit(argv[2]));

    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : dir.filePath(QStringLiteral("20240225080000.txt"));
    if (!ensureSyntheticFile(path))
        return 1;
    const std::string file = path.toStdString();

    std::fflush(stdout);
    const Run inProcess = run({argv[0], "--measure", file});
    if (!inProcess.ok)
        std::printf("in-process measurement FAILED\n");

    const std::string png = dir.filePath(QStringLiteral("qr512.png")).toStdString();
    const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
    const Run ours = run({QR512_BINARY, "plot", file, "-o", png, "--size", size});
    print("qr512 plot to PNG:", ours);

    if (QStandardPaths::findExecutable(QStringLiteral("gnuplot")).isEmpty()) {
        std::printf("gnuplot:                       not installed, comparison skipped\n");
        return 0;
    }
    const std::string out = dir.filePath(QStringLiteral("gnuplot.png")).toStdString();
    // The same four Celsius columns over the record number; header, trailer and OL fields
    // are not numbers and are skipped by gnuplot.
    const std::string script =
        "set terminal png size " + std::to_string(kWidth) + "," + std::to_string(kHeight) +
        "; set output '" + out + "'; set datafile separator '\\t'; plot '" + file +
        "' using 1:4 with lines lc rgb 'red', '' using 1:5 with lines lc rgb 'green', '' "
        "using 1:6 with lines lc rgb 'blue', '' using 1:7 with lines lc rgb 'black'";
    const Run theirs = run({"gnuplot", "-e", script});
    print("gnuplot to PNG:", theirs);
    if (ours.ok && theirs.ok) {
        std::printf("qr512 / gnuplot:               time %.2f, memory %.2f\n",
                    ours.seconds / theirs.seconds, double(ours.peakKib) / double(theirs.peakKib));
    }
    return 0;
}
