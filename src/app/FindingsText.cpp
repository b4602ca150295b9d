#include "app/FindingsText.h"

#include <QRegularExpression>

namespace FindingsText {

QString fieldOf(const QString& path) {
    const QString who = path.contains(u"/SellerParty/")  ? QStringLiteral(" del emisor")
                        : path.contains(u"/BuyerParty/") ? QStringLiteral(" del cliente")
                                                         : QString();
    static const QRegularExpression line(QStringLiteral("/InvoiceLine\\[(\\d+)\\]"));
    if (const QRegularExpressionMatch m = line.match(path); m.hasMatch())
        return QStringLiteral("Línea %1").arg(m.captured(1));
    if (path.contains(u"/AdministrativeCentre"))
        return QStringLiteral("Centros administrativos");
    struct Field {
        const char* element;
        const char* name;
    };
    static const Field fields[] = {{"/TaxIdentificationNumber", "NIF"},
                                   {"/PersonTypeCode", "Tipo de persona"},
                                   {"/CorporateName", "Nombre"},
                                   {"/Individual/Name", "Nombre"},
                                   {"/FirstSurname", "Primer apellido"},
                                   {"/PostCode", "Código postal"},
                                   {"/Town", "Población"},
                                   {"/Province", "Provincia"},
                                   {"/Address", "Dirección"},
                                   {"/IBAN", "IBAN"},
                                   {"/InvoiceNumber", "Número de factura"},
                                   {"/InvoiceSeriesCode", "Serie"},
                                   {"/IssueDate", "Fecha de la factura"},
                                   {"/InstallmentDueDate", "Vencimiento"},
                                   {"/TaxesWithheld", "Retención I.R.P.F."},
                                   {"/InvoiceTotals", "Totales"},
                                   {"/TaxesOutputs", "Totales"}};
    for (const Field& f : fields) {
        if (path.contains(QLatin1String(f.element)))
            return QString::fromUtf8(f.name) + who;
    }
    return {};
}

QString list(const CheckFindings& findings) {
    QStringList lines;
    for (const CheckFinding& f : findings) {
        if (f.severity == CheckFinding::Severity::Info)
            continue;
        const QString field = fieldOf(f.path);
        const QString lead = f.isError() ? QStringLiteral("Error") : QStringLiteral("Aviso");
        lines << (field.isEmpty()
                      ? QStringLiteral("• %1 %2: %3").arg(lead, f.code, f.message)
                      : QStringLiteral("• %1 %2 en %3: %4").arg(lead, f.code, field, f.message));
    }
    return lines.join(u'\n');
}

} // namespace FindingsText
