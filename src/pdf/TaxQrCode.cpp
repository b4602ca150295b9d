#include "pdf/TaxQrCode.h"

#include "common/AppError.h"

#include <qrencode.h>

#include <memory>

TaxQrCode::TaxQrCode(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty())
        throw AppError(QStringLiteral("La dirección del QR tributario está vacía"));
    if (bytes.size() > MaxBytes)
        throw AppError(QStringLiteral("La dirección del QR tributario es demasiado larga para un "
                                      "código QR (%1 bytes; caben %2)")
                           .arg(bytes.size())
                           .arg(MaxBytes));
    // encodeData keeps the bytes in 8-bit mode (encodeString would switch to
    // numeric or alphanumeric mode for parts of the text).
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.data()),
                          0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!code)
        throw AppError(
            QStringLiteral("No se puede hacer el código QR tributario de «%1»").arg(text.left(80)));
    m_size = code->width;
    m_dark.resize(std::size_t(m_size) * std::size_t(m_size));
    for (std::size_t i = 0; i < m_dark.size(); ++i)
        m_dark[i] = code->data[i] & 1; // bit 0: dark module; the other bits say what it is
}
