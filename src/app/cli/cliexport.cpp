// "qr512 export [-o OUT.csv] [--unit C|F|K] FILE": a data file as CSV for a spreadsheet, a
// script or a database. Exit status: 0 done, 2 a bad file or option, 1 the CSV could not be
// written (to OUT or to standard output).

#include "app/cli/clisubcommand.h"

#include "dataout/csvexport.h"

#include <QCommandLineParser>

namespace app {

namespace {

QList<QCommandLineOption> exportOptions() {
    return {
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("The CSV file (default: standard output)."),
         QStringLiteral("OUT")},
        {QStringLiteral("unit"),
         QStringLiteral("The values' unit: C, F or K (default: the unit the file was recorded "
                        "in, as its statistics list it)."),
         QStringLiteral("UNIT")},
    };
}

class ExportCommand : public Subcommand {
public:
    ExportCommand()
        : Subcommand(QStringLiteral("export"), Needs::Nothing,
                     QStringLiteral("Writes a data file (a recording or a memory download) as "
                                    "CSV: a header row record,time,type,T1,... for the channels "
                                    "present, then one row per record with its date-time in ISO "
                                    "8601 local time and its values as plain numbers, empty for "
                                    "OL and -OL."),
                     exportOptions(), 1) {}

private:
    void addArguments(QCommandLineParser& parser) override {
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The data file."));
    }
    bool check(QString* error) override;
    int execute() override;

    std::optional<live::TempUnit> m_unit;
    QString m_output;
};

bool ExportCommand::check(QString* error) {
    if (parser().positionalArguments().isEmpty())
        return refuse(error, QStringLiteral("which data file? (qr512 export FILE)"));
    if (parser().isSet(QStringLiteral("unit"))) {
        m_unit = parseUnit(parser(), error);
        if (!m_unit)
            return false;
    }
    if (parser().isSet(QStringLiteral("output"))) {
        m_output = parser().value(QStringLiteral("output"));
        if (m_output.isEmpty())
            return refuse(error, QStringLiteral("-o: give the name of the CSV file"));
        if (!writableOutput(m_output, error))
            return false;
    }
    return true;
}

int ExportCommand::execute() {
    const QString file = parser().positionalArguments().at(0);
    if (!m_output.isEmpty()) {
        QString error;
        QString warning;
        bool refused = false;
        if (!dataout::exportCsvFile(file, m_unit, m_output, &error, &warning, &refused)) {
            say(error);
            return refused ? kUsage : kFailure;
        }
        if (!warning.isEmpty())
            say(warning);
        return kDone;
    }
    const dataout::ExportResult result = dataout::exportCsv(file, m_unit, writeOut);
    if (!result.error.isEmpty())
        return usage(result.error);
    if (!result.warning.isEmpty())
        say(result.warning);
    // A standard output that failed is said, with status 1, by the frame's last check.
    return result.sinkFailed ? kFailure : kDone;
}

} // namespace

int runExport(QCoreApplication& app, const QStringList& args) {
    return ExportCommand().run(app, args);
}

} // namespace app
