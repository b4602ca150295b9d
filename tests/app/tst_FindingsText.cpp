#include "app/FindingsText.h"
#include "session/InvoiceSession.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

CheckFinding finding(const char* code, CheckFinding::Severity severity, const char* path,
                     const QString& message) {
    CheckFinding f;
    f.code = QLatin1String(code);
    f.severity = severity;
    f.path = QLatin1String(path);
    f.message = message;
    return f;
}

constexpr auto Error = CheckFinding::Severity::Error;
constexpr auto Warning = CheckFinding::Severity::Warning;
constexpr auto Info = CheckFinding::Severity::Info;

} // namespace

// The check's findings as the window lists them: one line per field, named
// by its caption on screen, the schema's words folded into a rule's, codes
// and element paths only in the details.
class tst_FindingsText : public QObject {
    Q_OBJECT
private slots:
    void emptyInvoice() {
        QTemporaryDir dir;
        InvoiceSession session(dir.path());
        session.start(QDate(2026, 2, 1));
        const CheckFindings findings = session.checkInvoice();
        QVERIFY(hasErrors(findings));
        const QString text = FindingsText::list(findings);
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("F-[A-Z]"))), qPrintable(text));
        for (const char* element : {"TaxIdentificationNumber", "PostCode", "Tax", "Items", "IBAN"})
            QVERIFY2(!text.contains(QStringLiteral("«%1»").arg(QLatin1String(element))),
                     qPrintable(text));
        // One line per field.
        QStringList fields;
        for (const QString& line : text.split(u'\n')) {
            const QString field = line.section(u':', 0, 0);
            QVERIFY2(!fields.contains(field),
                     qPrintable(field + QStringLiteral(" twice:\n") + text));
            fields << field;
        }
        for (const char* expected :
             {"• N.I.F./C.I.F. (Mis Datos): El NIF del emisor está en blanco.",
              "• C.P. (Cliente): El código postal del cliente está en blanco.",
              "• Detalle Factura: La factura no tiene ninguna línea.",
              "• IBAN (Forma de Pago): El pago es por transferencia y falta el IBAN"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(text));
        // The issuer's boxes first, as on screen.
        QVERIFY(text.startsWith(QStringLiteral("• R.Social (Mis Datos)")));
        const QString details = FindingsText::details(findings);
        QVERIFY(details.contains(QStringLiteral(
            "ERROR F-XSD /Facturae/Parties/BuyerParty/TaxIdentification/TaxIdentificationNumber "
            "«TaxIdentificationNumber» está vacío")));
        QVERIFY(details.contains(QStringLiteral("ERROR F-P4 ")));
    }

    void oneLinePerField_data() {
        QTest::addColumn<CheckFindings>("findings");
        QTest::addColumn<QString>("text");
        QTest::newRow("schema only: the caption for the element")
            << CheckFindings{finding(
                   "F-XSD", Error, "/Facturae/Parties/BuyerParty/LegalEntity/CorporateName",
                   QStringLiteral("«CorporateName» es demasiado largo: tiene 90 caracteres y el "
                                  "máximo es 80."))}
            << "• R.Social (Cliente): «R.Social» es demasiado largo: tiene 90 caracteres y el "
               "máximo es 80.";
        QTest::newRow("a rule's error explains the field")
            << CheckFindings{finding("F-XSD", Error,
                                     "/Facturae/Parties/SellerParty/AddressInSpain/PostCode",
                                     QStringLiteral("«PostCode»: el valor «150» no tiene la forma "
                                                    "exigida.")),
                             finding("F-P3", Error,
                                     "/Facturae/Parties/SellerParty/AddressInSpain/PostCode",
                                     QStringLiteral("El código postal del emisor «150» no tiene "
                                                    "cinco cifras."))}
            << "• C.P. (Mis Datos): El código postal del emisor «150» no tiene cinco cifras.";
        QTest::newRow("a rule's warning leaves the schema's error")
            << CheckFindings{finding("F-XSD", Error,
                                     "/Facturae/Parties/BuyerParty/AddressInSpain/PostCode",
                                     QStringLiteral("«PostCode»: el valor «99001» no es uno de "
                                                    "los admitidos.")),
                             finding("F-P3", Warning,
                                     "/Facturae/Parties/BuyerParty/AddressInSpain/PostCode",
                                     QStringLiteral("La provincia 99 no existe."))}
            << "• C.P. (Cliente): La provincia 99 no existe. «C.P.»: el valor «99001» no es uno "
               "de los admitidos.";
        QTest::newRow("errors, then the warnings")
            << CheckFindings{finding("F-D1", Warning,
                                     "/Facturae/Invoices/Invoice[1]/PaymentDetails/Installment[1]/"
                                     "InstallmentDueDate",
                                     QStringLiteral("El vencimiento es anterior a la fecha.")),
                             finding("F-L1", Error,
                                     "/Facturae/Invoices/Invoice[1]/Items/InvoiceLine[2]/TotalCost",
                                     QStringLiteral("El coste total es 3,00 y debería ser 4,00.")),
                             finding("F-S1", Info, "/Facturae/ds:Signature",
                                     QStringLiteral("El documento está firmado."))}
            << "• Línea 2 (Detalle Factura): El coste total es 3,00 y debería ser 4,00.\n\n"
               "Avisos:\n"
               "• Fecha Vencimiento (Forma de Pago): El vencimiento es anterior a la fecha.";
        QTest::newRow("a natural person's surname")
            << CheckFindings{finding("F-P4", Error,
                                     "/Facturae/Parties/BuyerParty/Individual/FirstSurname",
                                     QStringLiteral("El primer apellido del cliente está en "
                                                    "blanco."))}
            << "• Ap. 1 (Cliente): El primer apellido del cliente está en blanco.";
        QTest::newRow("no field on screen")
            << CheckFindings{finding("F-T9", Error, "/Facturae/FileHeader/Batch/InvoicesCount",
                                     QStringLiteral("El lote dice 2 facturas y tiene 1.")),
                             finding("F-T9", Error,
                                     "/Facturae/FileHeader/Batch/TotalInvoicesAmount",
                                     QStringLiteral("El total del lote no cuadra."))}
            << "• El lote dice 2 facturas y tiene 1.\n• El total del lote no cuadra.";
    }
    void oneLinePerField() {
        QFETCH(CheckFindings, findings);
        QFETCH(QString, text);
        QCOMPARE(FindingsText::list(findings), text);
    }
};

QTEST_MAIN(tst_FindingsText)
#include "tst_FindingsText.moc"
