#include "settings/RegistroIni.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "invoice/AmountLimits.h"
#include "invoice/BankAccount.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"
#include "settings/AppFiles.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString MisDatos = QStringLiteral("MISDATOS");
} // namespace

QString IssuerSettings::personLetter() const {
    const QString first = persona.left(1);
    return (first == u"J" || first == u"F") ? first : QString();
}

QString& IssuerSettings::value(PartyField field) {
    switch (field) {
    case PartyField::CorporateName:
    case PartyField::FirstName:
        return name; // NOMBRE holds either
    case PartyField::FirstSurname:
        return surname1;
    case PartyField::SecondSurname:
        return surname2;
    case PartyField::Address:
        return address;
    case PartyField::PostCode:
        return postCode;
    case PartyField::Town:
        return town;
    case PartyField::Province:
        return province;
    case PartyField::TaxId:
        return taxId;
    case PartyField::Contact:
        return contact;
    case PartyField::Email:
        break;
    }
    return email;
}

const QString& IssuerSettings::value(PartyField field) const {
    return const_cast<IssuerSettings*>(this)->value(field);
}

QString IssuerSettings::reasonKey(VatTreatment cause) {
    if (cause == VatTreatment::E6)
        return QStringLiteral("MOTIVOEXENCION");
    return hasCause(cause) ? QStringLiteral("MOTIVO") + vatTreatmentCode(cause) : QString();
}

TreatmentReasons IssuerSettings::treatmentReasons() const {
    TreatmentReasons t;
    for (int i = 0; i < VatTreatmentCount; ++i)
        t.setText(VatTreatment(i), reasons[std::size_t(i)]);
    return t;
}

VatTreatment IssuerSettings::zeroRateTreatment() const {
    const auto cause = vatTreatmentFromCode(zeroRateCause.trimmed());
    return cause && hasCause(*cause) ? *cause : VatTreatment::E6;
}

bool IssuerSettings::stored(PartyField field, PersonType type) {
    // CONTACTO is kept for either kind (empty for a natural person).
    return field == PartyField::Contact || PartyFields::belongsTo(field, type);
}

IssuerSettings IssuerSettings::read(const IniFile& ini) {
    auto r = [&](const char* key) { return ini.readString(MisDatos, QString::fromLatin1(key)); };
    IssuerSettings s;
    s.entity = r("ENTIDAD");
    s.office = r("OFICINA");
    s.control = r("DC");
    s.account = r("CUENTA");
    s.iban = r("IBAN");
    s.persona = r("PERSONA");
    for (const PartyFieldInfo& info : PartyFields::all())
        s.value(info.field) = ini.readString(MisDatos, QString::fromLatin1(info.iniKey));
    for (int i = 0; i < VatTreatmentCount; ++i) {
        const QString key = reasonKey(VatTreatment(i));
        if (!key.isEmpty())
            s.reasons[std::size_t(i)] = ini.readString(MisDatos, key);
    }
    s.zeroRateCause = r("CALIFICACIONIVA0");
    s.withholdingRate = r("IRPF");
    return s;
}

void IssuerSettings::write(IniFile& ini, PersonType type) const {
    auto w = [&](const char* key, const QString& value) {
        ini.writeString(MisDatos, QString::fromLatin1(key), value);
    };
    w("ENTIDAD", entity);
    w("OFICINA", office);
    w("DC", control);
    w("CUENTA", account);
    w("IBAN", iban);
    w("PERSONA", personTypeLetter(type));
    for (const PartyFieldInfo& info : PartyFields::all()) {
        if (stored(info.field, type))
            w(info.iniKey, value(info.field));
    }
    // Written once set, so a file without them keeps its usual keys; an
    // emptied one is stored empty (the usual text).
    const QString absent = QStringLiteral("\x01");
    auto once = [&](const QString& key, const QString& value) {
        if (!value.isEmpty() || ini.readString(MisDatos, key, absent) != absent)
            ini.writeString(MisDatos, key, value);
    };
    for (int i = 0; i < VatTreatmentCount; ++i) {
        const QString key = reasonKey(VatTreatment(i));
        if (!key.isEmpty())
            once(key, reasons[std::size_t(i)]);
    }
    once(QStringLiteral("CALIFICACIONIVA0"), zeroRateCause);
    // The same for the usual rate: no withholding is what a file without it means.
    if ((!withholdingRate.isEmpty() && withholdingRate != u"0") ||
        ini.readString(MisDatos, QStringLiteral("IRPF"), absent) != absent)
        w("IRPF", withholdingRate);
}

namespace RegistroIni {

QString loadIssuerAtStart(InvoiceRecord& record, const QString& appDir) {
    const QString path = AppFiles::registroIni(appDir);
    if (!QFileInfo::exists(path))
        return {};
    const IniFile ini(path);
    const IssuerSettings s = IssuerSettings::read(ini);
    record.setReasons(s.treatmentReasons());
    record.lines().setZeroRateCause(s.zeroRateTreatment());
    record.setText(RecordField::BankEntity, s.entity);
    record.setText(RecordField::BankOffice, s.office);
    record.setText(RecordField::BankControlDigits, s.control);
    record.setText(RecordField::BankAccountNumber, s.account);
    record.setText(RecordField::Iban, s.iban);
    // The IBAN follows the account just loaded.
    BankAccount::followAccount(record);

    const auto type = PartyFields::personTypeOf(s.personLetter());
    if (type)
        PartyFields::load(record, Party::Issuer, *type,
                          [&](const QString& key) { return ini.readString(MisDatos, key); });
    return ini.readProblem();
}

void loadTreatmentSettings(InvoiceRecord& record, const QString& appDir) {
    const QString path = AppFiles::registroIni(appDir);
    const IssuerSettings s =
        QFileInfo::exists(path) ? IssuerSettings::read(IniFile(path)) : IssuerSettings();
    record.setReasons(s.treatmentReasons());
    record.lines().setZeroRateCause(s.zeroRateTreatment());
}

FacturaeVersion facturaeVersion(const QString& appDir) {
    const QString path = AppFiles::registroIni(appDir);
    const QString stored =
        IniFile(path).readString(QStringLiteral("FACTURAE"), QStringLiteral("VERSION")).trimmed();
    if (stored.isEmpty())
        return FacturaeVersion::V3_2_1;
    if (const auto version = FacturaeVersions::fromText(stored))
        return *version;
    throw AppError(QStringLiteral("[FACTURAE] VERSION=%1 en %2 no es válido: escriba 3.2.1 (la "
                                  "versión habitual) o 3.2.2")
                       .arg(stored, QDir::toNativeSeparators(path)));
}

QString usualWithholdingRate(const QString& appDir) {
    const QString path = AppFiles::registroIni(appDir);
    const QString stored = IniFile(path).readString(MisDatos, QStringLiteral("IRPF"));
    if (stored.isEmpty())
        return QStringLiteral("0");
    const ValueForms::NumberRead read = ValueForms::readNumber(stored);
    if (!read.ok() ||
        !AmountLimits::withinLimits(AmountLimits::NumberField::Withholding, read.value))
        throw AppError(QStringLiteral("El tipo de retención habitual guardado en %1 (IRPF=%2) no "
                                      "es un número de 0 a 100; corríjalo en Configuración > "
                                      "Mis datos")
                           .arg(QDir::toNativeSeparators(path), stored));
    return read.value.editText();
}

QString withholdingRateToStore(const QString& typed) {
    if (typed.trimmed().isEmpty())
        return QStringLiteral("0");
    return AmountLimits::typedValue(AmountLimits::NumberField::Withholding, typed).editText();
}

} // namespace RegistroIni
