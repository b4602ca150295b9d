#include "facturae/DocumentCheck.h"

#include "common/AppError.h"
#include "facturae/AmountChecks.h"
#include "facturae/CheckReport.h"
#include "facturae/CorrectiveChecks.h"
#include "facturae/FacturaeSchemas.h"
#include "facturae/PartyChecks.h"
#include "facturae/PaymentChecks.h"
#include "facturae/XmlDocument.h"

#include <exception>
#include <thread>

namespace DocumentCheck {

namespace {

void checkVersion(CheckReport& report, const xmlNode* root, QString& version) {
    const QString uri =
        root->ns ? QString::fromUtf8(reinterpret_cast<const char*>(root->ns->href)) : QString();
    version = FacturaeSchemas::versionOfNamespace(uri);
    const xmlNode* stated = XmlNodes::descend(root, {"FileHeader", "SchemaVersion"});
    const QString statedVersion = XmlNodes::text(stated).trimmed();
    if (version.isEmpty()) {
        report.error(
            "F-XSD", root,
            uri.isEmpty()
                ? QStringLiteral("El elemento «Facturae» no lleva el espacio de nombres de "
                                 "ninguna versión de Facturae.")
                : QStringLiteral("El espacio de nombres «%1» no es el de ninguna versión de "
                                 "Facturae (3.2, 3.2.1 o 3.2.2).")
                      .arg(uri));
        return;
    }
    if (stated && statedVersion != version)
        report.error(
            "F-XSD", stated,
            QStringLiteral("El documento dice ser de la versión «%1» (SchemaVersion), pero "
                           "su espacio de nombres es el de la versión %2.")
                .arg(statedVersion, version));
}

const xmlNode* signatureOf(const xmlNode* root) {
    for (const xmlNode* n = root->children; n; n = n->next) {
        if (XmlNodes::isSignature(n))
            return n;
    }
    return nullptr;
}

} // namespace

CheckFindings run(const QByteArray& bytes) {
    return run(XmlDocument(bytes));
}

CheckFindings run(const XmlDocument& document) {
    FacturaeSchemas::installResourceLoader();
    CheckReport report;
    // Nothing outside the bytes is read, a DOCTYPE (and with it any entity)
    // is refused, and so is nesting deeper than any invoice.
    if (!document.isRead()) {
        CheckFinding refused;
        refused.code = QStringLiteral("F-XSD");
        refused.path = QStringLiteral("/");
        refused.line = document.problemLine();
        refused.message = withFullStop(document.problem());
        report.add(refused);
        return report.take();
    }
    const xmlNode* root = document.root();
    if (!root || !XmlNodes::isNamed(root, "Facturae")) {
        report.error("F-XSD", root,
                     QStringLiteral("El documento no es una factura Facturae: su elemento raíz es "
                                    "«%1».")
                         .arg(root ? QString::fromUtf8(reinterpret_cast<const char*>(root->name))
                                   : QString()));
        return report.take();
    }

    // The document's own checks only read the tree: they run beside the
    // schema validation, which reads it too.
    CheckReport own;
    std::exception_ptr ownFailure;
    std::thread ownChecks([root, &own, &ownFailure] {
        try {
            AmountChecks::run(root, own);
            PartyChecks::run(root, own);
            PaymentChecks::run(root, own);
            CorrectiveChecks::run(root, own);
        } catch (...) {
            ownFailure = std::current_exception();
        }
    });
    QString version;
    try {
        checkVersion(report, root, version);
        if (!version.isEmpty()) {
            for (CheckFinding& finding : FacturaeSchemas::validate(document.doc(), version))
                report.add(std::move(finding));
        }
    } catch (...) {
        ownChecks.join();
        throw;
    }
    ownChecks.join();
    if (ownFailure)
        std::rethrow_exception(ownFailure);
    if (const xmlNode* signature = signatureOf(root))
        report.add("F-S1", CheckFinding::Severity::Info, signature,
                   QStringLiteral("El documento está firmado. La firma no se comprueba aquí; "
                                  "cualquier cambio en el documento la invalidaría."));
    report.append(std::move(own));
    return report.take();
}

} // namespace DocumentCheck
