#pragma once

#include <QByteArray>
#include <QString>

// The holder's name in an X.509 certificate (DER bytes): the subject's common
// name, else given name and surname, else the organisation. Empty when the
// bytes are not a certificate. Reads names only; it checks nothing.
namespace CertificateName {

QString subjectName(const QByteArray& der);

} // namespace CertificateName
