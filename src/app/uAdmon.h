#pragma once

#include "settings/ConcellosCatalogue.h"

#include <QComboBox>
#include <QDialog>

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
class TFormAdmon : public QDialog {
    Q_OBJECT
public:
    explicit TFormAdmon(const QString& appDir, QWidget* parent = nullptr);

    void setCentres(const AdministrationCentres& centres);
    AdministrationCentres centres() const;

    // 25 when accepted with the tick button, 0 otherwise.
    int Tag() const { return m_tag; }

    // Handlers, public so that tests can drive them as the controls do.
    void FormCreate();
    void ComboBox1CloseUp();
    void Button1Click();          // tick: accept
    void Button3Click();          // diskette: save under a name
    void AdvSmoothButton4Click(); // exit

    const QString& Texto() const { return m_texto; }
    bool ExisteConcello() const { return m_existeConcello; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();

    QString m_appDir;
    int m_tag = 0;
    QString m_texto;
    bool m_existeConcello = false;
    int m_concellosRegistrados = 0;
    bool m_centred = false;

    QLineEdit* Edit1 = nullptr; // managing body: code
    QLineEdit* Edit2 = nullptr; // accounting office: code
    QLineEdit* Edit3 = nullptr; // processing unit: code
    QLineEdit* Edit4 = nullptr; // processing unit: name
    QLineEdit* Edit5 = nullptr; // accounting office: name
    QLineEdit* Edit6 = nullptr; // managing body: name
    CloseUpComboBox* ComboBox1 = nullptr;
    QToolButton* AdvSmoothButton1 = nullptr;
    QToolButton* AdvSmoothButton2 = nullptr;
    QToolButton* AdvSmoothButton4 = nullptr;
};
