// "qr512 plot FILE -o OUT.png|.svg|.pdf [--unit C|F|K] [--records R1:R2] [--range LOW:HIGH]
// [--size WxH]": the plot window's picture of a data file, drawn without a display. Exit
// status: 0 done, 2 bad file or option, 1 the image could not be written.

#include "app/cli/clicommon.h"

#include "plot/plotdata.h"
#include "plot/plotexport.h"
#include "plot/rangecheck.h"
#include "recording/replacingfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <optional>
#include <utility>

namespace app {

namespace {

// The largest picture: 8000 × 8000 pixels are 256 MB of image.
constexpr int kMaxSide = 8000;

void complain(const QString& text) {
    printErr(QStringLiteral("qr512 plot: ") + text);
}

// "A:B" as two numbers; nothing unless both halves are numbers.
std::optional<std::pair<double, double>> numberPair(const QString& text, QChar separator,
                                                    bool whole) {
    // The first separator after the first character, so that "-200:100" splits after -200.
    const qsizetype at = text.indexOf(separator, 1);
    if (at < 0)
        return std::nullopt;
    bool okA = false;
    bool okB = false;
    const QString a = text.left(at).trimmed();
    const QString b = text.mid(at + 1).trimmed();
    const double first = whole ? double(a.toLongLong(&okA)) : a.toDouble(&okA);
    const double second = whole ? double(b.toLongLong(&okB)) : b.toDouble(&okB);
    if (!okA || !okB)
        return std::nullopt;
    return std::pair{first, second};
}

std::optional<live::TempUnit> unitOf(const QString& text) {
    const QString letter = text.trimmed().toUpper();
    if (letter == QLatin1String("C"))
        return live::TempUnit::Celsius;
    if (letter == QLatin1String("F"))
        return live::TempUnit::Fahrenheit;
    if (letter == QLatin1String("K"))
        return live::TempUnit::Kelvin;
    return std::nullopt;
}

} // namespace

int runPlot(QCoreApplication&, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws a data file as the plot window does and writes the picture to a PNG, SVG or PDF "
        "file. The window opens on the whole file over the thermocouple type's range."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("plot"), QStringLiteral("The command."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The data file."));
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("The picture: a name ending in .png, .svg or .pdf."),
                      QStringLiteral("OUT")});
    parser.addOption({QStringLiteral("unit"),
                      QStringLiteral("The columns drawn: C, F or K (default C)."),
                      QStringLiteral("UNIT"), QStringLiteral("C")});
    parser.addOption({QStringLiteral("records"),
                      QStringLiteral("First and last record drawn, 1 <= R1 < R2 <= the count."),
                      QStringLiteral("R1:R2")});
    parser.addOption({QStringLiteral("range"),
                      QStringLiteral("Values at the bottom and the top, within the type's range."),
                      QStringLiteral("LOW:HIGH")});
    parser.addOption({QStringLiteral("size"),
                      QStringLiteral("Picture size in pixels (default 1000x600)."),
                      QStringLiteral("WxH"), QStringLiteral("1000x600")});
    if (!parser.parse(args)) {
        complain(parser.errorText());
        return kUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(parser.helpText());
        return kDone;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        complain(positional.size() < 2
                     ? QStringLiteral("which data file? (qr512 plot FILE -o OUT)")
                     : QStringLiteral("unexpected argument: %1").arg(positional.at(2)));
        return kUsage;
    }
    const QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty() || !plot::imageFormatOf(output)) {
        complain(QStringLiteral("-o: give a picture name ending in .png, .svg or .pdf"));
        return kUsage;
    }
    if (const std::optional<QString> refusal = recording::unsafeTarget(output)) {
        complain(QStringLiteral("-o: cannot write \"%1\": %2").arg(output, *refusal));
        return kUsage;
    }
    const std::optional<live::TempUnit> unit = unitOf(parser.value(QStringLiteral("unit")));
    if (!unit) {
        complain(QStringLiteral("--unit: \"%1\" is not C, F or K")
                     .arg(parser.value(QStringLiteral("unit"))));
        return kUsage;
    }
    const auto size = numberPair(parser.value(QStringLiteral("size")), u'x', true);
    if (!size || size->first < plot::kMinimumWindowWidth || size->first > kMaxSide ||
        size->second < plot::kMinimumWindowHeight || size->second > kMaxSide) {
        complain(QStringLiteral("--size: \"%1\" is not WxH with W from %2 and H from %3 to %4")
                     .arg(parser.value(QStringLiteral("size")))
                     .arg(plot::kMinimumWindowWidth)
                     .arg(plot::kMinimumWindowHeight)
                     .arg(kMaxSide));
        return kUsage;
    }

    const plot::PlotLoad load = plot::loadPlotData(positional.at(1), *unit);
    if (!load.ok()) {
        complain(load.error);
        return kUsage;
    }
    if (!load.warning.isEmpty())
        complain(load.warning);
    const plot::PlotData& data = load.data;
    plot::PlotView view = plot::initialView(data);
    if (parser.isSet(QStringLiteral("records"))) {
        const auto records = numberPair(parser.value(QStringLiteral("records")), u':', true);
        if (!records || !plot::recordRangeAccepted(records->first, records->second, data)) {
            complain(QStringLiteral("--records: \"%1\" is not R1:R2 with 1 <= R1 < R2 <= %2")
                         .arg(parser.value(QStringLiteral("records")))
                         .arg(data.count));
            return kUsage;
        }
        view.r1 = qint64(records->first);
        view.r2 = qint64(records->second);
    }
    if (parser.isSet(QStringLiteral("range"))) {
        const auto range = numberPair(parser.value(QStringLiteral("range")), u':', false);
        if (!range || !plot::valueRangeAccepted(range->first, range->second, data)) {
            complain(QStringLiteral("--range: \"%1\" is not LOW:HIGH with %2 <= LOW < HIGH <= %3")
                         .arg(parser.value(QStringLiteral("range")))
                         .arg(data.typeMin)
                         .arg(data.typeMax));
            return kUsage;
        }
        view.low = range->first;
        view.high = range->second;
    }
    QString error;
    if (!plot::exportPlot(data, view, QSize(int(size->first), int(size->second)), output, &error)) {
        complain(error);
        return kFailure;
    }
    return kDone;
}

} // namespace app
