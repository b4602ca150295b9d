#pragma once

#include "ledger/RecordSettings.h"
#include "widgets/SettingsDialog.h"

#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// "Registro de facturación" (Configuración menu): whether billing records are
// made and how ([VERIFACTU] of Registro.Ini): the mode, the issuer's
// territory for the records' clock, the tax agency's service (production or
// trials) and the legend under the invoice's QR code. Saving changes those
// keys only; the mode without sending is refused, with the reason, while
// Configuración > Firma names no PKCS#12 certificate.
class RecordSettingsDialog : public SettingsDialog {
    Q_OBJECT
public:
    explicit RecordSettingsDialog(const QString& appDir, QWidget* parent = nullptr);

    // Told before a change of mode is saved, so that entering or leaving a
    // mode can be logged first; false (the person cancelled) or AppError
    // keeps the page open with nothing saved.
    using ModeChange = std::function<bool(RecordSettings::Mode from, RecordSettings::Mode to)>;
    void setModeChange(ModeChange change) { m_modeChange = std::move(change); }

    // Handlers, public so that tests can drive them as the buttons do.
    void GuardarClick(); // stores the choices and closes; refused while the mode cannot be
    void showModeProblem();

protected:
    void shown() override;

private:
    QString iniPath() const;

    QString m_appDir;
    ModeChange m_modeChange;
    QComboBox* m_mode = nullptr;
    QComboBox* m_territory = nullptr;
    QComboBox* m_environment = nullptr;
    QComboBox* m_legend = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
