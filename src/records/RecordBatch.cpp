#include "records/RecordBatch.h"

#include "common/AppError.h"
#include "records/RecordText.h"
#include "records/RecordXmlWriter.h"

namespace RecordBatch {

QByteArray recordElement(const QByteArray& stored) {
    QByteArray element = stored.trimmed();
    if (element.startsWith("<?xml")) {
        const qsizetype end = element.indexOf("?>");
        element = end < 0 ? QByteArray() : element.mid(end + 2).trimmed();
    }
    return element;
}

QByteArray element(const Header& header, const QList<QByteArray>& records) {
    if (records.isEmpty())
        throw AppError(QStringLiteral("No hay registros de facturación que enviar o exportar"));
    if (records.size() > MaxRecords)
        throw AppError(QStringLiteral("Un envío lleva como mucho %1 registros de facturación, y "
                                      "se le han dado %2")
                           .arg(MaxRecords)
                           .arg(records.size()));

    const QString nif = RecordText::value(header.issuerNif);
    const QString name = RecordText::value(header.issuerName);
    if (name.isEmpty() || name.size() > 120 || nif.size() != 9)
        throw AppError(QStringLiteral("Cabecera del envío: el obligado a expedir las facturas "
                                      "necesita un nombre de hasta 120 caracteres y un NIF de "
                                      "nueve; revise Mis datos"));

    RecordXmlWriter out;
    const QByteArray declarations = RecordNamespaces::declarations();
    out.start("sum:RegFactuSistemaFacturacion", declarations);
    out.start("sum:Cabecera");
    out.start("sum1:ObligadoEmision");
    out.text("sum1:NombreRazon", name);
    out.text("sum1:NIF", nif);
    out.end();
    if (header.verifactuEnd || header.incident) {
        out.start("sum1:RemisionVoluntaria");
        if (header.verifactuEnd)
            out.text("sum1:FechaFinVeriFactu", RecordText::date(*header.verifactuEnd));
        if (header.incident)
            out.text("sum1:Incidencia", RecordText::yesNo(*header.incident));
        out.end();
    }
    out.end();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QByteArray record = recordElement(records[i]);
        // Only records written with the prefix the root declares keep their
        // canonical form inside the batch.
        if (!record.startsWith("<sum1:RegistroAlta" + declarations + '>') &&
            !record.startsWith("<sum1:RegistroAnulacion" + declarations + '>'))
            throw AppError(QStringLiteral("El registro %1 de los que se envían o exportan no es un "
                                          "registro de facturación guardado por Orvane")
                               .arg(i + 1));
        out.start("sum:RegistroFactura");
        out.raw(record);
        out.end();
    }
    out.end();
    return out.take();
}

QByteArray document(const Header& header, const QList<QByteArray>& records) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + element(header, records) + '\n';
}

} // namespace RecordBatch
