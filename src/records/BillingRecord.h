#pragma once

#include "common/Decimal.h"
#include "invoice/VatTreatment.h"
#include "records/GenerationTime.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A billing record as the tax agency defines it: what is written for an
// invoice issued (alta) or cancelled (anulación), chained to the record made
// before it. A plain value: an invoice is mapped onto it, RecordBuilder
// turns it into the stored XML and its fingerprint.

// The three fields that name an invoice to the tax agency.
struct InvoiceId {
    QString issuerNif;
    QString numSerie; // series and number exactly as printed ("A-2027-001")
    QDate issueDate;
};

// The customer: a Spanish tax id, or another country's id.
struct Recipient {
    QString name;
    QString nif;         // set for a Spanish tax id; otherId is used when empty
    QString countryCode; // ISO 3166 alpha-2, for otherId
    QString idType;      // 02 NIF-IVA, 03 passport, 04 id of the country, 05, 06, 07
    QString otherId;
};

// One line of the breakdown: the invoice's amounts of one treatment and rate.
// Exempt and not-subject amounts carry no rate and no tax; reverse charge is
// written at rate 0 with tax 0.
struct TaxDetail {
    VatTreatment treatment = VatTreatment::S1;
    Decimal rate;
    Decimal base;
    Decimal quota;
};

// F1 an ordinary invoice; R1-R4 corrective invoices (art. 80.1, 80.2 and
// errors in law; 80.3; 80.4; the rest).
enum class InvoiceType { F1, R1, R2, R3, R4 };
QString invoiceTypeCode(InvoiceType type);
inline bool isCorrective(InvoiceType type) {
    return type != InvoiceType::F1;
}

// A corrective invoice replaces the corrected one's amounts (S) or states
// the differences (I).
enum class CorrectionKind { Substitution, Differences };

// What a corrective invoice by substitution corrects: the corrected invoice's
// base and tax.
struct CorrectedAmounts {
    Decimal base;
    Decimal quota;
};

// RechazoPrevio: N none; S the tax agency rejected the earlier record; X the
// earlier record never reached it.
enum class PreviousRejection { None, Rejected, NeverReceived };

// The program that made the record: its producer, name, two-character id,
// version and installation.
struct SoftwareSystem {
    QString producerName;
    QString producerNif;
    QString systemName;
    QString systemId;
    QString version;
    QString installationNumber;
    bool onlyVerifactu = false;
    bool multipleTaxpayersPossible = false;
    bool multipleTaxpayers = false;
};

// The record's place in the chain: the first one, or after a record whose
// invoice and fingerprint it names.
struct ChainLink {
    bool first = true;
    InvoiceId previous;
    QString previousHuella;

    static ChainLink start() { return {}; }
    static ChainLink after(const InvoiceId& id, const QString& huella) {
        return {false, id, huella};
    }
};

struct BillingRecord {
    enum class Kind { Alta, Anulacion };

    Kind kind = Kind::Alta;
    InvoiceId invoice;

    // Alta only.
    QString issuerName;
    InvoiceType type = InvoiceType::F1;
    CorrectionKind correction = CorrectionKind::Substitution; // for R1-R4
    QList<InvoiceId> corrected;                               // for R1-R4
    std::optional<CorrectedAmounts> correctedAmounts;         // for substitution
    QString description;
    QList<Recipient> recipients;
    QList<TaxDetail> details;
    bool subsanacion = false;

    // Both kinds: an alta may be None, Rejected or NeverReceived; an
    // anulación None or Rejected.
    PreviousRejection previousRejection = PreviousRejection::None;
    // Anulación only: the cancelled invoice has no record of its own.
    bool withoutPriorRecord = false;

    ChainLink chain;
    SoftwareSystem system;
    QDateTime generatedAt;
    Territory territory = Territory::Peninsula;

    // CuotaTotal: the tax of the breakdown.
    Decimal cuotaTotal() const;
    // ImporteTotal: bases plus tax, never reduced by a withholding.
    Decimal importeTotal() const;
};
