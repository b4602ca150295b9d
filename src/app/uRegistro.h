#pragma once

#include "invoice/VatTreatment.h"
#include "widgets/SettingsDialog.h"

#include <QString>
#include <array>
#include <memory>

class QComboBox;

class PartyBlock;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QToolButton;
class RateCombo;

// "Registro Aplicación": the issuer's own data kept in Registro.Ini, section
// MISDATOS. Loaded every time the window is shown; stored by "Guardar Cambios".
class TFormRegistro : public SettingsDialog {
    Q_OBJECT
public:
    explicit TFormRegistro(const QString& appDir, QWidget* parent = nullptr);
    ~TFormRegistro() override;

    // Handlers, public so that tests can drive them as the buttons do.
    void FormShow();              // loads the issuer's data from Registro.Ini
    void AdvSmoothButton1Click(); // stores the issuer's data in Registro.Ini and closes
    void AdvSmoothButton3Click(); // closes without storing
    void RadioButton3Click();     // lays the block out for a legal entity
    void RadioButton4Click();     // lays the block out for a natural person
    void bLogoClick();            // "…": picks the logo of the readable (PDF) copy

    const QString& TipoPersona() const { return m_tipoPersona; }

protected:
    void shown() override { FormShow(); }

private:
    void buildLayout();
    void applyLegalEntityLayout();
    void applyNaturalPersonLayout();
    // The IBAN follows the account parts, as on the main window.
    void followAccount(bool fillControlDigits);
    // A list of the causes of exempt and not-subject lines, E6 chosen.
    static QComboBox* causeList(QWidget* parent, const char* name);
    static void selectCause(QComboBox* list, VatTreatment cause);
    // The reason of cause in the edit beside the list.
    void showReason(VatTreatment cause);

    QString m_appDir;
    QString m_tipoPersona; // "J", "F" or empty until first set

    QGroupBox* m_group = nullptr;
    std::unique_ptr<PartyBlock> m_block;
    QRadioButton* m_legalEntity = nullptr;
    QRadioButton* m_naturalPerson = nullptr;
    QLineEdit* m_bankEntity = nullptr;
    QLineEdit* m_bankOffice = nullptr;
    QLineEdit* m_controlDigits = nullptr;
    QLineEdit* m_accountNumber = nullptr;
    QLineEdit* m_iban = nullptr;
    QComboBox* m_reasonCause = nullptr;     // whose reason the edit shows
    QLineEdit* m_exemptionReason = nullptr; // MOTIVOEXENCION, MOTIVOE1...
    std::array<QString, VatTreatmentCount> m_reasons;
    VatTreatment m_shownCause = VatTreatment::E6;
    QComboBox* m_zeroRateCause = nullptr; // CALIFICACIONIVA0
    QString m_storedZeroRateCause;
    RateCombo* m_usualRate = nullptr; // IRPF: the usual withholding rate
    QLineEdit* m_contact = nullptr;
    QLineEdit* m_logo = nullptr; // LOGO: picture at the top of the PDF copy
    QToolButton* m_logoButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_closeButton = nullptr;
};
