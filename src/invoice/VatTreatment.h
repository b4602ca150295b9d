#pragma once

#include <QString>
#include <optional>

// How a line's amount is taxed: subject and taxed at a rate (S1), reverse
// charge (S2), exempt by article 20, 21, 22, 23/24, 25 or another cause
// (E1-E6), not subject by articles 7/14 and others (N1) or by location
// rules (N2).
enum class VatTreatment { S1, S2, E1, E2, E3, E4, E5, E6, N1, N2 };
inline constexpr int VatTreatmentCount = int(VatTreatment::N2) + 1;

inline bool isExempt(VatTreatment t) {
    return t >= VatTreatment::E1 && t <= VatTreatment::E6;
}
inline bool isNotSubject(VatTreatment t) {
    return t == VatTreatment::N1 || t == VatTreatment::N2;
}
// Exempt or not subject: the line carries the reason of its cause.
inline bool hasCause(VatTreatment t) {
    return isExempt(t) || isNotSubject(t);
}

// The code the files and the records write: "S1", "E6", "N2"...
QString vatTreatmentCode(VatTreatment treatment);
// The treatment a code names, in capitals or not; nothing for any other text.
std::optional<VatTreatment> vatTreatmentFromCode(const QString& code);
// What a person reads in the lines' column and in Mis datos.
QString vatTreatmentCaption(VatTreatment treatment);
