#include "session/IssuedTaxQr.h"

#include "book/BookError.h"
#include "common/AppError.h"
#include "facturae/TaxQrLine.h"
#include "ledger/RecordStore.h"
#include "records/QrAddress.h"
#include "records/RecordReader.h"
#include "settings/AppFiles.h"
#include "storage/IniFile.h"

namespace IssuedTaxQr {

namespace {

QString legendText(RecordSettings::Legend legend) {
    return legend == RecordSettings::Legend::Sede
               ? QStringLiteral("Factura verificable en la sede electrónica de la AEAT")
               : QStringLiteral("VERI*FACTU");
}

// Whether the book keeps an alta whose own figures give exactly address.
bool madeFromBook(const QString& appDir, const QString& address, const QrAddress::Parts& parts,
                  const BookDatabase::Options& options) {
    std::unique_ptr<BookDatabase> db;
    try {
        db = BookDatabase::openExisting(appDir, options);
    } catch (const BookError&) {
        return false; // no book, or one that cannot be read: not shown as ours
    }
    for (const StoredRecord& stored : RecordStore(*db).ofInvoice(parts.numSerie)) {
        if (stored.kind != StoredRecord::Kind::Alta || stored.chain.issuerNif != parts.nif)
            continue;
        try {
            const Fingerprint::RecordTexts texts = RecordReader::read(stored.bytes).fingerprinted;
            QrAddress::Parts own = parts;
            own.nif = texts.issuerNif;
            own.numSerie = texts.numSerie;
            own.date = texts.issueDate;
            own.amount = texts.importeTotal;
            if (QrAddress::build(own) == address)
                return true;
        } catch (const AppError&) {
            // A record that does not read says nothing about this address.
        }
    }
    return false;
}

} // namespace

QString address(const BillingRecord& record, const RecordSettings& settings) {
    return QrAddress::forRecord(
        record,
        settings.mode == RecordSettings::Mode::NoVerifactu ? QrAddress::Service::NoVerifactu
                                                           : QrAddress::Service::Verifactu,
        settings.environment == RecordSettings::Environment::Test ? QrAddress::Host::Test
                                                                  : QrAddress::Host::Production);
}

QString legend(const RecordSettings& settings) {
    return settings.mode == RecordSettings::Mode::Verifactu ? legendText(settings.legend)
                                                            : QString();
}

TaxQr of(const QString& appDir, const QByteArray& document, const BookDatabase::Options& options) {
    const QString found = TaxQrLine::inDocument(document);
    const std::optional<QrAddress::Parts> parts = QrAddress::read(found);
    if (!parts || !madeFromBook(appDir, found, *parts, options))
        return {};
    TaxQr qr;
    qr.address = found;
    if (parts->service == QrAddress::Service::Verifactu) {
        // A setting the program does not know prints the usual legend.
        QStringList problems;
        qr.legend = legendText(
            RecordSettings::readKnown(IniFile(AppFiles::registroIni(appDir)), problems).legend);
    }
    return qr;
}

} // namespace IssuedTaxQr
