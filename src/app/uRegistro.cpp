#include "app/uRegistro.h"

#include "app/ControlNames.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "settings/RegistroIni.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/TypedLengthLimit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

// The edits carry the names of the main window's edits for the same fields.
QLineEdit* edit(QWidget* parent, RecordField field) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(controlName(field));
    return e;
}

QLineEdit* partyEdit(QWidget* parent, PartyField field) {
    return edit(parent, *PartyFields::recordField(Party::Issuer, field));
}

} // namespace

TFormRegistro::TFormRegistro(const QString& appDir, QWidget* parent)
    : SettingsDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormRegistro"));
    setWindowTitle(QStringLiteral("Registro Aplicación"));
    DialogKit::frameDialog(this, 451, 351);
    buildLayout();
}

void TFormRegistro::buildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 6);
    m_group = new QGroupBox(QStringLiteral("Mis Datos"), this);
    m_group->setObjectName(QStringLiteral("GroupBox1"));
    outer->addWidget(m_group);

    QWidget* g = m_group;
    auto* grid = new QGridLayout(m_group);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);

    // Row 1: person type.
    m_legalEntity = new QRadioButton(QStringLiteral("Pers.Jurídica"), g);
    m_legalEntity->setObjectName(QStringLiteral("RadioButton3"));
    m_naturalPerson = new QRadioButton(QStringLiteral("Pers. Física"), g);
    m_naturalPerson->setObjectName(QStringLiteral("RadioButton4"));
    m_legalEntity->setChecked(true);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(m_legalEntity);
    kinds->addSpacing(24);
    kinds->addWidget(m_naturalPerson);
    kinds->addStretch();
    grid->addLayout(kinds, 0, 0, 1, 4);

    // Row 2: corporate name, or first name and surnames.
    m_nameLabel = label(g, "Label1", PartyFields::label(PartyField::CorporateName));
    m_corporateName = partyEdit(g, PartyField::CorporateName);
    m_firstName = partyEdit(g, PartyField::FirstName);
    m_surname1Label = label(g, "Label19", PartyFields::label(PartyField::FirstSurname));
    m_firstSurname = partyEdit(g, PartyField::FirstSurname);
    m_surname2Label = label(g, "Label20", PartyFields::label(PartyField::SecondSurname));
    m_secondSurname = partyEdit(g, PartyField::SecondSurname);
    auto* names = new QHBoxLayout;
    names->setSpacing(4);
    names->addWidget(m_corporateName, 1);
    names->addWidget(m_firstName, 1);
    names->addWidget(m_surname1Label);
    names->addWidget(m_firstSurname, 1);
    names->addWidget(m_surname2Label);
    names->addWidget(m_secondSurname, 1);
    grid->addWidget(m_nameLabel, 1, 0);
    grid->addLayout(names, 1, 1, 1, 3);
    m_firstName->hide();
    m_firstSurname->hide();
    m_secondSurname->hide();
    m_surname1Label->hide();
    m_surname2Label->hide();

    // Rows 3 to 7: address, tax number, contact and e-mail.
    m_address = partyEdit(g, PartyField::Address);
    grid->addWidget(label(g, "Label2", PartyFields::label(PartyField::Address)), 2, 0);
    grid->addWidget(m_address, 2, 1, 1, 3);
    m_postCode = partyEdit(g, PartyField::PostCode);
    m_town = partyEdit(g, PartyField::Town);
    grid->addWidget(label(g, "Label3", PartyFields::label(PartyField::PostCode)), 3, 0);
    grid->addWidget(m_postCode, 3, 1);
    grid->addWidget(label(g, "Label4", PartyFields::label(PartyField::Town)), 3, 2);
    grid->addWidget(m_town, 3, 3);
    m_province = partyEdit(g, PartyField::Province);
    m_taxId = partyEdit(g, PartyField::TaxId);
    grid->addWidget(label(g, "Label5", PartyFields::label(PartyField::Province)), 4, 0);
    grid->addWidget(m_province, 4, 1);
    grid->addWidget(label(g, "Label6", PartyFields::label(PartyField::TaxId)), 4, 2);
    grid->addWidget(m_taxId, 4, 3);
    m_contactLabel = label(g, "Label26", PartyFields::label(PartyField::Contact));
    m_contact = partyEdit(g, PartyField::Contact);
    grid->addWidget(m_contactLabel, 5, 0);
    grid->addWidget(m_contact, 5, 1, 1, 3);
    m_email = partyEdit(g, PartyField::Email);
    grid->addWidget(label(g, "Label30", PartyFields::label(PartyField::Email)), 6, 0);
    grid->addWidget(m_email, 6, 1, 1, 3);

    // Rows 8 to 10: the bank account and the IBAN, as typed.
    grid->addWidget(label(g, "Label13", QStringLiteral("Cuenta Bancaria")), 7, 0, 1, 4);
    m_bankEntity = edit(g, RecordField::BankEntity);
    m_bankOffice = edit(g, RecordField::BankOffice);
    m_controlDigits = edit(g, RecordField::BankControlDigits);
    m_accountNumber = edit(g, RecordField::BankAccountNumber);
    const std::pair<QLineEdit*, int> limits[] = {
        {m_bankEntity, 4}, {m_bankOffice, 4}, {m_controlDigits, 2}, {m_accountNumber, 10}};
    auto* account = new QHBoxLayout;
    account->setSpacing(6);
    for (const auto& [box, limit] : limits) {
        new TypedLengthLimit(box, limit);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (limit + 1) +
                           14);
        account->addWidget(box);
    }
    account->addStretch();
    grid->addLayout(account, 8, 0, 1, 4);
    m_iban = edit(g, RecordField::Iban);
    grid->addWidget(m_iban, 9, 0, 1, 4);

    // Row 10: the reason written on exempt lines; empty means the usual one.
    m_exemptionReason = new QLineEdit(g);
    m_exemptionReason->setObjectName(QStringLiteral("MotivoExencion"));
    m_exemptionReason->setPlaceholderText(InvoiceRecord::defaultExemptionReason());
    m_exemptionReason->setToolTip(QStringLiteral("Motivo de la exención de IVA que se escribe en "
                                                 "las líneas exentas; vacío, el indicado"));
    auto* reasonRow = new QHBoxLayout;
    reasonRow->addWidget(label(g, "Label32", QStringLiteral("Motivo exención")));
    reasonRow->addWidget(m_exemptionReason, 1);
    grid->addLayout(reasonRow, 10, 0, 1, 4);

    // Row 11: the two picture buttons.
    m_saveButton =
        DialogKit::pictureButton(g, QStringLiteral("AdvSmoothButton1"), QStringLiteral("diskette"),
                                 QStringLiteral("Guardar Cambios"), QSize(57, 33));
    m_closeButton =
        DialogKit::pictureButton(g, QStringLiteral("AdvSmoothButton3"), QStringLiteral("exit"),
                                 QStringLiteral("Cerrar"), QSize(57, 33));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_saveButton);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);
    grid->setRowStretch(11, 1);
    grid->addLayout(buttons, 12, 0, 1, 4);

    QWidget* order[] = {m_firstName,      m_firstSurname,  m_secondSurname, m_corporateName,
                        m_address,        m_postCode,      m_town,          m_province,
                        m_taxId,          m_contact,       m_email,         m_legalEntity,
                        m_naturalPerson,  m_saveButton,    m_closeButton,   m_bankEntity,
                        m_bankOffice,     m_controlDigits, m_accountNumber, m_iban,
                        m_exemptionReason};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Selecting a button that was not selected, by hand or by the load, runs
    // its handler; selecting the one already selected runs nothing.
    connect(m_legalEntity, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            runGuarded(this, [this] { RadioButton3Click(); });
    });
    connect(m_naturalPerson, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            runGuarded(this, [this] { RadioButton4Click(); });
    });
    onClicked(m_saveButton, [this] { AdvSmoothButton1Click(); });
    onClicked(m_closeButton, [this] { AdvSmoothButton3Click(); });
}

void TFormRegistro::applyLegalEntityLayout() {
    m_firstName->hide();
    m_firstSurname->hide();
    m_secondSurname->hide();
    m_nameLabel->setText(PartyFields::label(PartyField::CorporateName));
    m_corporateName->show();
    m_surname1Label->hide();
    m_surname2Label->hide();
    m_contact->show();
    m_contactLabel->show();
}

void TFormRegistro::applyNaturalPersonLayout() {
    m_firstName->show();
    m_firstSurname->show();
    m_secondSurname->show();
    m_nameLabel->setText(PartyFields::label(PartyField::FirstName));
    m_corporateName->hide();
    m_surname1Label->show();
    m_surname2Label->show();
    m_contact->clear();
    m_contact->hide();
    m_contactLabel->hide();
}

void TFormRegistro::RadioButton3Click() {
    applyLegalEntityLayout();
    m_contact->clear();
}

void TFormRegistro::RadioButton4Click() {
    applyNaturalPersonLayout();
}

void TFormRegistro::FormShow() {
    // A missing or unreadable file reads as one without sections.
    const IniFile ini(AppFiles::registroIni(m_appDir));
    const IssuerSettings stored = IssuerSettings::read(ini);

    m_bankEntity->setText(stored.entity);
    m_bankOffice->setText(stored.office);
    m_controlDigits->setText(stored.control);
    m_accountNumber->setText(stored.account);
    m_iban->setText(stored.iban);

    m_tipoPersona = stored.persona.left(1);
    if (m_tipoPersona == QLatin1String("J")) {
        m_legalEntity->setChecked(true);
        m_corporateName->setText(stored.name);
    } else if (m_tipoPersona == QLatin1String("F")) {
        m_naturalPerson->setChecked(true);
        m_firstName->setText(stored.name);
        m_firstSurname->setText(stored.surname1);
        m_secondSurname->setText(stored.surname2);
    } else {
        return; // neither kind: only the account is loaded
    }
    m_address->setText(stored.address);
    m_postCode->setText(stored.postCode);
    m_town->setText(stored.town);
    m_province->setText(stored.province);
    m_taxId->setText(stored.taxId);
    m_email->setText(stored.email);
    m_exemptionReason->setText(stored.exemptionReason);
    if (m_tipoPersona == QLatin1String("J")) {
        m_contact->setText(stored.contact);
        applyLegalEntityLayout();
    } else {
        applyNaturalPersonLayout(); // a natural person has no contact
    }
}

void TFormRegistro::AdvSmoothButton1Click() {
    if (m_legalEntity->isChecked())
        m_tipoPersona = QStringLiteral("J");
    else if (m_naturalPerson->isChecked())
        m_tipoPersona = QStringLiteral("F");
    const PersonType type =
        m_tipoPersona == QLatin1String("F") ? PersonType::NaturalPerson : PersonType::LegalEntity;

    IssuerSettings issuer;
    issuer.entity = m_bankEntity->text();
    issuer.office = m_bankOffice->text();
    issuer.control = m_controlDigits->text();
    issuer.account = m_accountNumber->text();
    issuer.iban = m_iban->text();
    issuer.persona = personTypeLetter(type);
    if (type == PersonType::LegalEntity) {
        issuer.name = m_corporateName->text();
    } else {
        issuer.name = m_firstName->text();
        issuer.surname1 = m_firstSurname->text();
        issuer.surname2 = m_secondSurname->text();
    }
    issuer.address = m_address->text();
    issuer.postCode = m_postCode->text();
    issuer.town = m_town->text();
    issuer.province = m_province->text();
    issuer.taxId = m_taxId->text();
    issuer.contact = m_contact->text();
    issuer.email = m_email->text();
    issuer.exemptionReason = m_exemptionReason->text();

    // Strict: a file that exists but cannot be read must not be replaced by
    // one holding only this section.
    IniFile ini(AppFiles::registroIni(m_appDir), true);
    issuer.write(ini, type);
    ini.save(); // throws "Unable to write to ..."; the window then stays open
    accept();
}

void TFormRegistro::AdvSmoothButton3Click() {
    reject();
}
