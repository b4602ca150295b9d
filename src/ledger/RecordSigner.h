#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

// How billing records and events get their signature, and have it checked,
// when working without sending each record (NO VERI*FACTU). The book holds
// no certificate: whoever opened one gives these functions.
struct RecordSigner {
    enum class Kind { Record, Event };

    // The record or event (the root of its own document) signed at 'at'.
    // Throws AppError when it cannot be signed: then nothing is stored.
    std::function<QByteArray(const QByteArray& xml, Kind kind, const QDateTime& at)> sign;

    explicit operator bool() const { return bool(sign); }
};

// What is wrong with a stored record's or event's signature, in Spanish;
// empty when it holds.
using SignatureCheck = std::function<QString(const QByteArray& xml, RecordSigner::Kind kind)>;
