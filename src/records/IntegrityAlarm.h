#pragma once

#include "records/ChainCheck.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The alarm a fault of an integrity check raises: which check found it, at
// which sequence number, what. The caller stores it (toJson) and shows it
// until the user resolves it, which needs a note.
struct IntegrityAlarm {
    enum class Check { Records, Events };

    Check check = Check::Records;
    qint64 sequence = 0;
    QString subject; // the record's invoice, the event's type and time; may be empty
    QString what;
    QDateTime raisedAt;
    std::optional<QDateTime> resolvedAt;
    QString note;

    static IntegrityAlarm raise(Check check, const ChainFault& fault, const QDateTime& at);

    bool active() const { return !resolvedAt; }
    // Throws AppError, changing nothing, when the note is blank or the alarm
    // was resolved already.
    void resolve(const QString& note, const QDateTime& at);

    // What the user reads, in Spanish.
    QString text() const;

    QByteArray toJson() const;
    // Throws AppError when the bytes are not an alarm toJson wrote.
    static IntegrityAlarm fromJson(const QByteArray& json);
};
