#include "records/SummaryTimer.h"

SummaryTimer::SummaryTimer(GenerationTime::Clock clock)
    : m_clock(std::move(clock)), m_since(m_clock()) {}

QDateTime SummaryTimer::nextDue(const QDateTime& now) {
    if (now < m_since)
        m_since = now;
    return m_since.addSecs(IntervalSeconds);
}

QDateTime SummaryTimer::nextDue() {
    return nextDue(m_clock());
}

bool SummaryTimer::due() {
    const QDateTime now = m_clock();
    return now >= nextDue(now);
}

void SummaryTimer::written() {
    m_since = m_clock();
}

bool SummaryTimer::dueForCommand(const std::optional<QDateTime>& last, const QDateTime& now) {
    return !last || now >= last->addSecs(IntervalSeconds);
}
