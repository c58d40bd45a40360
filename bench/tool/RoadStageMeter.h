#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// Times the stages of a path through the application and watches its main thread
// meanwhile. A heartbeat timer fires every few milliseconds on the main thread; the
// longest gap between two beats is the longest time the event loop could not serve
// a timer (nor a click or a repaint). The caller may also report every event the
// main thread delivers, with how long it took, so that the longest one is named.
//
// Main thread only.
class RoadStageMeter : public QObject {
    Q_OBJECT
public:
    // The longest single event delivery seen: how long, what received it, in which stage.
    struct SlowEvent {
        double ms = 0;
        double cpuMs = 0; // the main thread's processor time in it: the rest it waited for a core
        QString what;
        QString stage;
    };
    // An event longer than this holds back a frame.
    static constexpr double kFrameMs = 16;
    struct Stage {
        QString name;
        double seconds = 0;
        double longestGapMs = 0; // the longest time between two heartbeats within the stage
        SlowEvent longestEvent;
        int eventsOverAFrame = 0; // events that took longer than kFrameMs
        SlowEvent busiestEvent; // the event that took the most processor time
        double peakResidentMb = 0; // the largest resident size seen at a heartbeat of the stage
    };

    explicit RoadStageMeter(int beatMs = 10, QObject* parent = nullptr);

    // The heartbeat runs from start() to stop(); gaps outside any stage count under "(between stages)".
    void start();
    void stop();

    // Ends the stage in progress, if any, and starts one of this name.
    void beginStage(const QString& name);
    void endStage();
    QString currentStage() const;

    // One event delivered on the main thread, its wall time and the main thread's
    // processor time in it; `describe` is called only when the event is the longest
    // of its stage so far.
    template <typename Describe> void eventDelivered(qint64 nanoseconds, qint64 cpuNanoseconds, Describe&& describe)
    {
        const double ms = double(nanoseconds) / 1e6;
        const double cpuMs = double(cpuNanoseconds) / 1e6;
        if (countEvent(ms, cpuMs))
            recordEvent(ms, cpuMs, describe());
    }

    const QList<Stage>& stages() const { return m_stages; }
    // The longest gap between two beats over the whole run and the stage it ended in.
    double longestGapMs() const { return m_longestGapMs; }
    QString longestGapStage() const { return m_longestGapStage; }
    // The longest event over the whole run.
    SlowEvent longestEvent() const;

    // A plain-text table: one row per stage (seconds, longest gap, peak size, events
    // over a frame, the longest event, the busiest event), in order.
    QString table() const;

    int beatMs() const { return m_beatMs; }

    // This process's resident size now and at its peak so far, in MB (from /proc; 0 where there is none).
    static double residentMb();
    static double peakResidentMb();

private:
    void beat();
    // Counts the event; true when it is the longest or the busiest of its stage so far.
    bool countEvent(double ms, double cpuMs);
    void recordEvent(double ms, double cpuMs, const QString& what);
    Stage* current();

    int m_beatMs;
    QTimer m_heartbeat;
    QElapsedTimer m_clock;
    qint64 m_lastBeatNs = 0;
    qint64 m_stageStartNs = 0;
    bool m_inStage = false;
    QList<Stage> m_stages;
    Stage m_between;
    double m_longestGapMs = 0;
    QString m_longestGapStage;
    double m_longestEventMs = 0; // of the stage in progress
};
