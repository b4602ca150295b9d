#pragma once

#include <QByteArrayView>
#include <QString>

// The SHA-256 of a stored document as 64 lower-case hexadecimal digits.
// Through OpenSSL, which uses the processor's SHA instructions: the check
// of a whole book hashes every document it holds.
namespace DocumentDigest {

QString sha256(QByteArrayView bytes);

} // namespace DocumentDigest
