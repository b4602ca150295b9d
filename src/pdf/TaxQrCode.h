#pragma once

#include <QString>

#include <vector>

// A QR code symbol for the tax check address: error correction M, 8-bit mode
// over the text's UTF-8 bytes (made by libqrencode). The modules are the
// symbol alone, without its quiet zone.
class TaxQrCode {
public:
    // The most bytes a symbol holds at error correction M (version 40).
    static constexpr int MaxBytes = 2331;

    // Throws AppError with a Spanish message when the text cannot be encoded
    // (empty or too long).
    explicit TaxQrCode(const QString& text);

    // Modules per side.
    int size() const { return m_size; }
    bool isDark(int column, int row) const { return m_dark[std::size_t(row * m_size + column)]; }

private:
    int m_size = 0;
    std::vector<bool> m_dark;
};
