#pragma once

#include "sending/RecordId.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One line of the service's answer: what became of one record.
struct AnswerLine {
    enum class State { Correcto, AceptadoConErrores, Incorrecto };

    RecordId id;
    State state = State::Incorrecto;
    int errorCode = 0; // CodigoErrorRegistro, 0 when none
    QString errorDescription;
    // RegistroDuplicado: the agency already holds a record with this id.
    bool duplicate = false;
    QString duplicateState;     // EstadoRegistroDuplicado: Correcta, AceptadaConErrores, Anulada
    QString duplicateRequestId; // IdPeticionRegistroDuplicado
};

// RespuestaRegFactuSistemaFacturacion.
struct ServiceAnswer {
    static constexpr int DefaultWaitSeconds = 60;

    QString csv;                          // the receipt; only when something was accepted
    int waitSeconds = DefaultWaitSeconds; // TiempoEsperaEnvio
    QString submissionState;              // EstadoEnvio: Correcto, ParcialmenteCorrecto, Incorrecto
    QList<AnswerLine> lines;
};

// A SOAP 1.1 fault. The agency writes its code into the text:
// "Codigo[4104].Error en la cabecera: ...".
struct SoapFault {
    bool clientSide = true; // faultcode Client: the message itself is wrong
    QString faultCode;      // as written, e.g. "env:Client"
    QString faultString;    // as written
    int agencyCode = 0;     // the code inside faultString, 0 when none
    QString text;           // faultString without the code
};

// What the bytes of a reply turned out to be.
struct ServiceReply {
    enum class Kind { Answer, Fault, Unreadable };

    Kind kind = Kind::Unreadable;
    ServiceAnswer answer;
    SoapFault fault;
    QString problem; // Unreadable: why, in Spanish

    static ServiceReply parse(const QByteArray& bytes);
};
