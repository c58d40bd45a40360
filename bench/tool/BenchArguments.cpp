#include "BenchArguments.h"

using namespace Qt::Literals::StringLiterals;

namespace {

BenchArgumentError error(const QString& message)
{
    return BenchArgumentError { message };
}

} // namespace

std::variant<BenchArguments, BenchArgumentError> parseBenchArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return error(u"no command given"_s);

    BenchArguments result;
    const QString& command = arguments.first();
    if (command == "read"_L1)
        result.command = BenchArguments::Command::Read;
    else if (command == "write"_L1)
        result.command = BenchArguments::Command::Write;
    else if (command == "restore"_L1)
        result.command = BenchArguments::Command::Restore;
    else if (command == "thumbs"_L1)
        result.command = BenchArguments::Command::Thumbs;
    else
        return error(u"unknown command \"%1\""_s.arg(command));

    const bool writes
        = result.command == BenchArguments::Command::Write || result.command == BenchArguments::Command::Restore;
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == "-"_L1) {
            positional.append(argument);
            continue;
        }
        if (argument == "--"_L1) {
            optionsEnded = true;
            continue;
        }
        if (!writes)
            return error(u"%1 takes no option \"%2\""_s.arg(command, argument));

        // "--name value" or "--name=value".
        QString name = argument;
        std::optional<QString> inlineValue;
        if (const qsizetype equals = argument.indexOf(u'='); equals > 0) {
            name = argument.left(equals);
            inlineValue = argument.mid(equals + 1);
        }
        if (name == "--keep-source"_L1) {
            if (inlineValue)
                return error(u"--keep-source takes no value"_s);
            result.keepSource = true;
            continue;
        }
        if (name == "--restore-after"_L1) {
            if (inlineValue)
                return error(u"--restore-after takes no value"_s);
            if (result.command != BenchArguments::Command::Write)
                return error(u"--restore-after belongs to write"_s);
            result.restoreAfter = true;
            continue;
        }
        if (name == "--jobs"_L1) {
            if (!inlineValue && i + 1 >= arguments.size())
                return error(u"--jobs needs a value"_s);
            const QString value = inlineValue ? *inlineValue : arguments[++i];
            bool ok = false;
            const int jobs = value.toInt(&ok);
            if (!ok || jobs < 1)
                return error(u"--jobs takes a whole number of 1 or more, not \"%1\""_s.arg(value));
            result.jobs = jobs;
            continue;
        }
        QString* target = nullptr;
        if (name == "--settings"_L1)
            target = &result.settingsFile;
        else if (name == "--out"_L1)
            target = &result.outputDir;
        else if (name == "--rename"_L1)
            target = &result.renameFile;
        else
            return error(u"unknown option \"%1\""_s.arg(name));
        if (!target->isEmpty())
            return error(u"%1 given twice"_s.arg(name));
        if (inlineValue) {
            *target = *inlineValue;
        } else {
            if (i + 1 >= arguments.size())
                return error(u"%1 needs a value"_s.arg(name));
            *target = arguments[++i];
        }
        if (target->isEmpty())
            return error(u"%1 needs a value"_s.arg(name));
    }

    if (positional.size() != 1)
        return error(u"%1 takes exactly one folder"_s.arg(command));
    result.sourceDir = positional.first();
    if (result.sourceDir.isEmpty())
        return error(u"the folder is empty text"_s);

    if (result.command == BenchArguments::Command::Write && result.settingsFile.isEmpty())
        return error(u"write needs --settings FILE"_s);
    if (writes && result.outputDir.isEmpty() && !result.keepSource)
        return error(u"%1 needs --out OUTDIR (or --keep-source)"_s.arg(command));
    return result;
}

QString benchUsageText()
{
    return uR"(Usage:
  velloran-bench read DIR
      Reads every photo under DIR (recursively) as the batch list does: metadata
      record and pixel size. Prints one line per photo that failed and
      "not taken<TAB>path<TAB>reason" per file the batch list does not take
      (not an image, a kind Velloran cannot edit, a FIFO or device, a file it
      cannot read), then the rate.
  velloran-bench write --settings FILE --out OUTDIR [--keep-source] [--rename FILE] [--jobs N]
                       [--restore-after] SRCDIR
      Reads every photo under SRCDIR as the batch list does and runs the
      application's batch on them: the settings record of FILE (a keyed archive
      of one MetaDataObject, as a preset is stored) is written into each photo,
      named by the output path builder (renaming options from the JSON of
      --rename), into OUTDIR or, with --keep-source, beside each source: as in
      the application, a photo whose name the renaming options leave as it is is
      then edited in place. N photos are written at once (default: one per core;
      1 writes them one after another). Prints CODE<TAB>output path<TAB>message
      per photo, then the totals and rates, and the resident size after every
      1,000 photos. CODE is the writer's answer (0 written, 7 written with a raw
      file's camera kept, others failed), or -1 for a photo the run never
      reached: every file under SRCDIR that the list did not take has such a
      line, saying why; a photo refused before
      it had an output shows its source path. With --restore-after the same
      process then restores that run as the Restore button does, printing
      restore<TAB>CODE<TAB>path<TAB>message per photo, and after the totals
      the restore's own time ("restore: N photos, S s, W writers") and
      "restore exact N of M": how many of the restored files are byte for
      byte the photos as they were before the run.
  velloran-bench restore [--settings FILE] --out OUTDIR [--keep-source] [--rename FILE] [--jobs N] SRCDIR
      The same photos, named as write names them (give the same arguments):
      each whose output is there is written back from its source with the
      metadata as first read, as the application's restore does. An output
      is restored only while it is, to the byte, the file write made (write
      keeps its mark in the user's cache folder): one changed since, or that
      no write of this tool made, is kept, and its line says so. A photo
      edited in place can be restored only by the run that wrote it: it is
      listed with code -1 and nothing to restore.
  velloran-bench thumbs DIR
      Makes a 96x70 thumbnail of every photo under DIR and prints the rate;
      failures and files not taken are listed as read lists them.

Every line is printed as soon as it is known. In paths and messages a tab,
newline, carriage return and backslash print as \t \n \r \\, so each photo
keeps to one line. A file whose name is not valid UTF-8 is reported on the
error output and left out, and so is a photo library (DIR itself) that
cannot be read, or only in part, with the reason.

Exit code: 0 when the command ran, whatever became of each photo; 2 for bad
arguments or an unreadable settings or renaming file.
)"_s;
}
