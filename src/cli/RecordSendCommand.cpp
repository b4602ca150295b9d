#include "cli/RecordSendCommand.h"

#include "cli/PasswordInput.h"
#include "cli/RecordSigning.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "sending/RecordSending.h"
#include "sending/ServiceSettings.h"
#include "session/InvoiceSession.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "signing/SigningCertificate.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

int sendRecords(const QString& home, const QString& certificatePath, const QString& passwordFile,
                int passwordFd, QTextStream& out, QTextStream& err) {
    const IniFile ini(AppFiles::registroIni(home));
    if (RecordSettings::read(ini).mode != RecordSettings::Mode::Verifactu)
        throw AppError(QStringLiteral("Orvane solo envía registros en el modo VERI*FACTU "
                                      "([VERIFACTU] MODO=VERIFACTU en %1): no se ha enviado nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    const ServiceSettings service = ServiceSettings::read(ini, home);
    const QString book = QDir(home).filePath(QString::fromLatin1(BookDatabase::FileName));
    if (!QFileInfo::exists(book))
        throw AppError(QStringLiteral("No hay libro de facturas en %1: no hay registros que "
                                      "enviar. Indique la carpeta del programa con --home")
                           .arg(QDir::toNativeSeparators(QDir(home).absolutePath())));

    const QString path = RecordSigning::certificateFile(home, certificatePath);
    if (path.isEmpty())
        throw AppError(QStringLiteral("La Agencia Tributaria solo acepta registros con el "
                                      "certificado del emisor, y no hay ninguno: indíquelo en "
                                      "Configuración > Firma ([FIRMA] CERTIFICADO en %1) o con "
                                      "--cert. No se ha enviado nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    QByteArray password = readPassword(passwordFile, passwordFd, err);
    // openCertificate wipes the password whatever happens.
    const SigningCertificate certificate = InvoiceSession::openCertificate(path, password);
    const ClientSetup setup = ClientSetup::make(service, &certificate, path);

    const IssuerSettings issuer = IssuerSettings::read(ini);
    RecordBatch::Header header;
    header.issuerNif = issuer.taxId.trimmed();
    header.issuerName = RecordSigning::issuerName(issuer);

    const auto db = BookDatabase::open(home);
    const RecordSending::Pass pass =
        RecordSending::run(*db, header, setup, [] { return QDateTime::currentDateTimeUtc(); });

    if (pass.busy) {
        err << pass.message << '\n';
        return 1;
    }
    if (!pass.sent && pass.notBefore.isValid()) {
        err << QStringLiteral("Aún no se puede enviar: la Agencia Tributaria pide esperar entre "
                              "envíos. El próximo podrá hacerse desde las %1. Quedan %2 "
                              "registros pendientes de envío.")
                   .arg(pass.notBefore.toLocalTime().toString(
                       QStringLiteral("HH:mm:ss 'del' dd/MM/yyyy")))
                   .arg(pass.stillWaiting)
            << '\n';
        return 1;
    }
    if (!pass.sent) {
        out << "No hay registros pendientes de envío.\n";
        return 0;
    }
    out << pass.message << '\n';
    for (const QString& problem : pass.problems)
        err << problem << '\n';
    if (pass.stillWaiting > 0)
        err << QStringLiteral("Quedan %1 registros pendientes de envío.").arg(pass.stillWaiting)
            << '\n';
    return pass.ok() ? 0 : 1;
}
