#pragma once

#include <QString>

// Brings libxml2, OpenSSL (with its legacy provider, for older certificate
// files) and libxmlsec1 up once per process, and keeps the libraries' last
// error text so that a failure can say why.
class XmlSecurity {
public:
    // Throws AppError when a library cannot be started.
    static void ensureStarted();

    // The libraries' most recent error text on this thread, then forgotten.
    static QString takeLastError();
    // The OpenSSL error queue's most recent entry, then the queue is cleared.
    static QString takeOpenSslError();
};
