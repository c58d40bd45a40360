#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QProcess;

// One exiftool process kept running in its "-stay_open" mode, so that a batch pays
// for starting perl once per writer thread rather than once per photo. Commands go
// to its standard input as an argument file, one argument a line, each ended by
// "-execute<N>"; the command is done when "{ready<N>}" comes back on both output
// channels (an "-echo4" puts it on standard error, so the errors of one command
// never leak into the next).
//
// The process starts at the first command and again at the first command after it
// died or did not answer within the time limit (it is killed then). It belongs to
// the thread that made it: make one per writer thread. A
// process of ours never outlives the application: endAll() kills every one of
// them, and the kernel kills one whose creating thread ended without its owner.
class ExifToolProcess {
public:
    struct Reply {
        // Whether exiftool answered the command; when it did not, failure says why
        // in our words and the process is gone (the next command starts another).
        bool answered = false;
        QString failure;
        QString output; // what it printed on standard output, without the marker
        QString errors; // what it printed on standard error, without the marker
    };

    // program: the exiftool to run; leadingArguments come before "-stay_open" (a
    // "-config" file must be the first argument). timeoutMs: the limit of one command.
    explicit ExifToolProcess(QString program = defaultProgram(), QStringList leadingArguments = {},
        int timeoutMs = kDefaultTimeoutMs);
    ~ExifToolProcess();
    ExifToolProcess(const ExifToolProcess&) = delete;
    ExifToolProcess& operator=(const ExifToolProcess&) = delete;

    // Runs one command (its arguments, without the framing) and waits for its answer.
    Reply execute(const QStringList& arguments);

    // Ends the process: asks it to leave, then kills it when it does not.
    void stop();

    // The process id while running, else 0.
    qint64 processId() const;

    // The exiftool found on PATH; "exiftool" when none is (starting it then fails).
    static QString defaultProgram();
    // Whether the program can be found at all.
    static bool isInstalled(const QString& program = defaultProgram());

    // Kills every process of ours, from any thread; each one's next command starts
    // a new process. Called when the application ends.
    static void endAll();

    // One argument as a line of an argument file: exiftool trims the lines, so an
    // argument with a line break or surrounding blanks goes as a C string.
    static QByteArray argumentLine(const QString& argument);

    // The text when exiftool cannot be started at all.
    static QString missingMessage();

    static constexpr int kDefaultTimeoutMs = 60000;

private:
    bool ensureStarted(QString& failure);
    void kill();

    QString m_program;
    QStringList m_leading;
    int m_timeoutMs;
    int m_sequence = 0;
    std::unique_ptr<QProcess> m_process;
};
