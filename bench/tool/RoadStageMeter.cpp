#include "RoadStageMeter.h"

#include <QFile>
#include <algorithm>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

RoadStageMeter::RoadStageMeter(int beatMs, QObject* parent)
    : QObject(parent)
    , m_beatMs(std::max(1, beatMs))
{
    m_between.name = u"(between stages)"_s;
    // A coarse timer may fire up to 5 % late by design; that is no stall.
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    m_heartbeat.setInterval(m_beatMs);
    connect(&m_heartbeat, &QTimer::timeout, this, &RoadStageMeter::beat);
    m_clock.start();
}

void RoadStageMeter::start()
{
    m_lastBeatNs = m_clock.nsecsElapsed();
    m_heartbeat.start();
}

void RoadStageMeter::stop()
{
    beat();
    m_heartbeat.stop();
}

RoadStageMeter::Stage* RoadStageMeter::current()
{
    return m_inStage ? &m_stages.last() : &m_between;
}

QString RoadStageMeter::currentStage() const
{
    return m_inStage ? m_stages.last().name : m_between.name;
}

void RoadStageMeter::beginStage(const QString& name)
{
    endStage();
    // A gap in progress belongs to the stage that had the main thread.
    if (m_heartbeat.isActive())
        beat();
    Stage stage;
    stage.name = name;
    m_stages.append(stage);
    m_inStage = true;
    m_stageStartNs = m_clock.nsecsElapsed();
    m_longestEventMs = 0;
}

void RoadStageMeter::endStage()
{
    if (!m_inStage)
        return;
    if (m_heartbeat.isActive())
        beat();
    m_stages.last().seconds = double(m_clock.nsecsElapsed() - m_stageStartNs) / 1e9;
    m_inStage = false;
    m_longestEventMs = m_between.longestEvent.ms;
}

void RoadStageMeter::beat()
{
    const qint64 now = m_clock.nsecsElapsed();
    const double gap = double(now - m_lastBeatNs) / 1e6;
    m_lastBeatNs = now;
    Stage* stage = current();
    stage->longestGapMs = std::max(stage->longestGapMs, gap);
    stage->peakResidentMb = std::max(stage->peakResidentMb, residentMb());
    if (gap > m_longestGapMs) {
        m_longestGapMs = gap;
        m_longestGapStage = stage->name;
    }
}

bool RoadStageMeter::countEvent(double ms, double cpuMs)
{
    Stage* stage = current();
    if (ms > kFrameMs)
        ++stage->eventsOverAFrame;
    return ms > m_longestEventMs || cpuMs > stage->busiestEvent.cpuMs;
}

void RoadStageMeter::recordEvent(double ms, double cpuMs, const QString& what)
{
    Stage* stage = current();
    if (ms > m_longestEventMs) {
        stage->longestEvent = { ms, cpuMs, what, stage->name };
        m_longestEventMs = ms;
    }
    if (cpuMs > stage->busiestEvent.cpuMs)
        stage->busiestEvent = { ms, cpuMs, what, stage->name };
}

RoadStageMeter::SlowEvent RoadStageMeter::longestEvent() const
{
    SlowEvent longest = m_between.longestEvent;
    for (const Stage& stage : m_stages) {
        if (stage.longestEvent.ms > longest.ms)
            longest = stage.longestEvent;
    }
    return longest;
}

double RoadStageMeter::residentMb()
{
    // The second number of statm: resident pages.
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const double pages = statm.readAll().split(' ').value(1).toDouble();
    return pages * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

double RoadStageMeter::peakResidentMb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024 / 1e6;
    }
    return 0;
}

QString RoadStageMeter::table() const
{
    QString text = u"%1 %2 %3 %4 %5 %6  %7\n"_s.arg(u"stage"_s, -22)
                       .arg(u"seconds"_s, 9)
                       .arg(u"longest gap ms"_s, 15)
                       .arg(u"peak MB"_s, 8)
                       .arg(u"events > 16 ms"_s, 15)
                       .arg(u"longest event (ms, its cpu ms, receiver)"_s, -60)
                       .arg(u"busiest event (ms, its cpu ms, receiver)"_s);
    const auto row = [&text](const Stage& stage, bool timed) {
        const auto event = [](const SlowEvent& e) {
            return u"%1 %2 %3"_s.arg(e.ms, 0, 'f', 1).arg(e.cpuMs, 0, 'f', 1).arg(e.what);
        };
        text += u"%1 %2 %3 %4 %5  %6 %7\n"_s.arg(stage.name, -22)
                    .arg(timed ? QString::number(stage.seconds, 'f', 3) : u"-"_s, 9)
                    .arg(QString::number(stage.longestGapMs, 'f', 1), 15)
                    .arg(QString::number(stage.peakResidentMb, 'f', 0), 8)
                    .arg(stage.eventsOverAFrame, 15)
                    .arg(event(stage.longestEvent), -60)
                    .arg(event(stage.busiestEvent));
    };
    for (const Stage& stage : m_stages)
        row(stage, true);
    row(m_between, false);
    return text;
}
