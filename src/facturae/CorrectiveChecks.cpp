#include "facturae/CorrectiveChecks.h"

#include "facturae/CheckReport.h"
#include "facturae/CorrectiveCodes.h"
#include "facturae/XmlDocument.h"

using XmlNodes::child;
using XmlNodes::children;
using XmlNodes::descend;
using XmlNodes::text;

namespace CorrectiveChecks {

namespace {

// The official descriptions are under a hundred characters; a longer text is
// not one, and the message need not repeat all of it.
QString shown(const QString& written) {
    constexpr qsizetype Longest = 150;
    return written.size() > Longest ? written.left(Longest) + u'…' : written;
}

// One code and its description. An unknown code or a missing element is the
// schema's finding: there is no description to expect then.
void checkPair(CheckReport& report, const xmlNode* corrective, const char* codeName,
               const char* descriptionName, QString (*official)(const QString&),
               const QString& what) {
    const xmlNode* codeNode = child(corrective, codeName);
    const xmlNode* descriptionNode = child(corrective, descriptionName);
    if (!codeNode || !descriptionNode)
        return;
    const QString code = text(codeNode).trimmed();
    const QString expected = official(code);
    const QString written = text(descriptionNode);
    if (expected.isEmpty() || written == expected)
        return;
    report.error("F-R1", descriptionNode,
                 QStringLiteral("La descripción «%1» no es la del código «%2» del %3 (%4); debe "
                                "ser «%5».")
                     .arg(shown(written), code, what, QString::fromLatin1(codeName), expected));
}

} // namespace

void run(const xmlNode* root, CheckReport& report) {
    for (const xmlNode* invoice : children(child(root, "Invoices"), "Invoice")) {
        const xmlNode* corrective = descend(invoice, {"InvoiceHeader", "Corrective"});
        if (!corrective)
            continue;
        checkPair(report, corrective, "ReasonCode", "ReasonDescription",
                  &CorrectiveCodes::reasonDescription,
                  QStringLiteral("motivo de la rectificación"));
        checkPair(report, corrective, "CorrectionMethod", "CorrectionMethodDescription",
                  &CorrectiveCodes::correctionMethodDescription,
                  QStringLiteral("criterio de la rectificación"));
    }
}

CheckFindings correctedInBook(const QByteArray& document, const HeldInBook& held) {
    const XmlDocument doc(document);
    if (!doc.isRead())
        return {};
    const xmlNode* root = doc.root();
    const QString seller = text(
        descend(root, {"Parties", "SellerParty", "TaxIdentification", "TaxIdentificationNumber"}));
    CheckReport report;
    for (const xmlNode* invoice : children(child(root, "Invoices"), "Invoice")) {
        const xmlNode* corrective = descend(invoice, {"InvoiceHeader", "Corrective"});
        const xmlNode* number = child(corrective, "InvoiceNumber");
        if (!number)
            continue;
        const QString series = text(child(corrective, "InvoiceSeriesCode")).trimmed();
        const QString seriesNumber =
            series.isEmpty() ? text(number).trimmed() : series + u'-' + text(number).trimmed();
        if (!held(seller.trimmed(), seriesNumber))
            report.warning("F-R2", corrective,
                           QStringLiteral("La factura %1 que esta rectifica no está en el libro de "
                                          "facturas: compruebe la serie y el número de la factura "
                                          "rectificada.")
                               .arg(seriesNumber));
    }
    return report.take();
}

} // namespace CorrectiveChecks
