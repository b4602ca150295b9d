#pragma once

#include "invoice/PartyFields.h"

#include <QList>
#include <array>

class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;

// The fields of one party as every window shows them: the name row (the
// corporate name, or the first name and two surnames), address, post code,
// town, province, tax number, contact and, for the issuer, e-mail, each with
// its caption, in rows 1 to 6 of the window's grid. The edits are named after
// the record fields they show. The main window's party blocks and the issuer
// window both build their block here.
class PartyBlock {
public:
    // Object names of the captions that change with the kind.
    struct CaptionNames {
        const char* name;
        const char* surname1;
        const char* surname2;
        const char* contact;
    };

    // Creates the edits and captions in parent and places them in grid; the
    // block starts laid out for a legal entity.
    PartyBlock(Party party, QWidget* parent, QGridLayout* grid, const CaptionNames& names);

    QLineEdit* edit(PartyField field) const { return m_edits[static_cast<int>(field)]; }
    QLabel* nameLabel() const { return m_nameLabel; }

    // Shows the fields a person of the kind has and hides the others.
    void showKind(PersonType type, const QString& nameCaption);

    // The edits in tab order: name fields, address ... contact, e-mail.
    QList<QWidget*> tabOrder() const;

private:
    Party m_party;
    std::array<QLineEdit*, PartyFieldCount> m_edits{};
    QLabel* m_nameLabel = nullptr;
    QLabel* m_surname1Label = nullptr;
    QLabel* m_surname2Label = nullptr;
    QLabel* m_contactLabel = nullptr;
};
