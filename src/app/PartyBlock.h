#pragma once

#include "invoice/PartyFields.h"

#include <QChar>
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
// the record fields they show, and each caption is its edit's buddy. The main
// window's party blocks and the issuer window both build their block here.
class PartyBlock {
public:
    // Object names of the captions that change with the kind.
    struct CaptionNames {
        const char* name;
        const char* surname1;
        const char* surname2;
        const char* contact;
    };

    // Which captions carry an Alt accelerator. A window with one block marks
    // every caption; the main window shows two blocks with the same captions,
    // so each marks only its name caption, with a letter of its own found in
    // both "R.Social" and "Nombre".
    struct Accelerators {
        bool everyCaption;
        QChar nameKey;
    };

    // Creates the edits and captions in parent and places them in grid; the
    // block starts laid out for a legal entity.
    PartyBlock(Party party, QWidget* parent, QGridLayout* grid, const CaptionNames& names,
               Accelerators accelerators = {});

    QLineEdit* edit(PartyField field) const { return m_edits[static_cast<int>(field)]; }

    // Shows the fields a person of the kind has and hides the others; the name
    // caption then reads nameCaption and leads to the kind's first name box.
    void showKind(PersonType type, const QString& nameCaption);

    // The name caption's text, with its accelerator when it has one.
    void setNameCaption(const QString& text);

    // The edits in tab order: name fields, address ... contact, e-mail.
    QList<QWidget*> tabOrder() const;

private:
    Accelerators m_accelerators;
    PersonType m_kind = PersonType::LegalEntity;
    std::array<QLineEdit*, PartyFieldCount> m_edits{};
    QLabel* m_nameLabel = nullptr;
    QLabel* m_surname1Label = nullptr;
    QLabel* m_surname2Label = nullptr;
    QLabel* m_contactLabel = nullptr;
};
