#pragma once

#include "invoice/PartyFields.h"

#include <QGroupBox>
#include <memory>

class InvoiceRecord;
class PartyBlock;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// One party block: "Mis Datos" (the issuer) or "Cliente" (the customer), with
// its two person-type buttons and the two name layouts. The issuer's data are
// kept in "Mis datos" (Registro.Ini) and only shown here, with a button that
// opens that window: typed here they would be lost with the invoice.
class PartyPanel : public QGroupBox {
    Q_OBJECT
public:
    PartyPanel(Party party, QWidget* parent = nullptr);
    ~PartyPanel() override;

    Party party() const { return m_party; }
    // Only the customer block has the "Admón. del estado." box.
    QCheckBox* administrationBox() const { return m_administration; }
    // Only the issuer block has "Editar mis datos…".
    QPushButton* editButton() const { return m_edit; }

    // The box of one of the party's fields.
    QLineEdit* edit(PartyField field) const;

    // Shows the record's person type, layout and name label for this party.
    void showLayout(const InvoiceRecord& record);

    // The controls in tab order.
    QList<QWidget*> tabOrder() const;

signals:
    // A person chose a kind (the button became selected).
    void personTypeChosen(PersonType type);

private:
    void showOnly();

    Party m_party;
    QCheckBox* m_administration = nullptr;
    QPushButton* m_edit = nullptr;
    QRadioButton* m_legal = nullptr;
    QRadioButton* m_natural = nullptr;
    std::unique_ptr<PartyBlock> m_block;
    QList<QWidget*> m_tabOrder;
};
