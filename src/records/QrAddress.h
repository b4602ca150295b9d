#pragma once

#include "records/BillingRecord.h"

#include <QString>

#include <optional>

// The address the tax QR of an invoice holds, where the customer checks the
// invoice with the tax agency: ".../wlpl/TIKE-CONT/ValidarQR?nif=…&numserie=…
// &fecha=dd-mm-aaaa&importe=…". One place builds it for the record, the
// printed copy and the document; the same place tells whether an address
// found in someone else's document is one of these.
namespace QrAddress {

// ValidarQR in VERI*FACTU mode, ValidarQRNoVerifactu in the other mode.
enum class Service { Verifactu, NoVerifactu };
// The tax agency's production host or its test host.
enum class Host { Production, Test };

struct Parts {
    Service service = Service::Verifactu;
    Host host = Host::Production;
    QString nif;
    QString numSerie;
    QString date;   // dd-mm-aaaa
    QString amount; // as the record writes ImporteTotal: a point, up to two decimals
};

// Every parameter percent-encoded as UTF-8. Throws AppError naming the part
// that breaks a rule (a NIF that is not one, a series outside ASCII 32-126 or
// with " ' < > =, a date not dd-mm-aaaa, an amount with a comma or more than
// 12 integer or 2 decimal digits).
QString build(const Parts& parts);

// The address of an alta: the issuer, the invoice and ImporteTotal exactly as
// the record writes them.
QString forRecord(const BillingRecord& record, Service service, Host host);

// The parts of an address that is one of the tax agency's QR addresses and
// obeys every rule: https, one of the two hosts, one of the two paths,
// exactly the four parameters (never "formato=json"), each percent-encoded.
// Nothing for anything else: a document's hostile address must not be shown
// as a tax QR.
std::optional<Parts> read(const QString& address);

} // namespace QrAddress
