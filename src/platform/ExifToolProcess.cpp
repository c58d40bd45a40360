#include "platform/ExifToolProcess.h"

#include "base/Logging.h"
#include "platform/HeldFolder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace Qt::Literals::StringLiterals;

namespace {

// Set in the forking exiftool's environment only: its forks, and an exiftool
// started with our definitions for any other reason, run as plain exiftool.
constexpr const char* kSpawnerVariable = "VELLORAN_EXIFTOOL_SPAWNER";

// Loaded by exiftool as its config file. An INIT block runs once the exiftool
// script is compiled and before it reads any argument, so a fork made there starts
// where a fresh exiftool would, without compiling anything again. The forking
// exiftool reads requests from its standard input. A request is a line
// "<kind> <tag> <count>" and count fields, each its length in decimal digits on a
// line of its own, its bytes and a line end; so no byte of a path can end a field
// or a request, and anything else ends the forking exiftool.
//   W  photo                      write photo in memory once (loads modules)
//   S  in  out  err  photo        fork; answers "<tag> <pid>" ("<tag> 0" when it cannot)
// A fork opens the three named pipes, takes them as its standard channels and goes
// on as "-stay_open True -@ -". It dies with the forking exiftool, which ends,
// killing its forks, when its input closes.
constexpr const char* kSpawnerDefinitions = R"perl(
INIT {
    if ($ENV{VELLORAN_EXIFTOOL_SPAWNER}) {
        delete $ENV{VELLORAN_EXIFTOOL_SPAWNER};
        require POSIX;
        my $prctl = eval { require 'sys/syscall.ph'; &SYS_prctl() };
        my (%forks, $warm);
        my $warmUp = sub {
            my $photo = shift;
            return if $warm or not defined $photo or not length $photo;
            $warm = 1;
            eval {
                # In list context exiftool returns its complaints rather than printing them.
                my $et = Image::ExifTool->new;
                my @quiet = ($et->SetNewValue('IFD0:Artist' => 'x'), $et->SetNewValue('XMP-dc:Creator' => 'x'),
                    $et->SetNewValue('ExifIFD:DateTimeOriginal' => '2000:01:01 00:00:00'),
                    $et->SetNewValue('GPS:GPSLatitude' => '1 0 0'));
                my $buffer;
                $et->WriteInfo($photo, \$buffer);
            };
        };
        my $finish = sub {
            kill 'KILL', keys %forks;
            POSIX::_exit(0);
        };
        my $field = sub {
            my $size = <STDIN>;
            return undef unless defined $size and $size =~ /\A([0-9]{1,9})\n\z/;
            my ($want, $data) = ($1, '');
            while (length($data) < $want) {
                my $got = read(STDIN, $data, $want - length($data), length($data));
                return undef unless $got;
            }
            my $end = '';
            return undef unless read(STDIN, $end, 1) and $end eq "\n";
            return $data;
        };
        local $SIG{CHLD} = 'IGNORE';
        binmode STDIN;
        binmode STDOUT;
        $| = 1;
        my $parent = $$;
        while (defined(my $head = <STDIN>)) {
            $finish->() unless $head =~ /\A([WS]) ([0-9]{1,18}) ([0-9])\n\z/;
            my ($kind, $tag, $count) = ($1, $2, $3);
            my @fields;
            for (1 .. $count) {
                my $one = $field->();
                $finish->() unless defined $one;
                push @fields, $one;
            }
            if ($kind eq 'W') { $warmUp->($fields[0]); next; }
            $finish->() unless @fields == 4;
            $warmUp->($fields[3]);
            my $pid = fork;
            if (not defined $pid) { print "$tag 0\n"; next; }
            if ($pid) { $forks{$pid} = 1; next; }
            syscall($prctl, 1, 9) if $prctl; # PR_SET_PDEATHSIG, SIGKILL
            POSIX::_exit(0) if getppid() != $parent;
            $SIG{CHLD} = 'DEFAULT';
            my ($in, $out, $err);
            unless (open($in, '<', $fields[0]) and open($out, '>', $fields[1]) and open($err, '>', $fields[2])) {
                print "$tag 0\n";
                POSIX::_exit(2);
            }
            print "$tag $$\n";
            open(STDIN, '<&', $in) and open(STDOUT, '>&', $out) and open(STDERR, '>&', $err) or POSIX::_exit(2);
            close $in; close $out; close $err;
            $| = 0;
            return;
        }
        $finish->();
    }
}
)perl";

// Every running process of ours (forks and forking ones) by its owner, so that the
// end of the application can kill them from whatever thread it ends on. Never
// destroyed: a writer thread of a pool may end, and unregister its process, after
// the program's statics are gone.
QMutex& registryLock()
{
    static auto* lock = new QMutex;
    return *lock;
}

std::map<const void*, qint64>& registry()
{
    static auto* processes = new std::map<const void*, qint64>;
    return *processes;
}

void registerProcess(const void* owner, qint64 pid)
{
    const QMutexLocker locker(&registryLock());
    if (pid > 0)
        registry()[owner] = pid;
    else
        registry().erase(owner);
}

// Counts the calls of endAll: a process made before the last one is taken for
// ended even while the kernel is still tearing it down.
std::atomic<int>& generation()
{
    static std::atomic<int> count { 0 };
    return count;
}

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The work folders: "velloran-exiftool-" and our token in the temporary folder, held by
// their process for as long as it runs (see HeldFolder).
constexpr const char* kWorkFolderPrefix = "velloran-exiftool-";

HeldFolder& sharedWorkFolder()
{
    static HeldFolder folder(QDir::tempPath(), QString::fromLatin1(kWorkFolderPrefix));
    return folder;
}

// One request to the forking exiftool: its head line, then each field as its
// length, its bytes and a line end.
QByteArray spawnerRequest(char kind, const QByteArray& tag, const QList<QByteArray>& fields)
{
    QByteArray request = QByteArray(1, kind) + ' ' + tag + ' ' + QByteArray::number(fields.size()) + '\n';
    for (const QByteArray& field : fields)
        request += QByteArray::number(field.size()) + '\n' + field + '\n';
    return request;
}

// The warm-up photo as the forking exiftool, which runs in the work folder, reaches it.
QByteArray warmUpName(const QString& photo)
{
    return photo.isEmpty() ? QByteArray() : QFile::encodeName(QFileInfo(photo).absoluteFilePath());
}

// A number no command's output can know beforehand.
qint64 randomStart()
{
    return qint64(QRandomGenerator::global()->bounded(100000000u, 900000000u)) * 1000;
}

int remainingMs(const QDeadlineTimer& deadline, int most)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, most));
}

} // namespace

// The forking exiftool of one program with one set of definitions; shared by the
// ExifToolProcess objects of every thread, one request at a time.
class ExifToolSpawner {
public:
    ExifToolSpawner(QString program, const QByteArray& definitions)
        : m_program(std::move(program))
        , m_folder(ExifToolProcess::workFolder(&m_folderFailure))
        , m_configName(u"spawner-%1.config"_s.arg(nextNumber()))
        , m_nextTag(randomStart())
    {
        if (m_folder.isEmpty())
            return;
        QFile config(QDir(m_folder).filePath(m_configName));
        if (config.open(QIODevice::WriteOnly))
            config.write(QByteArray(kSpawnerDefinitions) + definitions + "\n1;\n");
    }

    ~ExifToolSpawner()
    {
        const QMutexLocker locker(&m_lock);
        end();
    }

    ExifToolSpawner(const ExifToolSpawner&) = delete;
    ExifToolSpawner& operator=(const ExifToolSpawner&) = delete;

    struct Fork {
        qint64 pid = 0;
        int input = -1;
        int output = -1;
        int errors = -1;
    };

    // A new fork, connected; on failure the words for the photo in hand.
    Fork spawn(const QString& warmUpPhoto, int timeoutMs, QString& failure)
    {
        Fork made;
        const QDeadlineTimer deadline(timeoutMs);
        if (m_folder.isEmpty()) {
            failure = u"exiftool could not be started: no work folder for it (%1)"_s.arg(m_folderFailure);
            return made;
        }
        const int number = nextNumber();
        QStringList pipes;
        for (const char* channel : { "in", "out", "err" }) {
            const QString path = QDir(m_folder).filePath(u"pipe-%1-%2"_s.arg(number).arg(QLatin1StringView(channel)));
            if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0) {
                failure = u"exiftool could not be started: no pipe to it (%1)"_s.arg(QString::fromLocal8Bit(strerror(errno)));
                removePipes(pipes);
                return made;
            }
            pipes << path;
        }
        // Our ends first, so that the fork's opens never wait: the input read and
        // written by us (the fork's open for reading finds a writer), the outputs
        // read without waiting (its opens for writing find a reader).
        made.input = ::open(QFile::encodeName(pipes[0]).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        made.output = ::open(QFile::encodeName(pipes[1]).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        made.errors = ::open(QFile::encodeName(pipes[2]).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const auto fail = [&](const QString& why) {
            failure = why;
            closeDescriptor(made.input);
            closeDescriptor(made.output);
            closeDescriptor(made.errors);
            made.pid = 0;
            removePipes(pipes);
            return made;
        };
        if (made.input < 0 || made.output < 0 || made.errors < 0)
            return fail(u"exiftool could not be started: no pipe to it"_s);

        const QMutexLocker locker(&m_lock);
        if (!ensureRunning(failure))
            return fail(failure);
        const QByteArray tag = QByteArray::number(++m_nextTag);
        if (!send(spawnerRequest('S', tag,
                { QFile::encodeName(pipes[0]), QFile::encodeName(pipes[1]), QFile::encodeName(pipes[2]),
                    warmUpName(warmUpPhoto) })))
            return fail(stoppedMessage());
        const QByteArray line = readLine(deadline, timeoutMs, failure);
        if (!failure.isEmpty())
            return fail(failure);
        made.pid = ExifToolProcess::forkedProcessId(line, tag);
        if (made.pid <= 0) {
            if (!line.startsWith(tag + ' ')) {
                // An answer to no request of ours: nothing it says can be trusted.
                qCWarning(lcMetadata).noquote() << "The forking exiftool answered out of turn; it is ended";
                end();
            }
            return fail(u"exiftool could not be started: it could not open its pipes"_s);
        }
        removePipes(pipes);
        return made;
    }

    // Starts the forking exiftool if need be and has it warm up; does not wait. One
    // that cannot start is not tried again here (each photo's own start says why).
    void prepare(const QString& warmUpPhoto)
    {
        const QMutexLocker locker(&m_lock);
        if (m_prepareFailed || (m_pid > 0 && m_warmUpSent))
            return;
        QString failure;
        m_prepareFailed = !ensureRunning(failure);
        if (!m_prepareFailed)
            m_warmUpSent = send(spawnerRequest('W', QByteArray::number(++m_nextTag), { warmUpName(warmUpPhoto) }));
    }

    static QString silentMessage(int timeoutMs)
    {
        return u"exiftool did not answer within %1 seconds; the photo was not changed."_s.arg(timeoutMs / 1000);
    }

    static QString stoppedMessage() { return u"exiftool stopped while writing this photo; the photo was not changed."_s; }

private:
    bool ensureRunning(QString& failure)
    {
        if (m_pid > 0) {
            pollfd check { m_socket, POLLIN, 0 };
            // Nothing is due from it between requests: anything readable is its end.
            if (m_generation == generation() && ::poll(&check, 1, 0) == 0)
                return true;
            end();
        }
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            failure = u"exiftool could not be started: %1"_s.arg(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        // It and its forks run in the work folder, where the files that commands
        // name are made under names of our own.
        const QByteArray folder = QFile::encodeName(m_folder);
        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
        // A relative program would be looked for in the work folder.
        const QByteArray program = QFile::encodeName(
            QDir::isRelativePath(m_program) ? QDir::current().absoluteFilePath(m_program) : m_program);
        const QByteArray config = "./" + QFile::encodeName(m_configName);
        std::vector<char*> argv { const_cast<char*>(program.constData()), const_cast<char*>("-config"),
            const_cast<char*>(config.constData()), const_cast<char*>("-stay_open"), const_cast<char*>("True"),
            const_cast<char*>("-@"), const_cast<char*>("-"), nullptr };
        QByteArray marker = QByteArray(kSpawnerVariable) + "=1";
        std::vector<char*> envp;
        for (char** variable = environ; *variable; ++variable)
            envp.push_back(*variable);
        envp.push_back(marker.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        const int error = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (error != 0) {
            ::close(ends[0]);
            qCWarning(lcMetadata).noquote() << "Cannot start" << m_program << "-" << QString::fromLocal8Bit(strerror(error));
            failure = error == ENOENT || error == EACCES
                ? ExifToolProcess::missingMessage()
                : u"exiftool could not be started: %1"_s.arg(QString::fromLocal8Bit(strerror(error)));
            return false;
        }
        m_socket = ends[0];
        m_pid = pid;
        m_generation = generation();
        registerProcess(this, pid);
        return true;
    }

    bool send(const QByteArray& request)
    {
        qsizetype sent = 0;
        while (sent < request.size()) {
            const ssize_t n = ::send(m_socket, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                end();
                return false;
            }
            sent += n;
        }
        return true;
    }

    QByteArray readLine(const QDeadlineTimer& deadline, int timeoutMs, QString& failure)
    {
        for (;;) {
            const qsizetype at = m_buffer.indexOf('\n');
            if (at >= 0) {
                const QByteArray line = m_buffer.left(at);
                m_buffer.remove(0, at + 1);
                return line;
            }
            if (deadline.hasExpired()) {
                qCWarning(lcMetadata).noquote() << "exiftool made no process in time; it is ended";
                end();
                failure = ExifToolSpawner::silentMessage(timeoutMs);
                return {};
            }
            pollfd wait { m_socket, POLLIN, 0 };
            if (::poll(&wait, 1, remainingMs(deadline, 1000)) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = ::read(m_socket, chunk, sizeof chunk);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0) {
                qCWarning(lcMetadata).noquote() << "The forking exiftool ended";
                end();
                failure = stoppedMessage();
                return {};
            }
            m_buffer.append(chunk, n);
        }
    }

    void end()
    {
        if (m_pid > 0) {
            ::kill(pid_t(m_pid), SIGKILL);
            // Our own child: collected, never left as a zombie.
            while (::waitpid(pid_t(m_pid), nullptr, 0) < 0 && errno == EINTR) { }
        }
        registerProcess(this, 0);
        closeDescriptor(m_socket);
        m_pid = 0;
        m_buffer.clear();
        m_warmUpSent = false;
    }

    static void removePipes(const QStringList& pipes)
    {
        for (const QString& path : pipes)
            QFile::remove(path);
    }

    QString m_program;
    static int nextNumber()
    {
        static std::atomic<int> counter { 0 };
        return counter.fetch_add(1);
    }

    QString m_folderFailure;
    QString m_folder;
    QString m_configName;
    qint64 m_nextTag = 0;
    QMutex m_lock;
    int m_socket = -1;
    qint64 m_pid = 0;
    QByteArray m_buffer;
    int m_generation = 0;
    bool m_prepareFailed = false;
    bool m_warmUpSent = false;
};

namespace {

// The forking exiftool of each program and definitions. Destroyed with the program's
// statics (which removes their folders); a thread's process keeps its own alive.
struct Spawners {
    std::map<std::pair<QString, QByteArray>, std::shared_ptr<ExifToolSpawner>> byKey;
};

Spawners& spawners()
{
    static Spawners all;
    return all;
}

std::shared_ptr<ExifToolSpawner> spawnerFor(const QString& program, const QByteArray& definitions)
{
    const QMutexLocker locker(&registryLock());
    std::shared_ptr<ExifToolSpawner>& spawner = spawners().byKey[{ program, definitions }];
    if (!spawner)
        spawner = std::make_shared<ExifToolSpawner>(program, definitions);
    return spawner;
}

} // namespace

ExifToolProcess::ExifToolProcess(QString program, QByteArray definitions, int timeoutMs)
    : m_program(std::move(program))
    , m_definitions(std::move(definitions))
    , m_timeoutMs(timeoutMs)
{
}

ExifToolProcess::~ExifToolProcess()
{
    stop();
}

QString ExifToolProcess::defaultProgram()
{
    const QString found = QStandardPaths::findExecutable(u"exiftool"_s);
    return found.isEmpty() ? u"exiftool"_s : found;
}

bool ExifToolProcess::isInstalled(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString ExifToolProcess::missingMessage()
{
    return u"This photo can only be written with exiftool, which is not installed (Debian's package "
           u"libimage-exiftool-perl); the photo was not changed."_s;
}

QByteArray ExifToolProcess::argumentLine(const QString& argument)
{
    // exiftool's reading of a plain line: blanks before it go, and so do blanks
    // around the "=" of an assignment and one space after it; "#" starts a comment.
    static const QRegularExpression assignment(u"^-[-:A-Za-z0-9_]+#?(\\s*)[-+<]?=( ?)"_s);
    const QRegularExpressionMatch match = assignment.match(argument);
    const bool plain = !argument.isEmpty() && !argument.contains(u'\n') && !argument.contains(u'\r')
        && argument == argument.trimmed() && !argument.startsWith(u'#')
        && !(match.hasMatch() && (match.capturedLength(1) > 0 || match.capturedLength(2) > 0));
    if (plain)
        return argument.toUtf8() + '\n';
    // A C string line takes "$" and "@" for escapes of its own: they cannot pass.
    if (argument.contains(u'$') || argument.contains(u'@'))
        return {};
    QByteArray line = "#[CSTR]";
    for (const char byte : argument.toUtf8()) {
        switch (byte) {
        case '\\':
            line += "\\\\";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\t':
            line += "\\t";
            break;
        default:
            line += byte;
        }
    }
    return line + '\n';
}

std::optional<QString> ExifToolProcess::answerBefore(const QByteArray& channel, QByteArrayView marker)
{
    // The marker counts only as a line of its own, as exiftool prints it.
    for (qsizetype at = channel.indexOf(marker); at >= 0; at = channel.indexOf(marker, at + 1)) {
        const qsizetype end = at + marker.size();
        const bool startsLine = at == 0 || channel.at(at - 1) == '\n';
        const bool endsLine = end < channel.size()
            && (channel.at(end) == '\n' || (channel.at(end) == '\r' && end + 1 < channel.size() && channel.at(end + 1) == '\n'));
        if (startsLine && endsLine)
            return QString::fromUtf8(channel.left(at)).trimmed();
    }
    return std::nullopt;
}

qint64 ExifToolProcess::forkedProcessId(QByteArrayView line, QByteArrayView tag)
{
    if (tag.isEmpty() || line.size() <= tag.size() + 1 || !line.startsWith(tag) || line.at(tag.size()) != ' ')
        return 0;
    const QByteArrayView number = line.sliced(tag.size() + 1);
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    bool ok = false;
    const qint64 pid = number.toLongLong(&ok);
    return ok && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid : 0;
}

QString ExifToolProcess::workFolder(QString* failure)
{
    const HeldFolder& folder = sharedWorkFolder();
    if (failure)
        *failure = folder.errorString();
    return folder.path();
}

int ExifToolProcess::removeAbandonedWorkFolders(const QString& parent)
{
    return HeldFolder::removeAbandoned(parent, QString::fromLatin1(kWorkFolderPrefix));
}

qint64 ExifToolProcess::processId() const
{
    return isAlive() ? m_pid : 0;
}

bool ExifToolProcess::isAlive() const
{
    if (m_pid <= 0 || m_output < 0 || m_generation != generation())
        return false;
    // Between commands nothing is due on its output: a hang-up there is its end.
    pollfd check { m_output, POLLIN, 0 };
    return ::poll(&check, 1, 0) == 0 || !(check.revents & (POLLHUP | POLLERR));
}

void ExifToolProcess::prepare(const QString& program, const QByteArray& definitions, const QString& warmUpPhoto)
{
    spawnerFor(program, definitions)->prepare(warmUpPhoto);
}

bool ExifToolProcess::ensureStarted(const QString& warmUpPhoto, QString& failure)
{
    // A process that ended since the last command (killed from outside) is noticed here.
    if (isAlive())
        return true;
    kill();
    if (!m_spawner)
        m_spawner = spawnerFor(m_program, m_definitions);
    const ExifToolSpawner::Fork made = m_spawner->spawn(warmUpPhoto, m_timeoutMs, failure);
    if (made.pid <= 0)
        return false;
    m_pid = made.pid;
    m_input = made.input;
    m_output = made.output;
    m_errors = made.errors;
    m_generation = generation();
    registerProcess(this, m_pid);
    return true;
}

ExifToolProcess::Reply ExifToolProcess::execute(const QStringList& arguments, const QString& warmUpPhoto)
{
    Reply reply;
    if (!ensureStarted(warmUpPhoto, reply.failure))
        return reply;

    if (m_sequence == 0)
        m_sequence = randomStart();
    const qint64 number = ++m_sequence;
    const QByteArray marker = "{ready" + QByteArray::number(number) + '}';
    QByteArray command;
    for (const QString& argument : arguments) {
        const QByteArray line = argumentLine(argument);
        if (line.isEmpty()) {
            reply.failure = u"exiftool cannot be given the value \"%1\"; the photo was not changed."_s.arg(argument);
            return reply;
        }
        command += line;
    }
    command += "-echo4\n" + marker + "\n-execute" + QByteArray::number(number) + '\n';

    QByteArray output;
    QByteArray errors;
    bool outputDone = false;
    bool errorsDone = false;
    qsizetype written = 0;
    const QDeadlineTimer deadline(m_timeoutMs);
    const auto stopped = [&] {
        qCWarning(lcMetadata).noquote() << "exiftool ended during a command";
        kill();
        reply.failure = ExifToolSpawner::stoppedMessage();
        return reply;
    };
    while (!(outputDone && errorsDone)) {
        if (deadline.hasExpired()) {
            qCWarning(lcMetadata).noquote() << "exiftool gave no answer within" << m_timeoutMs << "ms; it is ended";
            kill();
            reply.failure = ExifToolSpawner::silentMessage(m_timeoutMs);
            return reply;
        }
        if (written < command.size()) {
            const ssize_t n = ::write(m_input, command.constData() + written, size_t(command.size() - written));
            if (n > 0)
                written += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return stopped();
        }
        pollfd waits[3] = { { m_output, POLLIN, 0 }, { m_errors, POLLIN, 0 },
            { m_input, short(written < command.size() ? POLLOUT : 0), 0 } };
        if (::poll(waits, 3, remainingMs(deadline, 1000)) < 0 && errno != EINTR)
            return stopped();
        for (int i = 0; i < 2; ++i) {
            if (!(waits[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[16384];
            const ssize_t n = ::read(waits[i].fd, chunk, sizeof chunk);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return stopped();
            if (n > 0)
                (i == 0 ? output : errors).append(chunk, n);
        }
        if (!outputDone) {
            const std::optional<QString> text = answerBefore(output, marker);
            outputDone = text.has_value();
            reply.output = text.value_or(QString());
        }
        if (!errorsDone) {
            const std::optional<QString> text = answerBefore(errors, marker);
            errorsDone = text.has_value();
            reply.errors = text.value_or(QString());
        }
    }
    reply.answered = true;
    return reply;
}

void ExifToolProcess::stop()
{
    // Between commands it holds nothing half done: ending it is safe.
    kill();
}

void ExifToolProcess::kill()
{
    registerProcess(this, 0);
    if (m_pid > 0)
        ::kill(pid_t(m_pid), SIGKILL);
    m_pid = 0;
    closeDescriptor(m_input);
    closeDescriptor(m_output);
    closeDescriptor(m_errors);
}

void ExifToolProcess::endAll()
{
    const QMutexLocker locker(&registryLock());
    ++generation();
    for (const auto& [owner, pid] : registry()) {
        qCInfo(lcMetadata).noquote() << "Ending exiftool" << pid;
        ::kill(pid_t(pid), SIGKILL);
    }
    registry().clear();
}
