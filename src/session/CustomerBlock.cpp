#include "session/CustomerBlock.h"

#include "invoice/AdministrationCentres.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"

#include <QHash>
#include <QStringList>

namespace CustomerBlock {

namespace {

// The details are "KEY=value" lines with the import file's keys; a value
// never holds a line break (the boxes take one line).
const QString KindKey = QStringLiteral("PERSONA");
const QString AdministrationKey = QStringLiteral("ADMON");

QString oneLine(QString value) {
    return value.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
}

} // namespace

QString name(const InvoiceRecord& record) {
    if (record.personType(Party::Customer) == PersonType::LegalEntity)
        return record.text(RecordField::CustomerCorporateName).trimmed();
    QStringList parts;
    for (RecordField field : {RecordField::CustomerFirstName, RecordField::CustomerFirstSurname,
                              RecordField::CustomerSecondSurname}) {
        if (const QString part = record.text(field).trimmed(); !part.isEmpty())
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

CustomerRow of(const InvoiceRecord& record) {
    const AdministrationCentres centres = AdministrationCentres::fromRecord(record);
    const bool administration = record.isAdministration();
    CustomerRow row;
    row.taxId = record.text(RecordField::CustomerTaxId).trimmed();
    if (administration) {
        row.managingBody = centres.managingCode.trimmed();
        row.accountingOffice = centres.officeCode.trimmed();
        row.processingUnit = centres.unitCode.trimmed();
    }
    row.name = name(record);
    const PersonType type = record.personType(Party::Customer);
    QStringList lines;
    lines << KindKey + QLatin1Char('=') +
                 (type == PersonType::LegalEntity ? QStringLiteral("J") : QStringLiteral("F"));
    for (const PartyFieldInfo& info : PartyFields::all()) {
        if (info.customer && PartyFields::belongsTo(info.field, type))
            lines << QString::fromLatin1(info.iniKey) + QLatin1Char('=') +
                         oneLine(record.text(*info.customer));
    }
    lines << AdministrationKey + QLatin1Char('=') +
                 (administration ? QStringLiteral("S") : QStringLiteral("N"));
    if (administration) {
        for (const AdministrationCentres::Field& f : AdministrationCentres::fields())
            lines << QString::fromLatin1(f.importKey) + QLatin1Char('=') +
                         oneLine(centres.*f.member);
    }
    row.details = lines.join(QLatin1Char('\n'));
    return row;
}

void fill(InvoiceRecord& record, const CustomerRow& customer) {
    QHash<QString, QString> values;
    for (const QString& line : customer.details.split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !values.contains(line.left(equals)))
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    const PersonType type =
        PartyFields::personTypeOf(values.value(KindKey)).value_or(PersonType::LegalEntity);
    PartyFields::load(record, Party::Customer, type,
                      [&](const QString& key) { return values.value(key); });
    AdministrationCentres centres;
    const bool administration = values.value(AdministrationKey) == u"S";
    if (administration) {
        for (const AdministrationCentres::Field& f : AdministrationCentres::fields())
            centres.*f.member = values.value(QString::fromLatin1(f.importKey));
    }
    // The centres first: ticking the box may ask for them otherwise.
    centres.storeIn(record);
    const bool importing = record.importando();
    record.setImportando(true);
    record.setAdministration(administration);
    record.setImportando(importing);
}

} // namespace CustomerBlock
