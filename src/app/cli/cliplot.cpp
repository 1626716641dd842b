// "qr512 plot FILE -o OUT.png|.svg|.pdf [--unit C|F|K] [--records R1:R2] [--x records|time]
// [--fit] [--range LOW:HIGH] [--size WxH]": the plot window's picture of a data file, drawn
// without a display. Exit status: 0 done, 2 bad file or option, 1 the image could not be
// written.

#include "app/cli/clisubcommand.h"

#include "plot/plotdata.h"
#include "plot/plotexport.h"
#include "plot/rangecheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <optional>
#include <utility>

namespace app {

namespace {

// The largest picture: 8000 × 8000 pixels are 256 MB of image.
constexpr int kMaxSide = 8000;

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

QList<QCommandLineOption> plotOptions() {
    return {
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("The picture: a name ending in .png, .svg or .pdf."),
         QStringLiteral("OUT")},
        {QStringLiteral("unit"), QStringLiteral("The columns drawn: C, F or K (default C)."),
         QStringLiteral("UNIT"), QStringLiteral("C")},
        {QStringLiteral("records"),
         QStringLiteral("First and last record drawn, 1 <= R1 < R2 <= the count."),
         QStringLiteral("R1:R2")},
        {{QStringLiteral("x"), QStringLiteral("axis")},
         QStringLiteral("Records spaced by their number (records, the default) or by their "
                        "date-time (time: a pause in the recording shows as a gap)."),
         QStringLiteral("AXIS"),
         QStringLiteral("records")},
        {QStringLiteral("fit"),
         QStringLiteral("Fit the values to the records drawn, with a small margin, instead of "
                        "the type's range.")},
        {QStringLiteral("range"),
         QStringLiteral("Values at the bottom and the top, within the type's range."),
         QStringLiteral("LOW:HIGH")},
        {QStringLiteral("size"), QStringLiteral("Picture size in pixels (default 1000x600)."),
         QStringLiteral("WxH"), QStringLiteral("1000x600")},
    };
}

class PlotCommand : public Subcommand {
public:
    PlotCommand()
        : Subcommand(QStringLiteral("plot"), Needs::Nothing,
                     QStringLiteral("Draws a data file as the plot window does and writes the "
                                    "picture to a PNG, SVG or PDF file. The window opens on the "
                                    "whole file over the thermocouple type's range."),
                     plotOptions(), 1) {}

private:
    void addArguments(QCommandLineParser& parser) override {
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The data file."));
    }
    bool check(QString* error) override;
    bool checkSize(QString* error);
    int execute() override;
    // --records and --range, which are checked against the file's contents.
    bool narrow(const plot::PlotData& data, plot::PlotView* view, QString* error) const;

    QString m_output;
    live::TempUnit m_unit = live::TempUnit::Celsius;
    plot::XAxis m_axis = plot::XAxis::Records;
    QSize m_size;
};

bool PlotCommand::check(QString* error) {
    if (parser().positionalArguments().isEmpty())
        return refuse(error, QStringLiteral("which data file? (qr512 plot FILE -o OUT)"));
    m_output = parser().value(QStringLiteral("output"));
    if (m_output.isEmpty() || !plot::imageFormatOf(m_output))
        return refuse(error,
                      QStringLiteral("-o: give a picture name ending in .png, .svg or .pdf"));
    if (!writableOutput(m_output, error))
        return false;
    const std::optional<live::TempUnit> unit = parseUnit(parser(), error);
    if (!unit)
        return false;
    m_unit = *unit;
    const QString axis = parser().value(QStringLiteral("x")).trimmed().toLower();
    if (axis != QLatin1String("records") && axis != QLatin1String("time"))
        return refuse(error, QStringLiteral("--x: \"%1\" is not records or time")
                                 .arg(parser().value(QStringLiteral("x"))));
    m_axis = axis == QLatin1String("time") ? plot::XAxis::Time : plot::XAxis::Records;
    if (parser().isSet(QStringLiteral("fit")) && parser().isSet(QStringLiteral("range")))
        return refuse(error, QStringLiteral("--fit and --range cannot be used together"));
    return checkSize(error);
}

bool PlotCommand::checkSize(QString* error) {
    const QString text = parser().value(QStringLiteral("size"));
    const auto size = numberPair(text, u'x', true);
    if (!size || size->first < plot::kMinimumWindowWidth || size->first > kMaxSide ||
        size->second < plot::kMinimumWindowHeight || size->second > kMaxSide)
        return refuse(error,
                      QStringLiteral("--size: \"%1\" is not WxH with W from %2 and H from %3 to %4")
                          .arg(text)
                          .arg(plot::kMinimumWindowWidth)
                          .arg(plot::kMinimumWindowHeight)
                          .arg(kMaxSide));
    m_size = QSize(int(size->first), int(size->second));
    return true;
}

int PlotCommand::execute() {
    const plot::PlotLoad load = plot::loadPlotData(parser().positionalArguments().at(0), m_unit);
    if (!load.ok())
        return usage(load.error);
    if (!load.warning.isEmpty())
        say(load.warning);
    plot::PlotView view = plot::initialView(load.data);
    QString error;
    if (!narrow(load.data, &view, &error))
        return usage(error);
    if (!plot::exportPlot(load.data, view, m_size, m_output, &error)) {
        say(error);
        return kFailure;
    }
    return kDone;
}

bool PlotCommand::narrow(const plot::PlotData& data, plot::PlotView* view, QString* error) const {
    if (parser().isSet(QStringLiteral("records"))) {
        const QString text = parser().value(QStringLiteral("records"));
        const auto records = numberPair(text, u':', true);
        if (!records || !plot::recordRangeAccepted(records->first, records->second, data))
            return refuse(error,
                          QStringLiteral("--records: \"%1\" is not R1:R2 with 1 <= R1 < R2 <= %2")
                              .arg(text)
                              .arg(data.count));
        view->r1 = qint64(records->first);
        view->r2 = qint64(records->second);
    }
    if (parser().isSet(QStringLiteral("range"))) {
        const QString text = parser().value(QStringLiteral("range"));
        const auto range = numberPair(text, u':', false);
        if (!range || !plot::valueRangeAccepted(range->first, range->second, data))
            return refuse(
                error, QStringLiteral("--range: \"%1\" is not LOW:HIGH with %2 <= LOW < HIGH <= %3")
                           .arg(text)
                           .arg(data.typeMin)
                           .arg(data.typeMax));
        view->low = range->first;
        view->high = range->second;
    }
    if (m_axis == plot::XAxis::Time) {
        if (!data.hasTimes())
            return refuse(error, QStringLiteral("--x time: the records of %1 carry no two "
                                                "different date-times to space them by")
                                     .arg(data.fileName));
        view->axis = plot::XAxis::Time;
    }
    if (parser().isSet(QStringLiteral("fit"))) {
        if (const auto range = plot::fittedRange(data, view->r1, view->r2)) {
            view->low = range->first;
            view->high = range->second;
        } else {
            say(QStringLiteral("--fit: the records drawn hold no values (only OL or -OL); "
                               "drawn over the type's range"));
        }
    }
    return true;
}

} // namespace

int runPlot(QCoreApplication& app, const QStringList& args) {
    return PlotCommand().run(app, args);
}

} // namespace app
