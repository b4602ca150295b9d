#pragma once

#include <QList>
#include <QString>

// The codes of a corrective invoice with their official descriptions,
// written exactly as the Facturae schemas (3.2, 3.2.1 and 3.2.2) list them.
// The schemas check each value on its own, so a code with another code's
// description passes them; these tables say which description goes with
// which code.
namespace CorrectiveCodes {

struct Code {
    QString code;
    QString description;
};

// ReasonCode: 01 to 16, errors in what the invoice states; 80 to 85, changes
// of the taxable base or of the tax (VAT law, art. 80).
const QList<Code>& reasons();
// CorrectionMethod: 01 the whole invoice again, 02 the differences only,
// 03 a volume discount over a period, 04 authorised by the tax agency.
const QList<Code>& correctionMethods();

// The official description of a code; empty when it is not one.
QString reasonDescription(const QString& code);
QString correctionMethodDescription(const QString& code);

} // namespace CorrectiveCodes
