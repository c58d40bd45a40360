#include "platform/ExifToolProcess.h"

#include "base/Logging.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <map>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Every running process of ours by its owner, so that the end of the application
// can kill them from whatever thread it ends on. Never destroyed: a writer thread
// of a pool may end, and unregister its process, after the program's statics are gone.
QMutex& registryLock()
{
    static auto* lock = new QMutex;
    return *lock;
}

std::map<const ExifToolProcess*, qint64>& registry()
{
    static auto* processes = new std::map<const ExifToolProcess*, qint64>;
    return *processes;
}

void registerProcess(const ExifToolProcess* owner, qint64 pid)
{
    const QMutexLocker locker(&registryLock());
    if (pid > 0)
        registry()[owner] = pid;
    else
        registry().erase(owner);
}

// Takes the text before the marker line and answers whether the marker came.
bool takeUntilMarker(QByteArray& buffer, const QByteArray& marker, QString& text)
{
    const qsizetype at = buffer.indexOf(marker);
    if (at < 0)
        return false;
    text = QString::fromUtf8(buffer.left(at)).trimmed();
    return true;
}

} // namespace

ExifToolProcess::ExifToolProcess(QString program, QStringList leadingArguments, int timeoutMs)
    : m_program(std::move(program))
    , m_leading(std::move(leadingArguments))
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
    const bool plain = !argument.contains(u'\n') && !argument.contains(u'\r') && !argument.contains(u'\\')
        && argument == argument.trimmed() && !argument.startsWith(u'#');
    if (plain)
        return argument.toUtf8() + '\n';
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

qint64 ExifToolProcess::processId() const
{
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

bool ExifToolProcess::ensureStarted(QString& failure)
{
    // A process that ended since the last command (killed from outside) is noticed here.
    if (m_process && m_process->state() == QProcess::Running && !m_process->waitForFinished(0))
        return true;
    kill();
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_program);
    m_process->setArguments(m_leading + QStringList { u"-stay_open"_s, u"True"_s, u"-@"_s, u"-"_s });
    // exiftool would wait on its standard input for ever once we are gone: it
    // ends with the thread that started it.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start();
    if (!m_process->waitForStarted(m_timeoutMs)) {
        const bool missing = m_process->error() == QProcess::FailedToStart;
        qCWarning(lcMetadata).noquote() << "Cannot start" << m_program << "-" << m_process->errorString();
        failure = missing ? missingMessage() : u"exiftool could not be started: %1"_s.arg(m_process->errorString());
        m_process.reset();
        return false;
    }
    registerProcess(this, m_process->processId());
    return true;
}

ExifToolProcess::Reply ExifToolProcess::execute(const QStringList& arguments)
{
    Reply reply;
    if (!ensureStarted(reply.failure))
        return reply;

    const int number = ++m_sequence;
    const QByteArray marker = "{ready" + QByteArray::number(number) + '}';
    QByteArray command;
    for (const QString& argument : arguments)
        command += argumentLine(argument);
    command += "-echo4\n" + marker + "\n-execute" + QByteArray::number(number) + '\n';
    m_process->write(command);

    QByteArray output;
    QByteArray errors;
    bool outputDone = false;
    bool errorsDone = false;
    const QDeadlineTimer deadline(m_timeoutMs);
    while (!(outputDone && errorsDone)) {
        if (m_process->state() != QProcess::Running) {
            qCWarning(lcMetadata).noquote() << "exiftool ended during a command:" << m_process->errorString();
            kill();
            reply.failure = u"exiftool stopped while writing this photo; the photo was not changed."_s;
            return reply;
        }
        if (deadline.hasExpired()) {
            qCWarning(lcMetadata).noquote() << "exiftool gave no answer within" << m_timeoutMs << "ms; it is ended";
            kill();
            reply.failure = u"exiftool did not answer within %1 seconds; the photo was not changed."_s.arg(
                m_timeoutMs / 1000);
            return reply;
        }
        m_process->setReadChannel(outputDone ? QProcess::StandardError : QProcess::StandardOutput);
        m_process->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 50)));
        output += m_process->readAllStandardOutput();
        errors += m_process->readAllStandardError();
        outputDone = outputDone || takeUntilMarker(output, marker, reply.output);
        errorsDone = errorsDone || takeUntilMarker(errors, marker, reply.errors);
    }
    reply.answered = true;
    return reply;
}

void ExifToolProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() == QProcess::Running) {
        m_process->write("-stay_open\nFalse\n");
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(2000))
            kill();
    }
    kill();
}

void ExifToolProcess::kill()
{
    registerProcess(this, 0);
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

void ExifToolProcess::endAll()
{
    const QMutexLocker locker(&registryLock());
    for (const auto& [owner, pid] : registry()) {
        qCInfo(lcMetadata).noquote() << "Ending exiftool" << pid;
        ::kill(pid_t(pid), SIGKILL);
    }
    registry().clear();
}
