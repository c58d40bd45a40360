#include "platform/Exiv2Setup.h"
#include "platform/XmpWorkers.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

// One main for every benchmark: a QCoreApplication (plugin lookup, standard
// paths) and exiv2 started as the application starts it.
int main(int argc, char** argv)
{
    XmpWorkers::start();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("VelloranBench"));
    // Progress lines would only measure the terminal.
    QLoggingCategory::setFilterRules(QStringLiteral("velloran.batch.debug=false\nvelloran.batch.info=false"));
    initializeExiv2();
    // exiv2's own remarks on the sample photos (maker-note directories it skips,
    // thousands in an intake) would bury the table; the benchmarks check their
    // results themselves, and our own reading and writing failures still show.
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
