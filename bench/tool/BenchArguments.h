#pragma once

#include <QString>
#include <QStringList>
#include <variant>

// One command line of velloran-bench, checked but not yet acted on: paths are
// taken as given and only opened when the command runs.
struct BenchArguments {
    enum class Command { Read, Write, Restore, Thumbs };

    Command command = Command::Read;
    QString sourceDir; // the folder walked for photos
    QString settingsFile; // write: required; restore: optional, used only to name the outputs
    QString outputDir; // write and restore; may be left out with --keep-source
    QString renameFile; // optional renaming options
    bool keepSource = false; // outputs beside their sources
    int jobs = 0; // photos written at once; 0: as many as the machine has cores
    bool restoreAfter = false; // write: restore the run in the same process and compare
};

// A command line that cannot run, with the reason for the user.
struct BenchArgumentError {
    QString message;
};

// Reads the arguments after the program name. Never exits or prints.
std::variant<BenchArguments, BenchArgumentError> parseBenchArguments(const QStringList& arguments);

// The text printed with exit code 2.
QString benchUsageText();
