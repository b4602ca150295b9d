#pragma once

#include "settings/ConcellosCatalogue.h"
#include "widgets/SettingsDialog.h"

#include <QComboBox>

class QLineEdit;
class QToolButton;

// A drop-down list that reports when its list closes, after the choice made
// in it has been taken.
class CloseUpComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void hidePopup() override;

signals:
    void closedUp();
};

// "Datos Administración": the three centres of a public administration, with
// the catalogue of stored administrations.
class TFormAdmon : public SettingsDialog {
    Q_OBJECT
public:
    explicit TFormAdmon(const QString& appDir, QWidget* parent = nullptr);

    void setCentres(const AdministrationCentres& centres);
    AdministrationCentres centres() const;

    // AcceptedTag when accepted with the tick button, 0 otherwise.
    static constexpr int AcceptedTag = 25;
    int Tag() const { return m_tag; }

    // Handlers, public so that tests can drive them as the controls do.
    void FormCreate();            // fills the catalogue list from Concellos.Ini
    void ComboBox1CloseUp();      // shows the centres stored under the chosen name
    void Button1Click();          // accepts the centres (tick button)
    void Button3Click();          // saves the centres under a typed name (diskette button)
    void AdvSmoothButton4Click(); // closes, the centres not taken

    const QString& Texto() const { return m_texto; }
    bool ExisteConcello() const { return m_existeConcello; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();

    QString m_appDir;
    int m_tag = 0;
    QString m_texto;
    bool m_existeConcello = false;
    int m_concellosRegistrados = 0;

    QLineEdit* m_managingCode = nullptr; // managing body: code
    QLineEdit* m_officeCode = nullptr;   // accounting office: code
    QLineEdit* m_unitCode = nullptr;     // processing unit: code
    QLineEdit* m_unitName = nullptr;     // processing unit: name
    QLineEdit* m_officeName = nullptr;   // accounting office: name
    QLineEdit* m_managingName = nullptr; // managing body: name
    CloseUpComboBox* m_catalogue = nullptr;
    QToolButton* m_acceptButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_exitButton = nullptr;
};
