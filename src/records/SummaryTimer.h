#pragma once

#include "records/GenerationTime.h"

#include <QDateTime>

#include <optional>

// When the event log's summary is written: at least every 6 hours while the
// program runs (this class), and always when it quits (the caller). A tool
// command, which runs for moments, writes one only when 6 hours have passed
// since the last one. The clock is injected: the program's is the system
// clock.
class SummaryTimer {
public:
    static constexpr qint64 IntervalSeconds = 6 * 60 * 60;

    // The program has just started: the first summary is due 6 hours later.
    explicit SummaryTimer(GenerationTime::Clock clock);

    // Whether a summary is due now; asked every minute or so while the
    // program runs. A clock set back does not take back the time already
    // run: the hours are counted as the program ran them.
    bool due();
    // The time the next summary is due, for the program's timer.
    QDateTime nextDue();
    // A summary was written now (by the program, or by a tool command).
    void written();

    // For a tool command: whether a summary is due, given the last one's
    // time (or the mode's start when none was written yet; nothing when
    // neither is known). A last summary after now (a clock set back) is not
    // 6 hours old.
    static bool dueForCommand(const std::optional<QDateTime>& last, const QDateTime& now);

private:
    // The clock read now, the start of the 6 hours moved back with it when
    // it went back.
    QDateTime now();

    GenerationTime::Clock m_clock;
    QDateTime m_since;    // when the current 6 hours started
    QDateTime m_lastSeen; // the clock when last read
};
