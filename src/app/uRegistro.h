#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

// "Registro Aplicación": the issuer's own data kept in Registro.Ini, section
// MISDATOS. Loaded every time the window is shown; stored by "Guardar Cambios".
class TFormRegistro : public QDialog {
    Q_OBJECT
public:
    explicit TFormRegistro(const QString& appDir, QWidget* parent = nullptr);

    // Handlers, public so that tests can drive them as the buttons do.
    void FormShow();
    void AdvSmoothButton1Click(); // "Guardar Cambios"
    void AdvSmoothButton3Click(); // "Cerrar"
    void RadioButton3Click();     // "Pers.Jurídica"
    void RadioButton4Click();     // "Pers. Física"
    void bLogoClick();            // "…": picks the logo for the readable copy

    const QString& TipoPersona() const { return m_tipoPersona; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    void applyLegalEntityLayout();
    void applyNaturalPersonLayout();

    QString m_appDir;
    QString m_tipoPersona; // "J", "F" or empty until first set
    bool m_centred = false;

    QGroupBox* m_group = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label26 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit13 = nullptr;
    QLineEdit* Edit14 = nullptr;
    QLineEdit* Edit15 = nullptr;
    QLineEdit* Edit16 = nullptr;
    QLineEdit* Edit17 = nullptr;
    QLineEdit* Edit18 = nullptr;
    QLineEdit* Edit19 = nullptr;
    QLineEdit* Edit20 = nullptr;
    QLineEdit* Edit26 = nullptr;
    QLineEdit* Edit28 = nullptr;
    QLineEdit* eLogo = nullptr; // LOGO: picture at the top of the PDF copy
    QToolButton* bLogo = nullptr;
    QToolButton* AdvSmoothButton1 = nullptr;
    QToolButton* AdvSmoothButton3 = nullptr;
};
