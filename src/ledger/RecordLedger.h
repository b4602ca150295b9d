#pragma once

#include "book/InvoiceBook.h"
#include "ledger/RecordSigner.h"
#include "ledger/StoredRecord.h"
#include "records/BillingRecord.h"
#include "records/GenerationTime.h"
#include "records/ProducerData.h"

#include <optional>

class BookDatabase;

// Keeps the chain of billing records in the book. The chain's head is its
// last stored record, read again for every new one inside the same write
// transaction, so two programs appending at once queue up and each links to
// the other's record; the book's unique keys refuse two records naming one
// predecessor whatever happens.
class RecordLedger {
public:
    struct Options {
        // Stamps each record's generation time; the system's by default.
        GenerationTime::Clock clock;
        // Who makes the program (SistemaInformatico); the built-in data by default.
        std::optional<ProducerData> producer;
        // Signs each record before it is stored, in the same transaction
        // (working without sending each record); unset: records are stored
        // unsigned. A record that cannot be signed is not stored, nor is
        // the invoice it belongs to.
        RecordSigner signer = {};
    };

    explicit RecordLedger(BookDatabase& db) : RecordLedger(db, Options()) {}
    RecordLedger(BookDatabase& db, Options options);

    // This installation's number, made once per book: every record of the
    // book carries it and its chain is known by it.
    QString installationNumber();

    // Appends the record of draft to its issuer's chain: numbered after the
    // last record and naming it (or marked the first when the book holds
    // none), stamped with the time now in the draft's territory and with this
    // program and installation. Refused with AppError, nothing written, when
    // the record breaks a rule of the tax agency, the last record is damaged
    // or dated after now plus a minute (a clock set back), or the book holds
    // another chain (Orvane never starts a second one beside it). Inside the
    // caller's transaction when there is one (InvoiceBook's SameTransaction),
    // so the invoice and its record are kept together or not at all.
    StoredRecord append(BillingRecord draft, std::optional<qint64> invoiceId = std::nullopt);

    // Issues row into the book together with draft's record in one
    // transaction. No record is made when nothing is written (the same
    // document again, or another invoice holding the number).
    struct Issued {
        InvoiceBook::IssueResult invoice;
        std::optional<StoredRecord> record;
    };
    Issued issue(const InvoiceRow& row, const BillingRecord& draft);

    // Cancels the issued invoice of issuerNif named seriesNumber (as the book
    // lists it): appends its RegistroAnulacion (SinRegistroPrevio when the
    // invoice has no record, issued before records were made; RechazoPrevio
    // when the agency rejected its earlier cancellation) and the history row
    // "anulada", in one transaction. Refused with AppError, nothing written,
    // for an invoice not in the book or cancelled already.
    StoredRecord cancel(const QString& issuerNif, const QString& seriesNumber, Territory territory);

private:
    BookDatabase& m_db;
    GenerationTime::Clock m_clock;
    ProducerData m_producer;
    RecordSigner m_signer;
};
