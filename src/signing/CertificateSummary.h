#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

typedef struct x509_st X509;

// What a person wants to know about a certificate: whose it is, the tax ids in
// its subject, who issued it and how long it is valid.
struct CertificateSummary {
    QString holderName;    // the subject's common name
    QString personName;    // the subject's given name and surname, when it has them
    QString personalTaxId; // from serialNumber ("IDCES-12345678Z" gives 12345678Z)
    QString companyTaxId;  // from organizationIdentifier ("VATES-B12345678" gives B12345678)
    QString companyName;   // the subject's organization
    QString issuerName;    // the issuer's common name (or its whole name)
    QDateTime validFrom;   // UTC
    QDateTime validTo;     // UTC

    static CertificateSummary of(X509* certificate);
    // The same from DER bytes; empty when they are no certificate.
    static CertificateSummary ofDer(const QByteArray& der);

    // The name a reader knows the holder by: the common name, else the given
    // name and surname, else the organisation.
    QString name() const;

    // True when taxId names the holder or the holder's company. Letter case,
    // blanks, hyphens and a leading country code "ES" do not count.
    bool matchesTaxId(const QString& taxId) const;

    // "Nombre (NIF 12345678Z), válido hasta el 31/12/2027" and the like.
    QString describe() const;
};
