#include "BenchArguments.h"
#include "BenchCommands.h"
#include "platform/Exiv2Setup.h"
#include "platform/XmpWorkers.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>
#include <cstdio>

// velloran-bench: drives the core as the batch does and prints rates. A
// measuring tool of the team, never installed with the application.
int main(int argc, char** argv)
{
    XmpWorkers::start();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("VelloranBench"));
    // Per-photo diagnostics would only measure the terminal; failures show in the photo lines.
    QLoggingCategory::setFilterRules(QStringLiteral("velloran.*.debug=false\nvelloran.*.info=false\n"
                                                    "velloran.*.warning=false"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto parsed = parseBenchArguments(app.arguments().mid(1));
    if (const auto* error = std::get_if<BenchArgumentError>(&parsed)) {
        err << "velloran-bench: " << error->message << "\n\n" << benchUsageText();
        return 2;
    }
    initializeExiv2();
    return runBenchCommand(std::get<BenchArguments>(parsed), out, err);
}
