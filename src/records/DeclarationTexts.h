#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

// What the declaration of conformity says besides the producer's data, from
// the data file built into the program (records/data/declaration.json): the
// rules it states compliance with, which change with the law, and when and
// where the producer subscribed it.
struct DeclarationTexts {
    QStringList compliance; // as the statement names each: "el artículo 29.2.j) de …"
    QDate subscribedOn;     // null until the maintainers fill it in
    QString subscribedAt;   // town and country

    static const DeclarationTexts& builtIn();
    // Throws AppError when the text is not such a file, names no rule, or
    // holds a date that is not one.
    static DeclarationTexts fromJson(const QByteArray& json);
};
