#include "settings/InvoiceImport.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "invoice/BankAccount.h"
#include "invoice/InvoiceRecord.h"
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

QDate readDate(const IniFile& ini, const QString& key) {
    const QString text = ini.readString(General, key);
    const auto date = ValueForms::parseDate(text);
    if (!date)
        throw AppError(QStringLiteral("'%1' is not a valid date").arg(text));
    return *date;
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

void readIssuer(InvoiceRecord& r, const IniFile& ini) {
    const QString persona = ini.readString(Seller, QStringLiteral("PERSONA"));
    if (persona != u"J" && persona != u"F")
        return;
    const bool legal = persona == u"J";
    auto v = [&](const char* key) { return ini.readString(Seller, QString::fromLatin1(key)); };
    r.selectPersonType(Party::Issuer, legal ? PersonType::LegalEntity : PersonType::NaturalPerson);
    if (legal) {
        r.setText(RecordField::IssuerCorporateName, v("NOMBRE"));
    } else {
        r.setText(RecordField::IssuerFirstName, v("NOMBRE"));
        r.setText(RecordField::IssuerFirstSurname, v("APELLIDO1"));
        r.setText(RecordField::IssuerSecondSurname, v("APELLIDO2"));
    }
    r.setText(RecordField::IssuerAddress, v("DIRECCION"));
    r.setText(RecordField::IssuerPostCode, v("CP"));
    r.setText(RecordField::IssuerTown, v("POBLACION"));
    r.setText(RecordField::IssuerProvince, v("PROVINCIA"));
    r.setText(RecordField::IssuerTaxId, v("NIF"));
    r.setText(RecordField::IssuerContact, v("CONTACTO"));
    r.setText(RecordField::IssuerEmail, v("MAIL"));
    r.applyLayout(Party::Issuer);
}

void readCustomer(InvoiceRecord& r, const IniFile& ini) {
    const QString persona = ini.readString(Buyer, QStringLiteral("PERSONA"));
    if (persona != u"J" && persona != u"F")
        return;
    const bool legal = persona == u"J";
    auto v = [&](const char* key) { return ini.readString(Buyer, QString::fromLatin1(key)); };
    r.selectPersonType(Party::Customer,
                       legal ? PersonType::LegalEntity : PersonType::NaturalPerson);
    if (legal) {
        r.setText(RecordField::CustomerCorporateName, v("NOMBRE"));
    } else {
        r.setText(RecordField::CustomerFirstName, v("NOMBRE"));
        r.setText(RecordField::CustomerFirstSurname, v("APELLIDO1"));
        r.setText(RecordField::CustomerSecondSurname, v("APELLIDO2"));
    }
    r.setText(RecordField::CustomerAddress, v("DIRECCION"));
    r.setText(RecordField::CustomerPostCode, v("CP"));
    r.setText(RecordField::CustomerTown, v("POBLACION"));
    r.setText(RecordField::CustomerProvince, v("PROVINCIA"));
    r.setText(RecordField::CustomerTaxId, v("NIF"));
    r.setText(RecordField::CustomerContact, v("CONTACTO"));
    r.applyLayout(Party::Customer);
}

void readCentres(InvoiceRecord& r, const IniFile& ini) {
    auto v = [&](const char* key) { return ini.readString(Admon, QString::fromLatin1(key)); };
    r.setText(RecordField::ManagingBodyCode, v("GESTOR"));
    r.setText(RecordField::AccountingOfficeCode, v("OFICINA"));
    r.setText(RecordField::ProcessingUnitCode, v("UNIDAD"));
    r.setText(RecordField::ManagingBodyName, v("NOMBREGESTOR"));
    r.setText(RecordField::AccountingOfficeName, v("NOMBREOFICINA"));
    r.setText(RecordField::ProcessingUnitName, v("NOMBREUNIDAD"));
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

        readIssuer(record, ini);
        readCustomer(record, ini);
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
