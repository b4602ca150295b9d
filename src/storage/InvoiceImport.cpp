#include "storage/InvoiceImport.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "invoice/AdministrationCentres.h"
#include "invoice/AmountLimits.h"
#include "invoice/BankAccount.h"
#include "invoice/Invoice.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"
#include "invoice/Totals.h"
#include "storage/CorrectionSection.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace InvoiceImport {

namespace {

const QString General = QStringLiteral("DATOS_GENERALES");
const QString Seller = QStringLiteral("VENDEDOR");
const QString Buyer = QStringLiteral("COMPRADOR");
const QString Admon = QStringLiteral("ADMON");
const QString Lines = QStringLiteral("LINEAS");

// A date of the file; one missing or not a date stops the import, naming
// the key and what it is, why, and the form to write.
QDate dateFrom(const QString& key, const QString& what, const QString& text) {
    if (const auto date = ValueForms::parseDate(text))
        return *date;
    const QString form = QStringLiteral("escriba una fecha válida como dd/mm/aaaa");
    if (text.isEmpty())
        throw AppError(QStringLiteral("%1: falta %2; %3").arg(key, what, form));
    throw AppError(QStringLiteral("%1: %2 «%3» %4; %5")
                       .arg(key, what, text, ValueForms::dateProblem(text), form));
}

QDate readDate(const IniFile& ini, const QString& key, const QString& what) {
    return dateFrom(key, what, ini.readString(General, key));
}

// A line number: empty reads as 0; a text that is not a number, more than 8
// decimals or a value outside the field's limits stops the import with the
// key in the message.
Decimal numberFrom(const QString& key, const QString& text, AmountLimits::NumberField field) {
    if (text.isEmpty())
        return Decimal();
    const ValueForms::NumberRead read = ValueForms::readNumber(text);
    const QString problem = AmountLimits::importProblem(field, key, text, read);
    if (!problem.isEmpty())
        throw AppError(problem);
    return read.value;
}

Decimal readNumber(const IniFile& ini, const QString& key, AmountLimits::NumberField field) {
    return numberFrom(key, ini.readString(Lines, key), field);
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

// One party's section as read, before anything is put on the invoice: read
// only when PERSONA names its kind exactly.
struct PartyRead {
    std::optional<PersonType> type;
    QHash<QString, QString> values; // by key

    static PartyRead read(const IniFile& ini, const QString& section) {
        PartyRead p;
        p.type = PartyFields::personTypeOf(ini.readString(section, QStringLiteral("PERSONA")));
        if (!p.type)
            return p;
        for (const PartyFieldInfo& info : PartyFields::all()) {
            const QString key = QString::fromLatin1(info.iniKey);
            if (!p.values.contains(key))
                p.values.insert(key, ini.readString(section, key));
        }
        return p;
    }

    void apply(InvoiceRecord& r, Party party) const {
        if (type)
            PartyFields::load(r, party, *type,
                              [&](const QString& key) { return values.value(key); });
    }
};

// Everything the file holds, read and checked before the invoice changes, so
// an import that stops leaves the invoice exactly as it was.
struct ImportedInvoice {
    QString series, number;
    QDate issueDate, dueDate;
    QString entity, office, control, account;
    PartyRead issuer, customer;
    QVector<QPair<RecordField, QString>> centres;
    QString withholdingRate;
    QVector<InvoiceLine> lines;
    std::optional<Correction> correction;
};

// CALIFICACIONn: absent, the line follows its rate; otherwise one of the
// codes, and only a line at 0 % may be other than taxed.
void readTreatment(const IniFile& ini, const QString& suffix, InvoiceLine& line,
                   VatTreatment zeroRateCause) {
    const QString key = QStringLiteral("CALIFICACION") + suffix;
    const QString code = ini.readString(Lines, key);
    line.store(zeroRateCause);
    if (code.isEmpty())
        return;
    const std::optional<VatTreatment> treatment = vatTreatmentFromCode(code);
    if (!treatment)
        throw AppError(QStringLiteral("%1: «%2» no es una calificación del IVA; escriba S1, S2, "
                                      "E1 a E6, N1 o N2")
                           .arg(key, code));
    if (*treatment != VatTreatment::S1 && !line.vatRate.isZero())
        throw AppError(QStringLiteral("%1: una línea %2 no lleva IVA; escriba 0 en IVA%3 o "
                                      "quite la calificación")
                           .arg(key, vatTreatmentCode(*treatment), suffix));
    line.treatment = *treatment;
}

QVector<InvoiceLine> readLines(const IniFile& ini, int count, VatTreatment zeroRateCause) {
    using AmountLimits::NumberField;
    QVector<InvoiceLine> lines;
    lines.reserve(qMax(0, count));
    for (int n = 1; n <= count; ++n) {
        const QString suffix = QString::number(n);
        InvoiceLine line = InvoiceLine::newLine();
        line.description = cutDescription(ini.readString(Lines, QStringLiteral("NOMBRE") + suffix));
        line.price = readNumber(ini, QStringLiteral("PRECIO") + suffix, NumberField::Precio);
        line.quantity = readNumber(ini, QStringLiteral("CANTIDAD") + suffix, NumberField::Cantidad);
        line.discountPct = readNumber(ini, QStringLiteral("DTO") + suffix, NumberField::Dto);
        line.vatRate = readNumber(ini, QStringLiteral("IVA") + suffix, NumberField::Iva);
        // What a draft adds to a line; absent in other import files.
        line.fileReference = ini.readString(Lines, QStringLiteral("EXPEDIENTE") + suffix)
                                 .left(InvoiceLine::FileReferenceSize);
        const QString fileDateKey = QStringLiteral("FECHAEXPEDIENTE") + suffix;
        const QString fileDate = ini.readString(Lines, fileDateKey);
        if (!fileDate.isEmpty())
            line.fileDate =
                dateFrom(fileDateKey,
                         QStringLiteral("la fecha del expediente de la línea %1").arg(n), fileDate);
        // EXENTOn, which drafts write for older readers, follows from the
        // treatment.
        readTreatment(ini, suffix, line, zeroRateCause);
        lines.append(line);
    }
    return lines;
}

// The file's IRPF, else the usual rate; a value that is no rate from 0 to
// 100 stops the import.
QString readWithholdingRate(const IniFile& ini, const UsualRate& usualRate) {
    const QString key = QStringLiteral("IRPF");
    const QString text = ini.readString(General, key);
    if (text.isEmpty())
        return usualRate ? usualRate() : QStringLiteral("0");
    return numberFrom(key, text, AmountLimits::NumberField::Withholding).editText();
}

ImportedInvoice readFile(const IniFile& ini, const UsualRate& usualRate,
                         VatTreatment zeroRateCause) {
    ImportedInvoice in;
    in.series = ini.readString(General, QStringLiteral("SERIE"));
    in.number = ini.readString(General, QStringLiteral("FACTURA"));
    in.issueDate = readDate(ini, QStringLiteral("FECHA"), QStringLiteral("la fecha de la factura"));
    if (ini.readString(General, QStringLiteral("VENCIMIENTO")).isEmpty())
        in.dueDate = ValueForms::zeroDate();
    else
        in.dueDate =
            readDate(ini, QStringLiteral("VENCIMIENTO"), QStringLiteral("la fecha de vencimiento"));

    auto bank = [&](const char* key) { return ini.readString(Seller, QString::fromLatin1(key)); };
    in.entity = bank("ENTIDAD");
    in.office = bank("OFICINA");
    in.control = bank("DC");
    in.account = bank("CUENTA");

    const int count = ini.readInteger(General, QStringLiteral("LINEAS"), 1);
    if (count > MaxLines)
        throw AppError(QStringLiteral("El fichero de importación indica %1 líneas; el máximo "
                                      "que admite una factura es %2")
                           .arg(count)
                           .arg(MaxLines));

    in.withholdingRate = readWithholdingRate(ini, usualRate);
    in.issuer = PartyRead::read(ini, Seller);
    in.customer = PartyRead::read(ini, Buyer);
    for (const AdministrationCentres::Field& f : AdministrationCentres::fields())
        in.centres.append({f.field, ini.readString(Admon, QString::fromLatin1(f.importKey))});
    in.lines = readLines(ini, count, zeroRateCause);
    in.correction = CorrectionSection::read(ini);
    // The totals of these lines must be computable before anything changes.
    computeTotals(in.lines, Decimal());
    return in;
}

// The centres and the tick come from the file: the tick is set when any of
// the three codes is given and cleared otherwise, so a private customer's
// invoice never carries the centres of an earlier one.
void applyCentres(InvoiceRecord& r, const QVector<QPair<RecordField, QString>>& centres) {
    bool anyCode = false;
    for (const auto& [field, value] : centres) {
        r.setText(field, value);
        if (!value.isEmpty() &&
            (field == RecordField::ManagingBodyCode || field == RecordField::AccountingOfficeCode ||
             field == RecordField::ProcessingUnitCode))
            anyCode = true;
    }
    r.setAdministration(anyCode);
}

void apply(InvoiceRecord& record, ImportedInvoice& in) {
    record.setText(RecordField::InvoiceSeries, in.series);
    record.setText(RecordField::InvoiceNumber, in.number);
    record.setIssueDate(in.issueDate);
    record.setDueDate(in.dueDate);
    record.setText(RecordField::BankEntity, in.entity);
    record.setText(RecordField::BankOffice, in.office);
    record.setText(RecordField::BankControlDigits, in.control);
    record.setText(RecordField::BankAccountNumber, in.account);
    record.setText(RecordField::WithholdingRate, in.withholdingRate);
    in.issuer.apply(record, Party::Issuer);
    in.customer.apply(record, Party::Customer);
    applyCentres(record, in.centres);
    record.setCorrection(in.correction);
    record.lines().load(std::move(in.lines));
    // The IBAN follows the imported account; missing control digits are
    // worked out as when the account is typed.
    BankAccount::followAccount(record);
}

} // namespace

Invoice readInvoice(const IniFile& ini, VatTreatment zeroRateCause) {
    const ImportedInvoice in = readFile(ini, {}, zeroRateCause);
    Invoice v;
    v.series = in.series;
    v.number = in.number;
    v.issueDate = in.issueDate;
    v.dueDate = in.dueDate;
    v.account.entity = in.entity;
    v.account.office = in.office;
    v.account.controlDigits = in.control;
    v.account.number = in.account;
    // As the import fills the boxes: missing control digits worked out.
    v.account.iban =
        BankAccount::accountIban(in.entity, in.office, v.account.controlDigits, in.account);
    for (const auto& [read, party] :
         {std::pair{&in.issuer, &v.issuer}, std::pair{&in.customer, &v.customer}}) {
        if (!read->type)
            continue;
        party->type = *read->type;
        for (const PartyFieldInfo& info : PartyFields::all()) {
            if (PartyFields::belongsTo(info.field, party->type) &&
                (party == &v.issuer || info.customer))
                party->field(info.field) = read->values.value(QString::fromLatin1(info.iniKey));
        }
    }
    for (const auto& [field, value] : in.centres) {
        for (const AdministrationCentres::Field& f : AdministrationCentres::fields()) {
            if (f.field == field)
                v.centres.*f.member = value;
        }
    }
    v.administration = v.centres.anyCode();
    v.withholdingRate = ValueForms::readNumber(in.withholdingRate).value;
    v.lines = in.lines;
    v.correction = in.correction;
    return v;
}

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

bool importFile(InvoiceRecord& record, const QString& path, bool chosenInDialog,
                const UsualRate& usualRate) {
    // Nothing on the invoice changes until the whole file has been read and
    // checked; an import that stops leaves it exactly as it was.
    ImportedInvoice in;
    try {
        if (!QFileInfo::exists(path))
            throw AppError(QStringLiteral("No existe el fichero %1").arg(path));
        const IniFile ini(path, true);
        in = readFile(ini, usualRate, record.lines().zeroRateCause());
    } catch (...) {
        record.setImportando(false);
        throw;
    }

    // With the fixed file, a tick the file brings asks for the centres once
    // the whole invoice is in, not over a half-filled one.
    record.setImportando(true);
    const bool wasTicked = record.isAdministration();
    if (chosenInDialog)
        record.setImportFile(baseNameOf(path), folderOf(path));
    else
        record.setImportFile(QString(), QString());
    try {
        apply(record, in);
    } catch (...) {
        record.setImportando(false);
        throw;
    }
    record.setImportando(false);
    return !chosenInDialog && !wasTicked && record.isAdministration();
}

} // namespace InvoiceImport
