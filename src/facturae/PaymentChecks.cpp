#include "facturae/PaymentChecks.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "facturae/CheckReport.h"
#include "facturae/XmlDocument.h"
#include "invoice/BankAccount.h"

#include <QDate>
#include <QRegularExpression>

#include <cstring>

using XmlNodes::child;
using XmlNodes::children;
using XmlNodes::descend;
using XmlNodes::text;

namespace PaymentChecks {

namespace {

QString tidyIban(const QString& written) {
    QString iban;
    for (const QChar c : written) {
        if (!c.isSpace())
            iban += c.toUpper();
    }
    return iban;
}

void checkIban(CheckReport& report, const xmlNode* node) {
    const QString iban = tidyIban(text(node));
    if (iban.isEmpty())
        return;
    if (!ibanValid(iban)) {
        report.error("F-B1", node,
                     QStringLiteral("El IBAN «%1» no es válido: sus dígitos de control no "
                                    "corresponden a la cuenta.")
                         .arg(text(node).trimmed()));
        return;
    }
    if (!iban.startsWith(u"ES"))
        return;
    if (iban.size() != 24) {
        report.error("F-B2", node,
                     QStringLiteral("El IBAN español «%1» debe tener 24 caracteres.").arg(iban));
        return;
    }
    // ES kk EEEE OOOO DD NNNNNNNNNN
    try {
        const int digits = BankAccount::BankControlDigits(iban.mid(4, 8), iban.mid(14, 10));
        if (QStringLiteral("%1").arg(digits, 2, 10, QLatin1Char('0')) != iban.mid(12, 2))
            report.error(
                "F-B2", node,
                QStringLiteral("En el IBAN «%1», los dígitos de control de la cuenta "
                               "española («%2») no corresponden a la entidad, la oficina y "
                               "el número de cuenta.")
                    .arg(iban, iban.mid(12, 2)));
    } catch (const AppError&) {
        report.error(
            "F-B2", node,
            QStringLiteral("El IBAN español «%1» solo puede llevar cifras tras «ES».").arg(iban));
    }
}

void checkInstallment(CheckReport& report, const xmlNode* installment, const QDate& issued) {
    const QString means = text(child(installment, "PaymentMeans")).trimmed();
    const xmlNode* credited = child(installment, "AccountToBeCredited");
    if (means == u"04" && !child(credited, "AccountNumber")) {
        const xmlNode* iban = child(credited, "IBAN");
        if (!iban || text(iban).trimmed().isEmpty())
            report.error("F-B1", iban ? iban : (credited ? credited : installment),
                         QStringLiteral("El pago es por transferencia y falta el IBAN de la cuenta "
                                        "donde cobrar."));
    }
    checkIban(report, child(credited, "IBAN"));
    checkIban(report, descend(installment, {"AccountToBeDebited", "IBAN"}));

    const xmlNode* dueNode = child(installment, "InstallmentDueDate");
    const QDate due = QDate::fromString(text(dueNode).trimmed(), Qt::ISODate);
    if (due.isValid() && issued.isValid() && due < issued)
        report.warning(
            "F-D1", dueNode,
            QStringLiteral("El vencimiento (%1) es anterior a la fecha de la factura (%2).")
                .arg(due.toString(QStringLiteral("dd/MM/yyyy")),
                     issued.toString(QStringLiteral("dd/MM/yyyy"))));
}

// Dates left at a program's "no date" value (30/12/1899 is the zero of many
// date types) or before 1900 cannot be an invoice's.
void checkDates(CheckReport& report, const xmlNode* node) {
    for (const xmlNode* n = node->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE || XmlNodes::isSignature(n))
            continue;
        const qsizetype length = qsizetype(std::strlen(reinterpret_cast<const char*>(n->name)));
        if (length >= 4 &&
            std::strcmp(reinterpret_cast<const char*>(n->name) + length - 4, "Date") == 0) {
            const QString value = text(n).trimmed();
            const QDate date = QDate::fromString(value.left(10), Qt::ISODate);
            // 30/12/1899, the zero of many date types, is among them.
            if (date.isValid() && date.year() < ValueForms::FirstYear)
                report.error(
                    "F-D2", n,
                    QStringLiteral("La fecha %1 no es una fecha real de factura; parece un "
                                   "campo de fecha sin rellenar.")
                        .arg(date.toString(QStringLiteral("dd/MM/yyyy"))));
        } else {
            checkDates(report, n);
        }
    }
}

} // namespace

bool ibanValid(const QString& written) {
    const QString iban = tidyIban(written);
    static const QRegularExpression form(QStringLiteral("^[A-Z]{2}[0-9]{2}[A-Z0-9]{1,30}$"));
    if (!form.match(iban).hasMatch())
        return false;
    return BankAccount::ibanRemainder(iban.mid(4) + iban.left(4)) == 1;
}

void run(const xmlNode* root, CheckReport& report) {
    for (const xmlNode* invoice : children(child(root, "Invoices"), "Invoice")) {
        const QDate issued = QDate::fromString(
            text(descend(invoice, {"InvoiceIssueData", "IssueDate"})).trimmed(), Qt::ISODate);
        for (const xmlNode* installment : children(child(invoice, "PaymentDetails"), "Installment"))
            checkInstallment(report, installment, issued);
    }
    checkDates(report, root);
}

} // namespace PaymentChecks
