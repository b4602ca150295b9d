#pragma once

#include <QString>
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

// The error box's text: a full stop is added unless the message already ends
// in "." or a character that sorts before it.
inline QString withFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() <= QLatin1Char('.'))
        return message;
    return message + QLatin1Char('.');
}
