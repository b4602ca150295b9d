#include "book/BookNumbering.h"

#include "book/BookDatabase.h"
#include "book/BookText.h"
#include "book/SqlStatement.h"
#include "common/NumberSequence.h"

#include <optional>

namespace {

// The value of a run of digits, when it fits: longer runs are not counted.
std::optional<qint64> valueOf(QStringView digits) {
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.mid(1);
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    return digits.toLongLong();
}

QString numberText(const QString& prefix, qint64 value, qsizetype width) {
    return prefix + QString::number(value).rightJustified(width, u'0');
}

} // namespace

QString BookNumbering::next(const QString& issuerTaxId, const QString& series,
                            const QString& counter) const {
    QString highest;
    SqlStatement latest(m_db, "SELECT number FROM invoices WHERE is_current = 1 "
                              "AND issuer_tax_id = ? AND series = ? "
                              "ORDER BY issue_date DESC, id DESC LIMIT 1");
    latest.bindAll(issuerTaxId, series);
    if (latest.next()) {
        highest = latest.text(0);
        const QString prefix = NumberSequence::split(highest).prefix.toString();
        // The order key puts every number of one prefix between these two.
        const QString from = BookText::numberOrder(series, prefix);
        // By the number's own index: the issuer's would walk all its invoices.
        SqlStatement top(m_db, "SELECT number FROM invoices INDEXED BY invoices_by_number "
                               "WHERE is_current = 1 "
                               "AND number_order >= ? AND number_order < ? AND issuer_tax_id = ? "
                               "ORDER BY number_order DESC, id DESC LIMIT 1");
        top.bindAll(from, from.left(from.size() - 1) + QChar(2), issuerTaxId);
        if (top.next() && NumberSequence::isLater(top.text(0), highest))
            highest = top.text(0);
    }
    if (highest.isEmpty() || NumberSequence::isLater(counter, highest))
        highest = counter;
    QString number = NumberSequence::next(highest);
    if (number.isEmpty())
        number = NumberSequence::next(counter);
    return number.isEmpty() ? QStringLiteral("1") : number;
}

QList<NumberGap> BookNumbering::gaps() const {
    QList<NumberGap> gaps;
    SqlStatement select(m_db, "SELECT issuer_tax_id, series, number FROM invoices "
                              "WHERE is_current = 1 ORDER BY issuer_tax_id, number_order, id");
    QString issuer, series, prefix;
    bool counted = false; // whether previous holds a number of this numbering
    qint64 previous = 0;
    qsizetype width = 0;
    while (select.next()) {
        const QString rowIssuer = select.text(0);
        const QString rowSeries = select.text(1);
        const QString number = select.text(2);
        const NumberSequence::Parts parts = NumberSequence::split(number);
        const std::optional<qint64> value = valueOf(parts.digits);
        if (rowIssuer != issuer || rowSeries != series || parts.prefix != prefix) {
            issuer = rowIssuer;
            series = rowSeries;
            prefix = parts.prefix.toString();
            counted = false;
        }
        if (!value)
            continue;
        if (counted && *value > previous + 1)
            gaps.append({issuer, series, numberText(prefix, previous + 1, width),
                         numberText(prefix, *value - 1, width), *value - previous - 1});
        counted = true;
        previous = *value;
        width = parts.digits.size();
    }
    return gaps;
}

QList<NumberDuplicate> BookNumbering::duplicates() const {
    QList<NumberDuplicate> found;
    // The same value in one numbering, written differently.
    SqlStatement select(m_db, "SELECT issuer_tax_id, series, number, series_number FROM invoices "
                              "WHERE is_current = 1 ORDER BY issuer_tax_id, number_order, id");
    QString key;
    std::optional<qint64> previous;
    while (select.next()) {
        const QString number = select.text(2);
        const NumberSequence::Parts parts = NumberSequence::split(number);
        const std::optional<qint64> value = valueOf(parts.digits);
        const QString rowKey =
            select.text(0) + QChar(1) + select.text(1) + QChar(1) + parts.prefix.toString();
        if (value && previous && rowKey == key && *value == *previous)
            found.back().seriesNumbers.append(select.text(3));
        else if (value)
            found.append({select.text(0), {select.text(3)}});
        key = rowKey;
        previous = value;
    }
    found.removeIf([](const NumberDuplicate& d) { return d.seriesNumbers.size() < 2; });

    // The same joined text under two splits, which the book's indexes
    // prevent: only a book changed by hand shows it.
    SqlStatement joined(m_db, "SELECT issuer_tax_id, group_concat(series_number, char(10)) "
                              "FROM invoices WHERE is_current = 1 "
                              "GROUP BY issuer_tax_id, series_number HAVING count(*) > 1");
    while (joined.next()) {
        const QStringList numbers = joined.text(1).split(QLatin1Char('\n'));
        const NumberDuplicate duplicate{joined.text(0), numbers};
        if (!found.contains(duplicate))
            found.append(duplicate);
    }
    return found;
}
