#pragma once

#include <QString>

// Spanish tax ids and their check characters: the NIF of a person (eight
// digits and a letter, or K/L/M, seven digits and a letter), the NIE of a
// foreigner (X/Y/Z, seven digits and a letter) and the NIF of an entity (a
// letter, seven digits and a control digit or letter).
namespace TaxIdCheck {

enum class Kind { Person, Foreigner, Entity, OtherCountry, Unrecognised };

struct Result {
    Kind kind = Kind::Unrecognised;
    bool valid = false;  // the form and the check character are right
    bool tidied = false; // it took upper-casing or removing blanks, dots or hyphens
    QString id;          // upper-cased, without blanks, dots, hyphens or an ES prefix
    QString expected;    // the right check character, when the form is right
    QString problem;     // Spanish, empty when valid
};

// Upper-cases and drops blanks, dots and hyphens.
QString tidy(const QString& written);
Result check(const QString& written);
// The check character for a well-formed id with any last character (empty
// when the id has no Spanish form).
QString checkCharacter(const QString& tidyId);

} // namespace TaxIdCheck
