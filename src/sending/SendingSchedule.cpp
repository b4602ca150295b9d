#include "sending/SendingSchedule.h"

#include <algorithm>

SendingSchedule::SendingSchedule(Clock clock) : m_clock(std::move(clock)) {}

SendingSchedule::SendingSchedule(Clock clock, State state)
    : m_clock(std::move(clock)), m_state(std::move(state)) {}

void SendingSchedule::keepWithinWait() {
    if (!m_state.nextAllowed.isValid())
        return;
    const QDateTime latest = now().addSecs(m_state.waitSeconds);
    if (m_state.nextAllowed > latest)
        m_state.nextAllowed = latest;
}

QDateTime SendingSchedule::nextAttempt(int pendingRecords) {
    if (pendingRecords <= 0 || m_state.held)
        return {};
    const QDateTime current = now();
    if (!m_state.nextAllowed.isValid())
        return current;
    keepWithinWait();
    // A full message need not wait for the service's pause, but a failure's does.
    if (m_state.failures == 0 && pendingRecords >= FullMessage)
        return current;
    return std::max(current, m_state.nextAllowed);
}

bool SendingSchedule::mayStart(int pendingRecords) {
    const QDateTime next = nextAttempt(pendingRecords);
    return next.isValid() && next <= now();
}

void SendingSchedule::waitFromNow(int seconds) {
    m_state.waitSeconds = std::max(0, seconds);
    m_state.nextAllowed = now().addSecs(m_state.waitSeconds);
}

void SendingSchedule::answered(int waitSeconds) {
    m_state.failures = 0;
    m_state.held = false;
    waitFromNow(waitSeconds);
}

void SendingSchedule::failed() {
    ++m_state.failures;
    const int doublings = std::min(m_state.failures - 1, 6);
    waitFromNow(std::min(FirstRetrySeconds << doublings, LongestRetrySeconds));
}

void SendingSchedule::refusedAsWhole() {
    m_state.failures = 0;
    m_state.held = true;
    waitFromNow(DefaultWaitSeconds);
}

void SendingSchedule::resume() {
    m_state.held = false;
}
