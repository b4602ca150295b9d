#include "app/PartyPanel.h"

#include "app/ControlNames.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

QLabel* caption(QWidget* parent, const QString& text, const QString& objectName = {}) {
    auto* label = new QLabel(text, parent);
    if (!objectName.isEmpty())
        label->setObjectName(objectName);
    return label;
}

// Object names of the block's own controls; the edits are named after the
// record fields they show.
struct PartyNames {
    const char* group;
    const char* title;
    const char* legal;
    const char* natural;
    const char* nameLabel;
    const char* surname1Label;
    const char* surname2Label;
    const char* contactLabel;
};

const PartyNames IssuerNames{"GroupBox1", "Mis Datos", "RadioButton3", "RadioButton4",
                             "Label1",    "Label19",   "Label20",      "Label26"};
const PartyNames CustomerNames{"GroupBox2", "Cliente", "RadioButton5", "RadioButton6",
                               "Label7",    "Label21", "Label22",      "Label27"};

} // namespace

QLineEdit* PartyPanel::addEdit(PartyField field) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(controlName(*PartyFields::recordField(m_party, field)));
    return edit;
}

PartyPanel::PartyPanel(Party party, QWidget* parent) : QGroupBox(parent), m_party(party) {
    const PartyNames& n = party == Party::Issuer ? IssuerNames : CustomerNames;
    setObjectName(QLatin1String(n.group));
    setTitle(QString::fromUtf8(n.title));

    m_legal = new QRadioButton(QStringLiteral("Pers.Jurídica"), this);
    m_legal->setObjectName(QLatin1String(n.legal));
    m_natural = new QRadioButton(QStringLiteral("Pers. Física"), this);
    m_natural->setObjectName(QLatin1String(n.natural));
    m_legal->setChecked(true);

    using F = PartyField;
    m_nameLabel = caption(this, PartyFields::label(F::CorporateName), QLatin1String(n.nameLabel));
    m_corporateName = addEdit(F::CorporateName);
    m_firstName = addEdit(F::FirstName);
    m_firstSurname = addEdit(F::FirstSurname);
    m_secondSurname = addEdit(F::SecondSurname);
    m_surname1Label =
        caption(this, PartyFields::label(F::FirstSurname), QLatin1String(n.surname1Label));
    m_surname2Label =
        caption(this, PartyFields::label(F::SecondSurname), QLatin1String(n.surname2Label));
    QLineEdit* address = addEdit(F::Address);
    QLineEdit* postCode = addEdit(F::PostCode);
    QLineEdit* town = addEdit(F::Town);
    QLineEdit* province = addEdit(F::Province);
    QLineEdit* taxId = addEdit(F::TaxId);
    m_contact = addEdit(F::Contact);
    m_contactLabel = caption(this, PartyFields::label(F::Contact), QLatin1String(n.contactLabel));
    postCode->setMaximumWidth(70);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);

    // Top row: the public-administration box (customer only) and the kind.
    auto* top = new QHBoxLayout;
    if (party == Party::Customer) {
        m_administration = new QCheckBox(QStringLiteral("Admón. del estado."), this);
        m_administration->setObjectName(QStringLiteral("CheckBox1"));
        m_administration->setToolTip(QStringLiteral("Botón Derecho para ver valores."));
        m_administration->setCursor(Qt::PointingHandCursor);
        top->addWidget(m_administration);
    }
    top->addStretch(1);
    top->addWidget(m_legal);
    top->addSpacing(12);
    top->addWidget(m_natural);
    grid->addLayout(top, 0, 0, 1, 4);

    // The name row holds either the corporate name or name and two surnames.
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(4);
    nameRow->addWidget(m_corporateName, 1);
    nameRow->addWidget(m_firstName, 1);
    nameRow->addWidget(m_surname1Label);
    nameRow->addWidget(m_firstSurname, 1);
    nameRow->addWidget(m_surname2Label);
    nameRow->addWidget(m_secondSurname, 1);
    grid->addWidget(m_nameLabel, 1, 0);
    grid->addLayout(nameRow, 1, 1, 1, 3);

    grid->addWidget(caption(this, PartyFields::label(F::Address)), 2, 0);
    grid->addWidget(address, 2, 1, 1, 3);
    grid->addWidget(caption(this, PartyFields::label(F::PostCode)), 3, 0);
    grid->addWidget(postCode, 3, 1);
    grid->addWidget(caption(this, PartyFields::label(F::Town)), 3, 2);
    grid->addWidget(town, 3, 3);
    grid->addWidget(caption(this, PartyFields::label(F::Province)), 4, 0);
    grid->addWidget(province, 4, 1);
    grid->addWidget(caption(this, PartyFields::label(F::TaxId)), 4, 2);
    grid->addWidget(taxId, 4, 3);
    grid->addWidget(m_contactLabel, 5, 0);
    grid->addWidget(m_contact, 5, 1, 1, 3);

    m_tabOrder = {m_firstName, m_firstSurname, m_secondSurname, m_corporateName, address,
                  postCode,    town,           province,        taxId,           m_contact};
    if (party == Party::Issuer) {
        QLineEdit* email = addEdit(F::Email);
        grid->addWidget(caption(this, PartyFields::label(F::Email)), 6, 0);
        grid->addWidget(email, 6, 1, 1, 3);
        m_tabOrder << email;
    } else {
        m_tabOrder << m_administration;
        grid->setRowStretch(6, 1);
    }
    m_tabOrder << m_legal << m_natural;

    connect(m_legal, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            emit personTypeChosen(PersonType::LegalEntity);
    });
    connect(m_natural, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            emit personTypeChosen(PersonType::NaturalPerson);
    });

    // Start: legal entity.
    m_firstName->hide();
    m_firstSurname->hide();
    m_secondSurname->hide();
    m_surname1Label->hide();
    m_surname2Label->hide();
    if (party == Party::Customer)
        m_nameLabel->setText(QStringLiteral("R. Social"));
}

void PartyPanel::showLayout(const InvoiceRecord& record) {
    const bool natural = record.personType(m_party) == PersonType::NaturalPerson;
    {
        const QSignalBlocker blockLegal(m_legal);
        const QSignalBlocker blockNatural(m_natural);
        (natural ? m_natural : m_legal)->setChecked(true);
    }
    m_firstName->setVisible(natural);
    m_firstSurname->setVisible(natural);
    m_secondSurname->setVisible(natural);
    m_surname1Label->setVisible(natural);
    m_surname2Label->setVisible(natural);
    m_corporateName->setVisible(!natural);
    m_contact->setVisible(!natural);
    m_contactLabel->setVisible(!natural);
    m_nameLabel->setText(record.nameLabel(m_party));
}

QList<QWidget*> PartyPanel::tabOrder() const {
    return m_tabOrder;
}
