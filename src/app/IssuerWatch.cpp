#include "app/IssuerWatch.h"

#include "common/AppVersion.h"
#include "invoice/InvoiceRecord.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"
#include "widgets/Prompts.h"

namespace {

QStringList issuerBoxes(const InvoiceRecord& r) {
    QStringList boxes{personTypeLetter(r.personType(Party::Issuer))};
    for (RecordField field :
         {RecordField::IssuerCorporateName, RecordField::IssuerFirstName,
          RecordField::IssuerFirstSurname, RecordField::IssuerSecondSurname,
          RecordField::IssuerAddress, RecordField::IssuerPostCode, RecordField::IssuerTown,
          RecordField::IssuerProvince, RecordField::IssuerTaxId, RecordField::IssuerContact,
          RecordField::IssuerEmail, RecordField::BankEntity, RecordField::BankOffice,
          RecordField::BankControlDigits, RecordField::BankAccountNumber, RecordField::Iban})
        boxes << r.text(field);
    return boxes;
}

bool sameIssuer(const IssuerSettings& a, const IssuerSettings& b) {
    return a.entity == b.entity && a.office == b.office && a.control == b.control &&
           a.account == b.account && a.iban == b.iban && a.persona == b.persona &&
           a.name == b.name && a.surname1 == b.surname1 && a.surname2 == b.surname2 &&
           a.address == b.address && a.postCode == b.postCode && a.town == b.town &&
           a.province == b.province && a.taxId == b.taxId && a.contact == b.contact &&
           a.email == b.email;
}

} // namespace

void IssuerWatch::remember() {
    m_loadedIssuer = issuerBoxes(m_record);
}

// What the window stores reaches the invoice at once when its issuer still
// shows what Registro.Ini gave it; an issuer changed by hand is replaced only
// when the person says so.
bool IssuerWatch::follow(QWidget* parent, const std::function<void()>& runWindow) {
    const auto stored = [this] {
        return IssuerSettings::read(IniFile(AppFiles::registroIni(m_appDir)));
    };
    const IssuerSettings before = stored();
    runWindow();
    if (sameIssuer(before, stored()))
        return false;
    if (issuerBoxes(m_record) != m_loadedIssuer &&
        !Prompts::instance().confirm(
            parent, AppTitle,
            QStringLiteral("Los datos del emisor o la cuenta de esta factura no son los de "
                           "«Mis datos» (vienen de un fichero o se han cambiado a mano). "
                           "¿Desea sustituirlos por los datos guardados en «Mis datos»?")))
        return false;
    RegistroIni::loadIssuerAtStart(m_record, m_appDir);
    remember();
    return true;
}
