#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class ExifToolSpawner;

// One exiftool process kept running in its "-stay_open" mode, so that a batch pays
// for starting perl once rather than once per photo. Commands go to its standard
// input as an argument file, one argument a line, each ended by "-execute<N>"; the
// command is done when "{ready<N>}" comes back on both output channels (an
// "-echo4" puts it on standard error, so the errors of one command never leak into
// the next).
//
// Starting exiftool and loading its writing modules costs a quarter of a second of
// processor time, as much as forty photos; eight writer threads each starting their
// own would spend more on starting than on writing. So one exiftool per program
// (and definitions) is started once, loads and warms its modules, and then only
// forks: each ExifToolProcess gets a fork of its own, already compiled, talking to
// it through named pipes in a private folder (removed once both ends are open).
//
// Every exiftool of ours runs in one private work folder (workFolder()): what a
// command names (the photo, the output, the blocks) is made there under names of
// our own and named relative to it, so that no byte of a user's path ever stands
// in a line exiftool reads: exiftool takes an argument that begins with "-" for an
// option, reads "%d" and the like in output names as patterns, and its argument
// file cannot carry some values at all.
//
// The process is made at the first command and again at the first command after it
// died or did not answer within the time limit (it is killed then); the forking
// exiftool is started again the same way. Make one ExifToolProcess per writer
// thread. A process of ours never outlives the application: endAll() kills every
// one of them, the forking exiftool ends when our end of its input closes (also
// when we crash) and kills its forks then, and each fork dies with it.
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

    // program: the exiftool to run; definitions: the text of an exiftool config
    // file (user-defined tags) loaded before anything else. timeoutMs: the limit of
    // one command, and of making the process.
    explicit ExifToolProcess(QString program = defaultProgram(), QByteArray definitions = {},
        int timeoutMs = kDefaultTimeoutMs);
    ~ExifToolProcess();
    ExifToolProcess(const ExifToolProcess&) = delete;
    ExifToolProcess& operator=(const ExifToolProcess&) = delete;

    // Runs one command (its arguments, without the framing) and waits for its answer.
    // warmUpPhoto: a photo like the ones to come, which the forking exiftool writes
    // in memory once before its first fork, so that its forks start with the
    // modules that photo needs already loaded (nothing is written to disk).
    Reply execute(const QStringList& arguments, const QString& warmUpPhoto = {});

    // Ends the process (between commands it holds nothing half done).
    void stop();

    // The process id while running, else 0.
    qint64 processId() const;

    // The exiftool found on PATH; "exiftool" when none is (starting it then fails).
    static QString defaultProgram();
    // Whether the program can be found at all.
    static bool isInstalled(const QString& program = defaultProgram());

    // Makes the forking exiftool ready ahead of the first photo, so that its start
    // overlaps other work; returns at once. Harmless when it runs already.
    static void prepare(const QString& program, const QByteArray& definitions, const QString& warmUpPhoto);

    // Kills every process of ours, from any thread; each one's next command starts
    // a new process. Called when the application ends.
    static void endAll();

    // One argument as a line of an argument file: exiftool trims the lines, so an
    // argument with a line break or surrounding blanks goes as a C string. Empty
    // when no line carries it unchanged (a C string line turns "$" and "@" into
    // "\$" and "\@"): hand such a value over in a file (canFrame tells first).
    static QByteArray argumentLine(const QString& argument);
    static bool canFrame(const QString& argument) { return !argumentLine(argument).isEmpty(); }

    // The folder every exiftool of ours runs in, private to this process, made at
    // the first call (after removing those left by processes of ours that are gone)
    // and removed when the program ends. Empty when it cannot be made; failure
    // then says why.
    static QString workFolder(QString* failure = nullptr);

    // Removes the work folders in parent whose owning process is gone (killed runs
    // leave them); answers how many. A running process's folder is kept.
    static int removeAbandonedWorkFolders(const QString& parent);

    // The text before the line marker on one output channel of a command, once that
    // line has come; nothing while it has not.
    static std::optional<QString> answerBefore(const QByteArray& channel, QByteArrayView marker);

    // The process id in the forking exiftool's answer "<tag> <pid>" to the request
    // with tag; 0 for a refusal, an answer to another request or anything else.
    static qint64 forkedProcessId(QByteArrayView line, QByteArrayView tag);

    // The text when exiftool cannot be started at all.
    static QString missingMessage();

    static constexpr int kDefaultTimeoutMs = 60000;

private:
    bool ensureStarted(const QString& warmUpPhoto, QString& failure);
    bool isAlive() const;
    void kill();

    QString m_program;
    QByteArray m_definitions;
    int m_timeoutMs;
    qint64 m_sequence = 0;
    std::shared_ptr<ExifToolSpawner> m_spawner;
    qint64 m_pid = 0;
    int m_input = -1;
    int m_output = -1;
    int m_errors = -1;
    int m_generation = 0;
};
