#pragma once

// Starting orvane-book-issuer from a test.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace IssuerProcess {

inline void start(QProcess& process, const QString& book, const QStringList& more) {
    process.start(QStringLiteral(ORVANE_BOOK_ISSUER),
                  QStringList{QStringLiteral("--book"), book, QStringLiteral("--series"),
                              QStringLiteral("A")} +
                      more);
    process.waitForStarted();
}

// The numbers the issuer reported committed.
inline QStringList reported(QProcess& process) {
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace IssuerProcess
