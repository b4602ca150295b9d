#pragma once

#include <QDateTime>

#include <functional>

// When the next message may go to the tax agency. After an answer the service
// says how long to wait (TiempoEsperaEnvio, 60 s unless it says otherwise);
// a full message (1,000 records waiting) may go at once. After a failure the
// wait grows from a minute and never passes an hour, so pending records are
// tried at least hourly. A message the service refused as a whole is held
// until the person asks to send again. A book that has never sent sends at
// once. The state is a plain value the caller keeps across restarts.
class SendingSchedule {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int FullMessage = 1000;
    static constexpr int FirstRetrySeconds = 60;
    static constexpr int LongestRetrySeconds = 3600;
    static constexpr int DefaultWaitSeconds = 60;

    struct State {
        QDateTime nextAllowed; // UTC; invalid: never sent, send at once
        int waitSeconds = 0;   // the wait that set nextAllowed
        int failures = 0;      // failed attempts in a row
        bool held = false;     // refused as a whole: wait for the person
        friend bool operator==(const State&, const State&) = default;
    };

    explicit SendingSchedule(Clock clock);
    SendingSchedule(Clock clock, State state);

    // True when a message may go now with that many records waiting.
    bool mayStart(int pendingRecords);
    // When to try next with that many records waiting: now or later; invalid
    // when nothing is waiting or sending is held.
    QDateTime nextAttempt(int pendingRecords);

    void answered(int waitSeconds);
    void failed();
    void refusedAsWhole();
    void resume(); // the person asks to send again

    const State& state() const { return m_state; }

private:
    QDateTime now() const { return m_clock().toUTC(); }
    void waitFromNow(int seconds);
    // A clock set back must not hold sending for as long as it went back.
    void keepWithinWait();

    Clock m_clock;
    State m_state;
};
