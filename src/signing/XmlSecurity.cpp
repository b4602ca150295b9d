#include "signing/XmlSecurity.h"

#include "common/AppError.h"

#include <libxml/parser.h>
#include <openssl/err.h>
#include <openssl/provider.h>
#include <xmlsec/crypto.h>
#include <xmlsec/errors.h>
#include <xmlsec/xmlsec.h>

#include <mutex>

namespace {

thread_local QString lastError;

void keepXmlSecError(const char* file, int line, const char* func, const char* errorObject,
                     const char* errorSubject, int reason, const char* msg) {
    Q_UNUSED(file);
    Q_UNUSED(line);
    Q_UNUSED(func);
    Q_UNUSED(errorObject);
    Q_UNUSED(reason);
    QString text = QString::fromUtf8(msg ? msg : "");
    if (errorSubject && *errorSubject)
        text = QString::fromUtf8(errorSubject) + QStringLiteral(": ") + text;
    lastError = text;
}

// libxml2 would print every parse error on stderr; the caller reports it.
void keepXmlError(void*, const xmlError* error) {
    if (error && error->message)
        lastError = QString::fromUtf8(error->message).trimmed();
}

QString startFailure;

void start() {
    xmlInitParser();
    xmlSetStructuredErrorFunc(nullptr, reinterpret_cast<xmlStructuredErrorFunc>(keepXmlError));
    // Loading a provider by hand turns the automatic default off, so both go.
    OSSL_PROVIDER_load(nullptr, "default");
    OSSL_PROVIDER_load(nullptr, "legacy"); // RC2/3DES in older .p12 files; optional
    ERR_clear_error();
    if (xmlSecInit() < 0) {
        startFailure = QStringLiteral("No se pudo iniciar la biblioteca de firma XML");
        return;
    }
    if (xmlSecCheckVersion() != 1) {
        startFailure = QStringLiteral("La versión de la biblioteca de firma XML no es compatible");
        return;
    }
    if (xmlSecCryptoAppInit(nullptr) < 0 || xmlSecCryptoInit() < 0)
        startFailure = QStringLiteral("No se pudo iniciar el motor criptográfico de la firma XML");
    // Last: starting the library and its engine puts a printing callback in place.
    xmlSecErrorsDefaultCallbackEnableOutput(0);
    xmlSecErrorsSetCallback(keepXmlSecError);
}

} // namespace

void XmlSecurity::ensureStarted() {
    static std::once_flag once;
    std::call_once(once, start);
    if (!startFailure.isEmpty())
        throw AppError(startFailure);
}

QString XmlSecurity::takeLastError() {
    QString text = lastError;
    lastError.clear();
    return text;
}

QString XmlSecurity::takeOpenSslError() {
    unsigned long code = 0;
    unsigned long last = 0;
    while ((code = ERR_get_error()) != 0)
        last = code;
    if (last == 0)
        return {};
    char buffer[256];
    ERR_error_string_n(last, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}
