#pragma once

#include "sending/RecordId.h"

#include <QByteArray>
#include <QList>

// One message for the tax agency's service: the records' body
// (RegFactuSistemaFacturacion) wrapped in a SOAP 1.1 envelope, and the ids of
// the records it carries, in order, to match the answer against.
class SubmissionMessage {
public:
    static constexpr int MaxRecords = 1000;

    // Wraps the body's bytes as they are: only the envelope's own namespace is
    // declared above them. Throws AppError (Spanish) when the body is not
    // UTF-8, not well-formed, not a RegFactuSistemaFacturacion, holds no
    // record or more than MaxRecords, or holds two records with the same id
    // and operation (the answer could not tell them apart).
    static SubmissionMessage fromBody(const QByteArray& body);

    const QByteArray& envelope() const { return m_envelope; }
    const QList<RecordId>& records() const { return m_records; }

private:
    QByteArray m_envelope;
    QList<RecordId> m_records;
};
