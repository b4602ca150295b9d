#pragma once

#include <QList>
#include <QString>

struct DeclarationTexts;
struct ProducerData;

// The declaration of conformity (declaración responsable) of this billing
// system, as the program shows and prints it: a title, then each item with
// its label, in the order the law lists them. A producer field left empty in
// the data files reads "pendiente", so a missing one shows instead of being
// left out.
struct ConformityDeclaration {
    struct Entry {
        QString label;
        QString value; // several lines for a list
    };

    static const QString Title;
    static const QString Pending;

    QList<Entry> entries;

    static ConformityDeclaration compose(const ProducerData& producer,
                                         const DeclarationTexts& texts);
    // From the files built into the program, with the program's version.
    static ConformityDeclaration builtIn();
};
