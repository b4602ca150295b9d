#include "facturae/TaxIdCheck.h"

#include <QRegularExpression>

namespace TaxIdCheck {

namespace {

const char PersonLetters[] = "TRWAGMYFPDXBNJZSQVHLCKE";
const char EntityLetters[] = "JABCDEFGHI";

QRegularExpression whole(const char* pattern) {
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)));
}

// The forms of a tax id, compiled once: the tax-id boxes check on every key.
const QRegularExpression PersonForm = whole("[0-9]{8}[A-Z]");
const QRegularExpression ForeignerForm = whole("[XYZ][0-9]{7}[A-Z]");
const QRegularExpression KlmForm = whole("[KLM][0-9]{7}[A-Z]");
const QRegularExpression EntityForm = whole("[ABCDEFGHJNPQRSUVW][0-9]{7}[0-9A-J]");
const QRegularExpression CountryPrefixForm = whole("[A-Z]{2}.*");

bool matches(const QString& id, const QRegularExpression& form) {
    return form.match(id).hasMatch();
}

QChar personLetter(const QString& digits) {
    return QLatin1Char(PersonLetters[digits.toLongLong() % 23]);
}

int entityDigit(const QString& sevenDigits) {
    int sum = 0;
    for (int i = 0; i < 7; ++i) {
        const int d = sevenDigits[i].unicode() - u'0';
        if (i % 2 == 1) {
            sum += d;
        } else {
            const int doubled = 2 * d;
            sum += doubled / 10 + doubled % 10;
        }
    }
    return (10 - sum % 10) % 10;
}

} // namespace

QString tidy(const QString& written) {
    QString id;
    for (const QChar c : written) {
        if (c.isSpace() || c == u'.' || c == u'-')
            continue;
        id += c.toUpper();
    }
    return id;
}

QString checkCharacter(const QString& id) {
    if (matches(id, PersonForm))
        return personLetter(id.left(8));
    if (matches(id, ForeignerForm))
        return personLetter(QString::number(id[0].unicode() - u'X') + id.mid(1, 7));
    if (matches(id, KlmForm))
        return personLetter(id.mid(1, 7));
    if (matches(id, EntityForm)) {
        const int digit = entityDigit(id.mid(1, 7));
        // Public bodies, foreign entities and non-residents carry a letter;
        // companies (A, B), groups (E) and owners' associations (H) a digit;
        // the other kinds either.
        const bool letter = QStringLiteral("PQRSNW").contains(id[0]) || id.mid(1, 2) == u"00";
        if (letter)
            return QString(QLatin1Char(EntityLetters[digit]));
        if (QStringLiteral("ABEH").contains(id[0]))
            return QString::number(digit);
        return id[8].isDigit() ? QString::number(digit)
                               : QString(QLatin1Char(EntityLetters[digit]));
    }
    return {};
}

Result check(const QString& written) {
    Result r;
    r.id = tidy(written);
    r.tidied = r.id != written;
    if (r.id.isEmpty()) {
        r.problem = QStringLiteral("está vacío");
        return r;
    }
    // An intra-community form of a Spanish id is read without its prefix.
    if (r.id.startsWith(u"ES"))
        r.id = r.id.mid(2);
    // Every Spanish form has a digit second, so two letters are a country.
    else if (matches(r.id, CountryPrefixForm)) {
        r.kind = Kind::OtherCountry;
        r.problem = QStringLiteral("es de otro país y no se puede comprobar aquí");
        return r;
    }
    if (matches(r.id, PersonForm) || matches(r.id, KlmForm))
        r.kind = Kind::Person;
    else if (matches(r.id, ForeignerForm))
        r.kind = Kind::Foreigner;
    else if (matches(r.id, EntityForm))
        r.kind = Kind::Entity;
    if (r.kind == Kind::Unrecognised) {
        r.problem = QStringLiteral("no tiene la forma de un NIF, un NIE ni un NIF de entidad");
        return r;
    }
    r.expected = checkCharacter(r.id);
    const QString written9 = r.id.right(1);

    r.valid = written9 == r.expected;
    // K, L and M ids are older than the present rules; some were issued with
    // the entity letter, so that one is taken as well.
    if (!r.valid && matches(r.id, KlmForm))
        r.valid = written9 == QLatin1Char(EntityLetters[entityDigit(r.id.mid(1, 7))]);
    if (!r.valid)
        r.problem = QStringLiteral("el carácter de control «%1» no corresponde (sería «%2»)")
                        .arg(written9, r.expected);
    return r;
}

} // namespace TaxIdCheck
