#pragma once

#include "ledger/RecordSigner.h"

#include <QByteArray>
#include <QString>

#include <memory>

class SigningCertificate;

// The certificate the program signs with for the whole run (billing records
// and events when working without sending each record, and whatever else
// needs the user's certificate), opened once with the password the person
// gives at start. Only the opened key is kept, in memory: the password is
// wiped as soon as the file opens, and clear() (at quit) frees the key.
class RunCredentials {
public:
    RunCredentials();

    // The certificate file: given when not empty, else [FIRMA] CERTIFICADO
    // of appDir's Registro.Ini, relative to appDir; empty when neither names
    // one.
    static QString certificateFile(const QString& appDir, const QString& given = {});

    // Opens path with password (wiped whatever happens) and keeps it for the
    // run. Throws AppError (WrongPasswordError for a wrong password) and
    // keeps what it had.
    void open(const QString& path, QByteArray& password);
    // Keeps a certificate opened elsewhere.
    void keep(SigningCertificate certificate);
    // The person would not give the password: nothing is signed in this run
    // until a certificate is opened after all.
    void decline();
    // Forgets the certificate; signers handed out before refuse from now on.
    void clear();

    bool isOpen() const;
    bool declined() const;
    // The certificate kept, or none.
    std::shared_ptr<const SigningCertificate> certificate() const;

    // Signs with the certificate kept when it is asked to sign (not when it
    // is made), so that one signer can be handed out for the whole run; it
    // refuses with AppError while none is kept.
    RecordSigner signer() const;

private:
    struct State {
        std::shared_ptr<const SigningCertificate> certificate;
        bool declined = false;
    };
    std::shared_ptr<State> m_state;
};
