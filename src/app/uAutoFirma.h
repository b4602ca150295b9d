#pragma once

#include "widgets/SettingsDialog.h"

#include <QString>
#include <memory>

class InstalledPrograms;
class QComboBox;
class QLineEdit;
class QListWidget;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QToolButton;

// "Firma": how invoices are signed, kept in Registro.Ini. Either through
// AutoFirma (the folder, program, command and format it is started with,
// section AUTOFIRMA; when no folder is stored yet, tells whether AutoFirma
// seems to be installed) or with a certificate file (section FIRMA, METODO
// and CERTIFICADO; choosing the file asks its password once to show whose it
// is, and the password is never kept).
class TFormAutoFirma : public SettingsDialog {
    Q_OBJECT
public:
    // programs: where installed programs are looked up; nullptr for this
    // machine's own list. Not owned.
    explicit TFormAutoFirma(const QString& appDir, QWidget* parent = nullptr,
                            const InstalledPrograms* programs = nullptr);
    ~TFormAutoFirma() override;

    static const QStringList& commands(); // the command list's entries (ComboBox1)
    static const QStringList& formats();  // the format list's entries (ComboBox2)
    static QStringList notFoundNotice();  // the four prepared lines
    static QString foundNotice();         // the line shown when AutoFirma is found

    // Handlers, public so that tests can drive them as the buttons do.
    void FormShow(); // loads the stored settings; without a folder, looks for AutoFirma
    void AdvSmoothButton2Click();  // picks AutoFirma's program file: fills folder and program
    void AdvSmoothButton1Click();  // stores the four settings in Registro.Ini
    void AdvSmoothButton3Click();  // closes without storing
    void chooseCertificateClick(); // picks the certificate file and shows whose it is

protected:
    void shown() override { FormShow(); }

private:
    void buildLayout();
    void scanInstalledPrograms();
    void showChosenRoute();

    QString m_appDir;
    const InstalledPrograms* m_programs;
    std::unique_ptr<InstalledPrograms> m_systemPrograms;

    QLineEdit* m_folder = nullptr;
    QLineEdit* m_program = nullptr;
    QComboBox* m_command = nullptr;
    QComboBox* m_format = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_browseButton = nullptr;
    QToolButton* m_closeButton = nullptr;
    QPlainTextEdit* m_notice = nullptr;
    QListWidget* m_installedList = nullptr;
    QRadioButton* m_useAutoFirma = nullptr;
    QRadioButton* m_useCertificate = nullptr;
    QLineEdit* m_certificate = nullptr;
    QToolButton* m_certificateButton = nullptr;
    QLabel* m_certificateInfo = nullptr;
    QWidget* m_certificateGroup = nullptr;
    QWidget* m_autoFirmaGroup = nullptr;
    QLabel* m_saved = nullptr;
    bool m_noticeDue = false; // no AutoFirma folder stored: the notice says what was found
};
