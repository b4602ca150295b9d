#include "records/SummaryTimer.h"

SummaryTimer::SummaryTimer(GenerationTime::Clock clock)
    : m_clock(std::move(clock)), m_since(m_clock()), m_lastSeen(m_since) {}

QDateTime SummaryTimer::now() {
    const QDateTime now = m_clock();
    if (now < m_lastSeen)
        m_since = m_since.addMSecs(now.toMSecsSinceEpoch() - m_lastSeen.toMSecsSinceEpoch());
    m_lastSeen = now;
    return now;
}

QDateTime SummaryTimer::nextDue() {
    now();
    return m_since.addSecs(IntervalSeconds);
}

bool SummaryTimer::due() {
    return now() >= m_since.addSecs(IntervalSeconds);
}

void SummaryTimer::written() {
    m_since = now();
}

bool SummaryTimer::dueForCommand(const std::optional<QDateTime>& last, const QDateTime& now) {
    return !last || now >= last->addSecs(IntervalSeconds);
}
