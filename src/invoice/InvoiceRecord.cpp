#include "invoice/InvoiceRecord.h"

#include "common/ValueForms.h"
#include "invoice/AmountLimits.h"
#include "invoice/PartyFields.h"
#include "invoice/Totals.h"

InvoiceRecord::InvoiceRecord(QObject* parent) : QObject(parent) {
    m_text[static_cast<int>(RecordField::WithholdingRate)] = QStringLiteral("0");
    m_lines.setParent(this);
    connect(&m_lines, &Memoria::afterPost, this, &InvoiceRecord::recalculateTotals);
    connect(&m_lines, &Memoria::afterDelete, this, &InvoiceRecord::recalculateTotals);
    connect(&m_lines, &Memoria::rowsReset, this, &InvoiceRecord::recalculateTotals);
}

const QString& InvoiceRecord::text(RecordField field) const {
    return m_text[static_cast<int>(field)];
}

void InvoiceRecord::setText(RecordField field, const QString& value) {
    QString& slot = m_text[static_cast<int>(field)];
    if (slot == value)
        return;
    slot = value;
    emit textChanged(field, value);
    if (field == RecordField::WithholdingRate)
        recalculateTotals();
}

PersonType InvoiceRecord::personType(Party party) const {
    return party == Party::Issuer ? m_issuerType : m_customerType;
}

static RecordField contactOf(Party party) {
    return party == Party::Issuer ? RecordField::IssuerContact : RecordField::CustomerContact;
}

void InvoiceRecord::selectPersonType(Party party, PersonType type) {
    PersonType& current = party == Party::Issuer ? m_issuerType : m_customerType;
    if (current == type)
        return;
    current = type;
    emit personTypeChanged(party);
    // The click handlers: either kind empties the contact, then lays out.
    setText(contactOf(party), QString());
    applyLayout(party);
}

void InvoiceRecord::applyLayout(Party party) {
    if (party == Party::Customer)
        m_customerLabelSet = true;
    if (personType(party) == PersonType::NaturalPerson)
        setText(contactOf(party), QString());
    emit layoutChanged(party);
}

QString InvoiceRecord::nameLabel(Party party) const {
    if (party == Party::Customer && !m_customerLabelSet)
        return QStringLiteral("R. Social");
    return personType(party) == PersonType::LegalEntity ? QStringLiteral("R.Social")
                                                        : QStringLiteral("Nombre");
}

void InvoiceRecord::setIssueDate(const QDate& date) {
    if (m_issueDate == date)
        return;
    m_issueDate = date;
    emit datesChanged();
}

void InvoiceRecord::setDueDate(const QDate& date) {
    if (m_dueDate == date)
        return;
    m_dueDate = date;
    emit datesChanged();
}

void InvoiceRecord::setAdministration(bool ticked) {
    if (m_administration == ticked)
        return;
    m_administration = ticked;
    emit administrationChanged(ticked);
}

Decimal InvoiceRecord::totalValue(TotalBox box) const {
    switch (box) {
    case TotalBox::Bruto:
        return m_totals.gross;
    case TotalBox::Dto:
        return m_totals.discount;
    case TotalBox::Base:
        return m_totals.base;
    case TotalBox::Iva:
        return m_totals.vat;
    case TotalBox::Irpf:
        return m_totals.withholding;
    case TotalBox::Total:
        return m_totals.total;
    }
    return Decimal();
}

namespace {

struct PartyTexts {
    Party party;
    InvoiceParty Invoice::*member;
};
const PartyTexts Parties[] = {{Party::Issuer, &Invoice::issuer},
                              {Party::Customer, &Invoice::customer}};

struct AccountText {
    RecordField field;
    QString PaymentAccount::*member;
};
const AccountText AccountTexts[] = {
    {RecordField::BankEntity, &PaymentAccount::entity},
    {RecordField::BankOffice, &PaymentAccount::office},
    {RecordField::BankControlDigits, &PaymentAccount::controlDigits},
    {RecordField::BankAccountNumber, &PaymentAccount::number},
    {RecordField::Iban, &PaymentAccount::iban}};

} // namespace

Invoice InvoiceRecord::invoice() const {
    Invoice v;
    for (const PartyTexts& p : Parties) {
        InvoiceParty& party = v.*p.member;
        party.type = personType(p.party);
        for (const PartyFieldInfo& info : PartyFields::all()) {
            if (const auto field = PartyFields::recordField(p.party, info.field))
                party.field(info.field) = text(*field);
        }
    }
    v.administration = m_administration;
    v.centres = AdministrationCentres::fromRecord(*this);
    v.series = text(RecordField::InvoiceSeries);
    v.number = text(RecordField::InvoiceNumber);
    v.issueDate = m_issueDate;
    v.dueDate = m_dueDate;
    for (const AccountText& a : AccountTexts)
        v.account.*a.member = text(a.field);
    v.withholdingRate = withholdingRate();
    v.reasons = m_reasons;
    v.lines = m_lines.lines();
    v.facturaeVersion = m_facturaeVersion;
    v.correction = m_correction;
    return v;
}

Invoice InvoiceRecord::settledInvoice() {
    if (m_lines.isEditing()) {
        const int row = m_lines.currentRow();
        m_lines.first();
        m_lines.moveTo(row);
    }
    return invoice();
}

void InvoiceRecord::assign(const Invoice& v) {
    for (const PartyTexts& p : Parties) {
        const InvoiceParty& party = v.*p.member;
        PersonType& current = p.party == Party::Issuer ? m_issuerType : m_customerType;
        if (current != party.type) {
            current = party.type;
            emit personTypeChanged(p.party);
        }
        for (const PartyFieldInfo& info : PartyFields::all()) {
            if (const auto field = PartyFields::recordField(p.party, info.field))
                setText(*field, party.field(info.field));
        }
        applyLayout(p.party);
    }
    setText(RecordField::InvoiceSeries, v.series);
    setText(RecordField::InvoiceNumber, v.number);
    setIssueDate(v.issueDate);
    setDueDate(v.dueDate);
    for (const AccountText& a : AccountTexts)
        setText(a.field, v.account.*a.member);
    setText(RecordField::WithholdingRate, v.withholdingRate.editText());
    v.centres.storeIn(*this);
    setAdministration(v.administration);
    m_reasons = v.reasons;
    m_correction = v.correction;
    m_lines.load(v.lines);
}

Decimal InvoiceRecord::withholdingRate() const {
    // A text that is no rate from 0 to 100 counts as no withholding, so the
    // document never withholds what its own summary does not show.
    const auto read = ValueForms::readTypedNumber(text(RecordField::WithholdingRate));
    if (!read.ok() ||
        !AmountLimits::withinLimits(AmountLimits::NumberField::Withholding, read.value))
        return Decimal();
    return read.value;
}

void InvoiceRecord::setImportFile(const QString& baseName, const QString& folderWithSeparator) {
    m_nombreFichero = baseName;
    m_rutaDelFichero = folderWithSeparator;
}

void InvoiceRecord::recalculateTotals() {
    InvoiceTotals totals = computeTotals(m_lines.lines(), withholdingRate());
    if (totals == m_totals)
        return;
    m_totals = std::move(totals);
    emit totalsChanged();
}

void InvoiceRecord::reset() {
    const InvoiceRecord fresh;
    for (int i = 0; i < RecordFieldCount; ++i) {
        const auto field = static_cast<RecordField>(i);
        setText(field, fresh.text(field));
    }
    for (Party party : {Party::Issuer, Party::Customer}) {
        PersonType& current = party == Party::Issuer ? m_issuerType : m_customerType;
        if (current != PersonType::LegalEntity) {
            current = PersonType::LegalEntity;
            emit personTypeChanged(party);
        }
    }
    m_customerLabelSet = false;
    emit layoutChanged(Party::Issuer);
    emit layoutChanged(Party::Customer);
    if (m_administration) {
        m_administration = false;
        emit administrationChanged(false);
    }
    // Closing the table works the totals out again: all zero.
    m_lines.close();
    m_reasons = TreatmentReasons();
    m_correction.reset();
    m_importando = false;
    m_cuentaCompleta.clear();
    m_nombreFichero.clear();
    m_rutaDelFichero.clear();
}
