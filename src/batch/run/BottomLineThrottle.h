#pragma once

#include <QtGlobal>
#include <optional>

// When the bottom line of a run is drawn again: at most every kIntervalMs, and
// only when one of its figures (the percentage, the error count, the elapsed
// seconds) has changed since it was last drawn. Drive it from a timer of that
// interval and from the run's progress; the figures shown are the same as with a
// line drawn on every tick.
class BottomLineThrottle {
public:
    static constexpr qint64 kIntervalMs = 100;

    struct Figures {
        qint64 percent = 0;
        qint64 failed = 0;
        qint64 elapsedSeconds = 0;
        bool operator==(const Figures&) const = default;
    };

    // Whether to draw now (nowMs on a steady clock); a draw is remembered. force
    // draws changed figures at once, for the run's last figures.
    bool shouldRefresh(qint64 nowMs, const Figures& figures, bool force = false)
    {
        if (m_lastFigures && *m_lastFigures == figures)
            return false;
        if (!force && m_lastDrawMs && nowMs - *m_lastDrawMs < kIntervalMs)
            return false;
        m_lastDrawMs = nowMs;
        m_lastFigures = figures;
        return true;
    }

    // Forget what was drawn: the next call draws.
    void reset()
    {
        m_lastDrawMs.reset();
        m_lastFigures.reset();
    }

private:
    std::optional<qint64> m_lastDrawMs;
    std::optional<Figures> m_lastFigures;
};
