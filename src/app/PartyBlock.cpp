#include "app/PartyBlock.h"

#include "app/ControlNames.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

// The accelerator of each caption when the window marks every caption; none
// of them is taken by the issuer window's own captions.
QChar captionKey(PartyField field) {
    using F = PartyField;
    switch (field) {
    case F::CorporateName:
        return u'R';
    case F::FirstName:
        return u'N';
    case F::FirstSurname:
        return u'1';
    case F::SecondSurname:
        return u'2';
    case F::Address:
        return u'D';
    case F::PostCode:
        return u'P';
    case F::Town:
        return u'O';
    case F::Province:
        return u'V';
    case F::TaxId:
        return u'C';
    case F::Contact:
        return u'T';
    case F::Email:
        return u'E';
    }
    return {};
}

// The text with an accelerator on the first appearance of key, if any.
QString withKey(const QString& text, QChar key) {
    QString marked = text;
    const qsizetype at = key.isNull() ? -1 : text.indexOf(key, 0, Qt::CaseInsensitive);
    if (at >= 0)
        marked.insert(at, u'&');
    return marked;
}

} // namespace

PartyBlock::PartyBlock(Party party, QWidget* parent, QGridLayout* grid, const CaptionNames& names,
                       Accelerators accelerators)
    : m_accelerators(accelerators) {
    using F = PartyField;
    auto caption = [&](PartyField field, const char* objectName = nullptr) {
        auto* label = new QLabel(parent);
        if (m_accelerators.everyCaption)
            label->setText(withKey(PartyFields::label(field), captionKey(field)));
        else
            label->setText(PartyFields::label(field));
        if (objectName)
            label->setObjectName(QLatin1String(objectName));
        label->setBuddy(edit(field));
        return label;
    };
    for (const PartyFieldInfo& info : PartyFields::all()) {
        const auto field = PartyFields::recordField(party, info.field);
        if (!field)
            continue;
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(controlName(*field));
        m_edits[static_cast<int>(info.field)] = edit;
    }
    m_nameLabel = caption(F::CorporateName, names.name);
    setNameCaption(PartyFields::label(F::CorporateName));
    m_surname1Label = caption(F::FirstSurname, names.surname1);
    m_surname2Label = caption(F::SecondSurname, names.surname2);
    m_contactLabel = caption(F::Contact, names.contact);

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
    grid->addWidget(caption(F::Address), 2, 0);
    grid->addWidget(edit(F::Address), 2, 1, 1, 3);
    grid->addWidget(caption(F::PostCode), 3, 0);
    grid->addWidget(edit(F::PostCode), 3, 1);
    grid->addWidget(caption(F::Town), 3, 2);
    grid->addWidget(edit(F::Town), 3, 3);
    grid->addWidget(caption(F::Province), 4, 0);
    grid->addWidget(edit(F::Province), 4, 1);
    grid->addWidget(caption(F::TaxId), 4, 2);
    grid->addWidget(edit(F::TaxId), 4, 3);
    grid->addWidget(m_contactLabel, 5, 0);
    grid->addWidget(edit(F::Contact), 5, 1, 1, 3);
    if (QLineEdit* email = edit(F::Email)) {
        grid->addWidget(caption(F::Email), 6, 0);
        grid->addWidget(email, 6, 1, 1, 3);
    }

    // A post code needs little room; the town, enough for a long name.
    edit(F::PostCode)->setMaximumWidth(70);
    QLineEdit* town = edit(F::Town);
    town->setMinimumWidth(
        town->fontMetrics().horizontalAdvance(QStringLiteral("Santiago de Compostela")) + 16);

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
    m_kind = type;
    m_nameLabel->setBuddy(edit(natural ? PartyField::FirstName : PartyField::CorporateName));
    setNameCaption(nameCaption);
}

void PartyBlock::setNameCaption(const QString& text) {
    QChar key = m_accelerators.nameKey;
    if (m_accelerators.everyCaption)
        key = captionKey(m_kind == PersonType::NaturalPerson ? PartyField::FirstName
                                                             : PartyField::CorporateName);
    m_nameLabel->setText(withKey(text, key));
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
