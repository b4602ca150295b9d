#include "settings/InvoiceImport.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "invoice/AdministrationCentres.h"
#include "invoice/BankAccount.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace InvoiceImport {

namespace {

const QString General = QStringLiteral("DATOS_GENERALES");
const QString Seller = QStringLiteral("VENDEDOR");
const QString Buyer = QStringLiteral("COMPRADOR");
const QString Admon = QStringLiteral("ADMON");
const QString Lines = QStringLiteral("LINEAS");

QDate dateFrom(const QString& text) {
    const auto date = ValueForms::parseDate(text);
    if (!date)
        throw AppError(QStringLiteral("'%1' is not a valid date").arg(text));
    return *date;
}

QDate readDate(const IniFile& ini, const QString& key) {
    return dateFrom(ini.readString(General, key));
}

double readNumber(const IniFile& ini, const QString& key) {
    return static_cast<double>(ValueForms::parseNumber(ini.readString(Lines, key)).value_or(0));
}

// A description cut to the field's size, never in the middle of a character.
QString cutDescription(const QString& text) {
    if (text.size() <= InvoiceLine::DescriptionSize)
        return text;
    QString cut = text.left(InvoiceLine::DescriptionSize);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

// A party is read only when PERSONA names its kind exactly.
void readParty(InvoiceRecord& r, const IniFile& ini, const QString& section, Party party) {
    const auto type = PartyFields::personTypeOf(ini.readString(section, QStringLiteral("PERSONA")));
    if (!type)
        return;
    PartyFields::load(r, party, *type,
                      [&](const QString& key) { return ini.readString(section, key); });
}

void readCentres(InvoiceRecord& r, const IniFile& ini) {
    for (const AdministrationCentres::Field& f : AdministrationCentres::fields())
        r.setText(f.field, ini.readString(Admon, QString::fromLatin1(f.importKey)));
    if (!r.text(RecordField::ManagingBodyCode).isEmpty())
        r.setAdministration(true);
}

void readLines(InvoiceRecord& r, const IniFile& ini, int count) {
    Memoria& memoria = r.lines();
    memoria.open();
    memoria.beginBulk(count);
    try {
        for (int n = 1; n <= count; ++n) {
            const QString suffix = QString::number(n);
            memoria.append();
            InvoiceLine line = *memoria.currentLine();
            line.description =
                cutDescription(ini.readString(Lines, QStringLiteral("NOMBRE") + suffix));
            line.price = readNumber(ini, QStringLiteral("PRECIO") + suffix);
            line.quantity = readNumber(ini, QStringLiteral("CANTIDAD") + suffix);
            line.discountPct = readNumber(ini, QStringLiteral("DTO") + suffix);
            line.vatRate = readNumber(ini, QStringLiteral("IVA") + suffix);
            // What a draft adds to a line; absent in other import files.
            line.fileReference = ini.readString(Lines, QStringLiteral("EXPEDIENTE") + suffix)
                                     .left(InvoiceLine::FileReferenceSize);
            const QString fileDate =
                ini.readString(Lines, QStringLiteral("FECHAEXPEDIENTE") + suffix);
            if (!fileDate.isEmpty())
                line.fileDate = dateFrom(fileDate);
            line.exempt = ini.readString(Lines, QStringLiteral("EXENTO") + suffix) == u"S";
            memoria.setLine(line);
            memoria.post();
        }
    } catch (...) {
        memoria.endBulk();
        throw;
    }
    // One recalculation after the last line gives what one after each line
    // would have left, without the quadratic cost.
    memoria.endBulk();
}

} // namespace

QString baseNameOf(const QString& path) {
    const qsizetype separator = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const QString name = path.mid(separator + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString folderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

void importFile(InvoiceRecord& record, const QString& path, bool chosenInDialog) {
    record.lines().close();
    record.setImportando(true);
    if (chosenInDialog) {
        record.setImportFile(baseNameOf(path), folderOf(path));
    } else {
        record.setImportando(false);
        record.setImportFile(QString(), QString());
    }

    try {
        if (!QFileInfo::exists(path))
            throw AppError(QStringLiteral("No existe el fichero %1").arg(path));
        const IniFile ini(path, true);

        record.setText(RecordField::InvoiceSeries,
                       ini.readString(General, QStringLiteral("SERIE")));
        record.setText(RecordField::InvoiceNumber,
                       ini.readString(General, QStringLiteral("FACTURA")));
        record.setIssueDate(readDate(ini, QStringLiteral("FECHA")));
        if (ini.readString(General, QStringLiteral("VENCIMIENTO")).isEmpty())
            record.setDueDate(ValueForms::zeroDate());
        else
            record.setDueDate(readDate(ini, QStringLiteral("VENCIMIENTO")));

        auto bank = [&](const char* key) {
            return ini.readString(Seller, QString::fromLatin1(key));
        };
        record.setText(RecordField::BankEntity, bank("ENTIDAD"));
        record.setText(RecordField::BankOffice, bank("OFICINA"));
        record.setText(RecordField::BankControlDigits, bank("DC"));
        record.setText(RecordField::BankAccountNumber, bank("CUENTA"));

        const int count = ini.readInteger(General, QStringLiteral("LINEAS"), 1);
        if (count > MaxLines)
            throw AppError(QStringLiteral("El fichero de importación indica %1 líneas; el máximo "
                                          "que admite una factura es %2")
                               .arg(count)
                               .arg(MaxLines));

        // A draft keeps the withholding rate; other files leave it alone. It
        // is set before the lines so that every recalculation uses it.
        const QString rate = ini.readString(General, QStringLiteral("IRPF"));
        if (!rate.isEmpty())
            record.setText(RecordField::WithholdingRate, rate);

        readParty(record, ini, Seller, Party::Issuer);
        readParty(record, ini, Buyer, Party::Customer);
        readCentres(record, ini);
        readLines(record, ini, count);

        record.setCuentaCompleta(record.text(RecordField::BankEntity) +
                                 record.text(RecordField::BankOffice) +
                                 record.text(RecordField::BankControlDigits) +
                                 record.text(RecordField::BankAccountNumber));
        record.setText(RecordField::Iban,
                       BankAccount::ComputeIban(QString(), record.cuentaCompleta()));
    } catch (...) {
        record.lines().open();
        record.setImportando(false);
        throw;
    }
    record.setImportando(false);
}

} // namespace InvoiceImport
