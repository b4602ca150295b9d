#pragma once

#include "facturae/CheckFinding.h"
#include "signing/SignatureVerifier.h"
#include "signing/SigningCertificate.h"

#include <QString>

#include <optional>

class InvoiceSession;
class MainStatusBar;
class QWidget;

// The person's side of signing with a certificate file and of checking a
// signed invoice: what is asked, in which order, and how the result is told.
// The work is the session's; every question goes through Prompts.
class SignatureFlow {
public:
    static const QString SignedFilter; // open-dialog filters for signed invoices

    // Asks the certificate's password, warns (and asks to go on) when the
    // document's issuer is not the certificate's holder, signs, checks the
    // written file and says where it is; returns that file, or an empty text
    // when the person stopped. The document is checked again as it is signed,
    // so what is signed is what passed. Errors are thrown as AppError.
    static QString signWithCertificate(QWidget* parent, InvoiceSession& session,
                                       const QString& document);

    // signWithCertificate, with the outcome in the status bar: where the
    // signed file is, that the person stopped, or why it failed (rethrown).
    static void signAndReport(QWidget* parent, InvoiceSession& session, const QString& document,
                              MainStatusBar& status);

    // A chosen document's check, beside the window as the invoice's is.
    static CheckFindings checkDocumentFile(QWidget* parent, const QString& path);

    // Shows what a check found. Returns whether to go on: with errors, the
    // person's answer when saving, never when signing; otherwise true.
    static bool reviewFindings(QWidget* parent, const CheckFindings& findings, bool whileSaving);

    // Asks the password of the certificate file at path and opens it; none
    // when the person cancels. A wrong password is asked again, up to
    // PasswordTries times in all. The password is wiped once the file is
    // open. Errors are thrown as AppError. why, when given, goes before the
    // question.
    static constexpr int PasswordTries = 3;
    static std::optional<SigningCertificate> openAsked(QWidget* parent, const QString& path,
                                                       const QString& why = {});

    // "Comprobar firma": picks a signed file and shows what its check found.
    static void checkSignature(QWidget* parent, InvoiceSession& session);

    // The findings as the person reads them, one per line.
    static QString findingsText(const QString& path, const SignatureReport& report);
};
