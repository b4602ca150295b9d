#include "app/PartyBlock.h"

#include "app/ControlNames.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QLabel* caption(QWidget* parent, PartyField field, const char* objectName = nullptr) {
    auto* label = new QLabel(PartyFields::label(field), parent);
    if (objectName)
        label->setObjectName(QLatin1String(objectName));
    return label;
}

} // namespace

PartyBlock::PartyBlock(Party party, QWidget* parent, QGridLayout* grid, const CaptionNames& names)
    : m_party(party) {
    using F = PartyField;
    for (const PartyFieldInfo& info : PartyFields::all()) {
        const auto field = PartyFields::recordField(party, info.field);
        if (!field)
            continue;
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(controlName(*field));
        m_edits[static_cast<int>(info.field)] = edit;
    }
    m_nameLabel = caption(parent, F::CorporateName, names.name);
    m_surname1Label = caption(parent, F::FirstSurname, names.surname1);
    m_surname2Label = caption(parent, F::SecondSurname, names.surname2);
    m_contactLabel = caption(parent, F::Contact, names.contact);

    // Row 1: the corporate name, or the first name and surnames.
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(4);
    nameRow->addWidget(edit(F::CorporateName), 1);
    nameRow->addWidget(edit(F::FirstName), 1);
    nameRow->addWidget(m_surname1Label);
    nameRow->addWidget(edit(F::FirstSurname), 1);
    nameRow->addWidget(m_surname2Label);
    nameRow->addWidget(edit(F::SecondSurname), 1);
    grid->addWidget(m_nameLabel, 1, 0);
    grid->addLayout(nameRow, 1, 1, 1, 3);

    // Rows 2 to 6: address, post code and town, province and tax number,
    // contact, e-mail.
    grid->addWidget(caption(parent, F::Address), 2, 0);
    grid->addWidget(edit(F::Address), 2, 1, 1, 3);
    grid->addWidget(caption(parent, F::PostCode), 3, 0);
    grid->addWidget(edit(F::PostCode), 3, 1);
    grid->addWidget(caption(parent, F::Town), 3, 2);
    grid->addWidget(edit(F::Town), 3, 3);
    grid->addWidget(caption(parent, F::Province), 4, 0);
    grid->addWidget(edit(F::Province), 4, 1);
    grid->addWidget(caption(parent, F::TaxId), 4, 2);
    grid->addWidget(edit(F::TaxId), 4, 3);
    grid->addWidget(m_contactLabel, 5, 0);
    grid->addWidget(edit(F::Contact), 5, 1, 1, 3);
    if (QLineEdit* email = edit(F::Email)) {
        grid->addWidget(caption(parent, F::Email), 6, 0);
        grid->addWidget(email, 6, 1, 1, 3);
    }

    // Start: legal entity.
    for (QWidget* w :
         {static_cast<QWidget*>(edit(F::FirstName)), static_cast<QWidget*>(edit(F::FirstSurname)),
          static_cast<QWidget*>(edit(F::SecondSurname)), static_cast<QWidget*>(m_surname1Label),
          static_cast<QWidget*>(m_surname2Label)})
        w->hide();
}

void PartyBlock::showKind(PersonType type, const QString& nameCaption) {
    for (const PartyFieldInfo& info : PartyFields::all()) {
        if (QLineEdit* e = edit(info.field))
            e->setVisible(PartyFields::belongsTo(info.field, type));
    }
    const bool natural = type == PersonType::NaturalPerson;
    m_surname1Label->setVisible(natural);
    m_surname2Label->setVisible(natural);
    m_contactLabel->setVisible(!natural);
    m_nameLabel->setText(nameCaption);
}

QList<QWidget*> PartyBlock::tabOrder() const {
    using F = PartyField;
    QList<QWidget*> order;
    for (F f : {F::FirstName, F::FirstSurname, F::SecondSurname, F::CorporateName, F::Address,
                F::PostCode, F::Town, F::Province, F::TaxId, F::Contact, F::Email}) {
        if (QLineEdit* e = edit(f))
            order << e;
    }
    return order;
}
