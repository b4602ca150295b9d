#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class InstalledPrograms;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QToolButton;

// "Configuración Valores Autofirma": the folder, program, command and format
// AutoFirma is started with, kept in Registro.Ini, section AUTOFIRMA. When no
// folder is stored yet, tells whether AutoFirma seems to be installed.
class TFormAutoFirma : public QDialog {
    Q_OBJECT
public:
    // programs: where installed programs are looked up; nullptr for this
    // machine's own list. Not owned.
    explicit TFormAutoFirma(const QString& appDir, QWidget* parent = nullptr,
                            const InstalledPrograms* programs = nullptr);
    ~TFormAutoFirma() override;

    static const QStringList& commands(); // ComboBox1's entries
    static const QStringList& formats();  // ComboBox2's entries
    static QStringList notFoundNotice();  // the four prepared lines
    static QString foundNotice();         // the line shown when AutoFirma is found

    // Handlers, public so that tests can drive them as the buttons do.
    void FormShow();
    void AdvSmoothButton2Click(); // "Indicar configuración AutoFirma"
    void AdvSmoothButton1Click(); // "Guardar Cambios"
    void AdvSmoothButton3Click(); // "Cerrar"

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    void scanInstalledPrograms();

    QString m_appDir;
    const InstalledPrograms* m_programs;
    std::unique_ptr<InstalledPrograms> m_systemPrograms;
    bool m_centred = false;

    QLineEdit* Edit29 = nullptr;
    QLineEdit* Edit30 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QToolButton* AdvSmoothButton1 = nullptr;
    QToolButton* AdvSmoothButton2 = nullptr;
    QToolButton* AdvSmoothButton3 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    QListWidget* ListBox1 = nullptr;
};
