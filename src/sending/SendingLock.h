#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Only one program sends a book's records at a time: the window and the tool,
// or two tools, would otherwise put the same waiting records in two messages.
// A lock file beside the book, held for the whole pass; one left by a program
// that died (killed, a power cut) is taken over, since the process it names
// no longer runs.
class SendingLock {
public:
    static constexpr const char* FileName = "Libro.db.envio";

    // Takes the lock of the book at bookPath without waiting; held() says
    // whether it was taken.
    explicit SendingLock(const QString& bookPath);

    bool held() const { return m_held; }

    // Spanish: another program is sending this book's records.
    static QString busyMessage();

private:
    std::unique_ptr<QLockFile> m_file;
    bool m_held = false;
};
