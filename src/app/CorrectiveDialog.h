#pragma once

#include "book/BookRows.h"
#include "invoice/Correction.h"

#include <QDialog>

class QComboBox;
class QLabel;

// "Rectificar…" from the book: why and how the chosen invoice is corrected
// (the reason with its official description, the method, the kind of
// corrective record with what the law says each is for). Accepting it gives
// the corrective's description; the main window then prepares the invoice.
class CorrectiveDialog : public QDialog {
    Q_OBJECT
public:
    CorrectiveDialog(const BookEntry& corrected, QWidget* parent = nullptr);

    // What the choices describe (after Aceptar).
    const Correction& correction() const { return m_correction; }

    QComboBox* reasonBox() const { return m_reason; }
    QComboBox* methodBox() const { return m_method; }
    QComboBox* kindBox() const { return m_kind; }

    void AceptarClick();

private:
    void showMethodHint();

    BookEntry m_corrected;
    Correction m_correction;
    QComboBox* m_reason = nullptr;
    QComboBox* m_method = nullptr;
    QComboBox* m_kind = nullptr;
    QLabel* m_hint = nullptr;
};
