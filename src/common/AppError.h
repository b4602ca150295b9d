#pragma once

#include <QString>

#include <new>
#include <stdexcept>

// The one error type of the core. It carries the text the user sees in the
// application error box; callers never inspect anything else.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// The Spanish text for an error that is not ours (out of memory, a library's
// own exception): its English words only as a detail.
inline QString unexpectedError(const std::exception& error) {
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return QStringLiteral("No hay memoria suficiente para terminar esta operación");
    return QStringLiteral("Error inesperado (detalle: %1)")
        .arg(QString::fromLocal8Bit(error.what()));
}

// The error box's text: a full stop is added unless the message already ends
// in "." or a character that sorts before it.
inline QString withFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() <= QLatin1Char('.'))
        return message;
    return message + QLatin1Char('.');
}
