#pragma once

#include <QDialog>

class InstalledPrograms;
class QToolButton;

// "Acerca de ....": the product, its supplier, and the way to the two
// settings windows.
class TFormAcercaDe : public QDialog {
    Q_OBJECT
public:
    explicit TFormAcercaDe(const QString& appDir, QWidget* parent = nullptr);

    // Where the AutoFirma window looks for installed programs; nullptr (the
    // default) for this machine's own list. Not owned.
    void setInstalledPrograms(const InstalledPrograms* programs) { m_programs = programs; }

    // The four contact lines shown under the logo.
    static QStringList contactLines();

    void AdvSmoothButton2Click(); // "AutoFirma"
    void AdvSmoothButton1Click(); // "Datos de Registro"
    void AdvSmoothButton4Click(); // exit

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();

    QString m_appDir;
    const InstalledPrograms* m_programs = nullptr;
    bool m_centred = false;
    QToolButton* AdvSmoothButton1 = nullptr;
    QToolButton* AdvSmoothButton2 = nullptr;
    QToolButton* AdvSmoothButton4 = nullptr;
};
