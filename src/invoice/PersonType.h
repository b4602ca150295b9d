#pragma once

#include <QString>

enum class PersonType { LegalEntity, NaturalPerson };
enum class Party { Issuer, Customer };

// "J" for a legal entity, "F" for a natural person.
inline QString personTypeLetter(PersonType type) {
    return type == PersonType::LegalEntity ? QStringLiteral("J") : QStringLiteral("F");
}
