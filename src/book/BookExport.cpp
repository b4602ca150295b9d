#include "book/BookExport.h"

#include "book/BookDatabase.h"
#include "book/BookError.h"
#include "book/BookText.h"
#include "book/SqlStatement.h"
#include "common/Decimal.h"
#include "common/SafeSave.h"

#include <QDir>

namespace BookExport {

namespace {

QString rateText(const QString& rate) {
    Decimal value;
    const QByteArray text = rate.toLatin1();
    if (Decimal::parse(text.constData(), text.size(), value) != Decimal::ParseStatus::Ok)
        return rate;
    return value.displayText(2);
}

void put(QIODevice& out, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    if (out.write(bytes) != bytes.size())
        throw AppError(QStringLiteral("No se pudo escribir el registro de facturas: %1")
                           .arg(out.errorString()));
}

} // namespace

QString field(const QString& text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void writeCsv(const BookDatabase& db, const BookFilter& filter, QIODevice& out) {
    const BookList list(db, filter);
    SqlStatement select(
        db, "SELECT i.id, i.issue_date, i.series, i.number, i.customer_tax_id, i.customer_name, "
            "i.base_cents, i.withholding_cents, i.total_cents, g.rate, g.base_cents, g.vat_cents "
            "FROM invoices i LEFT JOIN vat_groups g ON g.invoice_id = i.id " +
                list.where() + " ORDER BY i.issue_date, i.number_order, i.id, g.position");
    list.bindFilter(select);

    put(out,
        QStringLiteral("\uFEFFFecha de expedición;Serie;Número;NIF del destinatario;"
                       "Nombre del destinatario;Base imponible;Tipo;Cuota;Retención;Total\r\n"));
    qint64 previous = 0;
    QString block;
    while (select.next()) {
        const bool first = select.integer(0) != previous;
        previous = select.integer(0);
        const QDate date = QDate::fromString(select.text(1), Qt::ISODate);
        QStringList fields{date.toString(QStringLiteral("dd/MM/yyyy")), field(select.text(2)),
                           field(select.text(3)), field(select.text(4)), field(select.text(5))};
        // An invoice without VAT groups still has its line, with its base.
        if (select.isNull(9))
            fields << BookText::amount(select.integer(6)) << QString() << QString();
        else
            fields << BookText::amount(select.integer(10)) << rateText(select.text(9))
                   << BookText::amount(select.integer(11));
        if (first)
            fields << BookText::amount(select.integer(7)) << BookText::amount(select.integer(8));
        else
            fields << QString() << QString();
        block += fields.join(QLatin1Char(';')) + QLatin1String("\r\n");
        if (block.size() > 1 << 16) {
            put(out, block);
            block.clear();
        }
    }
    put(out, block);
}

void saveCsv(const BookDatabase& db, const BookFilter& filter, const QString& path) {
    // Replacing the book by its own register would lose every invoice.
    if (db.holds(path))
        throw AppError(QStringLiteral("No se puede guardar el registro en %1: es el propio libro "
                                      "de facturas. Elija otro nombre.")
                           .arg(QDir::toNativeSeparators(path)));
    SafeSave save(path);
    if (!save.open())
        throw AppError(QStringLiteral("No se puede crear %1: %2")
                           .arg(QDir::toNativeSeparators(path), save.errorString()));
    auto failed = [&] {
        return AppError(QStringLiteral("No se pudo guardar %1: %2")
                            .arg(QDir::toNativeSeparators(path), save.errorString()));
    };
    try {
        writeCsv(db, filter, save.device());
    } catch (const BookError&) {
        throw;
    } catch (const AppError&) {
        throw failed(); // the device keeps the system's reason
    }
    if (!save.commit())
        throw failed();
}

} // namespace BookExport
