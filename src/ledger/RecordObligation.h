#pragma once

#include "records/LegalDates.h"

#include <QDate>
#include <QString>

#include <optional>

struct RecordSettings;

// Whether the law already asks this issuer for billing records while no mode
// is chosen: the window says so in its status bar until one is.
namespace RecordObligation {

// The notice, in Spanish, when no mode is chosen and today is on or after the
// date that applies to the issuer (a company's, or everyone else's); empty
// otherwise. An issuer of unknown kind is given the earlier date.
QString notice(const RecordSettings& settings, std::optional<PersonType> issuer, const QDate& today,
               const LegalDates& dates = LegalDates::builtIn());

// The same for the settings in Registro.Ini of appDir ([VERIFACTU] and
// [MISDATOS] PERSONA). A value of [VERIFACTU] the program does not know is
// said instead, naming key and file, whatever the date: it stops records.
QString notice(const QString& appDir, const QDate& today);

} // namespace RecordObligation
