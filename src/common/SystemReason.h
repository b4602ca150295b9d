#pragma once

#include <QString>

// The reason the system or Qt gave for a failed file operation, in Spanish.
// Their own texts come in the language of the C library or of Qt (English
// unless translations are installed), and a user who reads Spanish must never
// get them as the reason. Known reasons are translated; any other is kept,
// but only as a detail after a Spanish lead.
namespace SystemReason {

// For an errno value ("no queda espacio en el disco").
QString ofErrno(int code);

// For a text that QFile, QSaveFile or strerror() gave.
QString spanish(const QString& systemText);

} // namespace SystemReason
