#pragma once

#include "ledger/EventLog.h"
#include "ledger/RecordSettings.h"
#include "ledger/RecordSigner.h"
#include "settings/RegistroIni.h"

#include <QString>

#include <memory>
#include <optional>

class IniFile;

class BookDatabase;
class QTextStream;
class SigningCertificate;

// What a command needs when working without sending each record (NO
// VERI*FACTU), where every record and event it writes is signed: the
// settings of --home and the certificate, opened once with its password and
// kept only for the command's run.
struct RecordSigning {
    IssuerSettings issuer;
    RecordSettings settings;
    std::shared_ptr<const SigningCertificate> certificate;

    // Signs records (RecordLedger::Options::signer) and events.
    RecordSigner signer() const;
    // The issuer's event log in the book.
    EventLog log(BookDatabase& db) const;

    // Nothing outside that mode. In it, the certificate of certificatePath
    // (empty: [FIRMA] CERTIFICADO of Registro.Ini, relative to home) opened
    // with the password read as sign reads it (readPassword). Throws
    // AppError when there is no certificate, the password cannot be read,
    // the certificate does not open with it or cannot sign now.
    static std::optional<RecordSigning> open(const QString& home, const QString& certificatePath,
                                             const QString& passwordFile, int passwordFd,
                                             QTextStream& err);

    // Whether home's Registro.Ini sets the mode whose commands sign what
    // they write. Throws AppError for a mode the program does not know.
    static bool modeSigns(const QString& home);

    // The issuer's name as records write it: a person's with the surnames.
    static QString issuerName(const IssuerSettings& issuer);
    // The certificate file: given (--cert) or else [FIRMA] CERTIFICADO of ini,
    // relative to home; empty when neither names one.
    static QString certificateFile(const IniFile& ini, const QString& home, const QString& given);
};
