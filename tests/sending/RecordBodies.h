#pragma once

// Message bodies for the tests: the tax agency's example billing record with
// its invoice number changed, and a hand-written cancellation, inside a
// RegFactuSistemaFacturacion with the example's issuer. Each is valid against
// the published schemas.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace RecordBodies {

inline constexpr char Issuer[] = "89890001K";
inline constexpr char IssueDate[] = "03-02-2025";

struct Entry {
    QString number;
    bool cancellation = false;
};

inline QByteArray exampleRecord() {
    QFile file(QStringLiteral(ORVANE_THIRD_PARTY_DIR "/verifactu/examples/ejemploRegistro.xml"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray alta(const QString& number) {
    static const QByteArray example = exampleRecord();
    QByteArray record = example;
    const QByteArray original = "<sum1:NumSerieFactura>12345678-G66</sum1:NumSerieFactura>";
    record.replace(record.indexOf(original), original.size(),
                   "<sum1:NumSerieFactura>" + number.toUtf8() + "</sum1:NumSerieFactura>");
    return record;
}

inline QByteArray anulacion(const QString& number) {
    return "<sum1:RegistroAnulacion xmlns:sum1=\"https://www2.agenciatributaria.gob.es/"
           "static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/"
           "SuministroInformacion.xsd\">\n"
           "\t<sum1:IDVersion>1.0</sum1:IDVersion>\n"
           "\t<sum1:IDFactura>\n"
           "\t\t<sum1:IDEmisorFacturaAnulada>89890001K</sum1:IDEmisorFacturaAnulada>\n"
           "\t\t<sum1:NumSerieFacturaAnulada>" +
           number.toUtf8() +
           "</sum1:NumSerieFacturaAnulada>\n"
           "\t\t<sum1:FechaExpedicionFacturaAnulada>03-02-2025"
           "</sum1:FechaExpedicionFacturaAnulada>\n"
           "\t</sum1:IDFactura>\n"
           "\t<sum1:Encadenamiento>\n\t\t<sum1:RegistroAnterior>\n"
           "\t\t\t<sum1:IDEmisorFactura>89890001K</sum1:IDEmisorFactura>\n"
           "\t\t\t<sum1:NumSerieFactura>12345678-G66</sum1:NumSerieFactura>\n"
           "\t\t\t<sum1:FechaExpedicionFactura>03-02-2025</sum1:FechaExpedicionFactura>\n"
           "\t\t\t<sum1:Huella>FF954378B64ED331A9B2366AD317D86E9DEC1716B12DD0ACCB172A6DC4C105AA"
           "</sum1:Huella>\n"
           "\t\t</sum1:RegistroAnterior>\n\t</sum1:Encadenamiento>\n"
           "\t<sum1:SistemaInformatico>\n"
           "\t\t<sum1:NombreRazon>CERTIFICADO UNO TELEMATICAS</sum1:NombreRazon>\n"
           "\t\t<sum1:NIF>89890001K</sum1:NIF>\n"
           "\t\t<sum1:NombreSistemaInformatico>NombreSistemaInformatico"
           "</sum1:NombreSistemaInformatico>\n"
           "\t\t<sum1:IdSistemaInformatico>77</sum1:IdSistemaInformatico>\n"
           "\t\t<sum1:Version>1.0.03</sum1:Version>\n"
           "\t\t<sum1:NumeroInstalacion>383</sum1:NumeroInstalacion>\n"
           "\t\t<sum1:TipoUsoPosibleSoloVerifactu>S</sum1:TipoUsoPosibleSoloVerifactu>\n"
           "\t\t<sum1:TipoUsoPosibleMultiOT>N</sum1:TipoUsoPosibleMultiOT>\n"
           "\t\t<sum1:IndicadorMultiplesOT>N</sum1:IndicadorMultiplesOT>\n"
           "\t</sum1:SistemaInformatico>\n"
           "\t<sum1:FechaHoraHusoGenRegistro>2025-02-03T14:35:00+01:00"
           "</sum1:FechaHoraHusoGenRegistro>\n"
           "\t<sum1:TipoHuella>01</sum1:TipoHuella>\n"
           "\t<sum1:Huella>0D6B0E9DA8D1B0C3A4A5A9E4E8C9B0F1D2C3B4A5968778695A4B3C2D1E0F1A2B"
           "</sum1:Huella>\n"
           "</sum1:RegistroAnulacion>";
}

// The body with the records in the order given.
inline QByteArray body(const QList<Entry>& entries) {
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<sum:RegFactuSistemaFacturacion xmlns:sum=\"https://www2.agenciatributaria."
                      "gob.es/static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/"
                      "SuministroLR.xsd\" xmlns:sum1=\"https://www2.agenciatributaria.gob.es/"
                      "static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/"
                      "SuministroInformacion.xsd\">\n"
                      "<sum:Cabecera><sum1:ObligadoEmision><sum1:NombreRazon>certificado uno "
                      "telematicas</sum1:NombreRazon><sum1:NIF>89890001K</sum1:NIF>"
                      "</sum1:ObligadoEmision></sum:Cabecera>\n";
    for (const Entry& entry : entries) {
        text += "<sum:RegistroFactura>";
        text += entry.cancellation ? anulacion(entry.number) : alta(entry.number);
        text += "</sum:RegistroFactura>\n";
    }
    return text + "</sum:RegFactuSistemaFacturacion>\n";
}

// Altas numbered, ... A-count.
inline QByteArray altas(int count) {
    QList<Entry> entries;
    for (int i = 1; i <= count; ++i)
        entries.append({QStringLiteral("A-%1").arg(i)});
    return body(entries);
}

} // namespace RecordBodies
