#include "records/EventRecord.h"

#include "common/AppError.h"
#include "records/RecordReader.h"
#include "records/RecordText.h"

void RecordTally::add(const ReadRecord& record) {
    const Fingerprint::RecordTexts& t = record.fingerprinted;
    const RecordRef ref{t.issuerNif.trimmed(), t.numSerie.trimmed(), t.issueDate.trimmed(),
                        record.huella.trimmed()};
    if (t.anulacion) {
        ++anulaciones;
    } else {
        const auto cuota = RecordText::readAmount(t.cuotaTotal);
        const auto importe = RecordText::readAmount(t.importeTotal);
        if (!cuota || !importe)
            throw AppError(QStringLiteral("El registro de facturación de la factura %1 no tiene "
                                          "CuotaTotal e ImporteTotal legibles: compruebe la "
                                          "cadena de registros")
                               .arg(record.invoiceText()));
        ++altas;
        cuotaTotal += *cuota;
        importeTotal += *importe;
    }
    if (!first)
        first = ref;
    last = ref;
}
