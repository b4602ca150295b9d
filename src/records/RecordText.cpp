#include "records/RecordText.h"

#include "facturae/DocumentText.h"

namespace RecordText {

QString twoDecimals(const Decimal& value) {
    return value.plainText(2, 2);
}

std::optional<Decimal> readAmount(const QString& text) {
    const QByteArray t = text.trimmed().toLatin1();
    Decimal value;
    if (t.isEmpty() || Decimal::parse(t.constData(), t.size(), value) != Decimal::ParseStatus::Ok)
        return std::nullopt;
    return value;
}

QString date(const QDate& date) {
    return DocumentText::leftZeroPad(date.day(), 2) + u'-' +
           DocumentText::leftZeroPad(date.month(), 2) + u'-' +
           DocumentText::leftZeroPad(date.year(), 4);
}

QString value(const QString& text) {
    return DocumentText::xmlSafe(text).trimmed();
}

} // namespace RecordText
