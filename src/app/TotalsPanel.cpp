#include "app/TotalsPanel.h"

#include "app/ControlNames.h"
#include "widgets/NumericEdit.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

RateCombo::RateCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    addItems(
        {QStringLiteral("0"), QStringLiteral("15"), QStringLiteral("18"), QStringLiteral("19")});
    setCurrentIndex(0);
    lineEdit()->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void RateCombo::hidePopup() {
    QComboBox::hidePopup();
    // The list hides before it hands over the chosen item: report afterwards.
    QMetaObject::invokeMethod(this, &RateCombo::closedUp, Qt::QueuedConnection);
}

void RateCombo::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // Opening the own list moves the focus into it; that is not leaving.
    if (event->reason() != Qt::PopupFocusReason)
        emit left();
}

TotalsPanel::TotalsPanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("GroupBox3"));
    setTitle(QStringLiteral("Totales Factura"));

    auto box = [this](TotalBox which) {
        auto* edit = new NumericEdit(this);
        edit->setObjectName(controlName(which));
        edit->setMinimumWidth(80);
        // Worked out from the lines; selectable and copyable, never typed over.
        edit->setReadOnly(true);
        return edit;
    };
    NumericEdit* bruto = box(TotalBox::Bruto);
    NumericEdit* dto = box(TotalBox::Dto);
    NumericEdit* base = box(TotalBox::Base);
    NumericEdit* iva = box(TotalBox::Iva);
    NumericEdit* irpf = box(TotalBox::Irpf);
    NumericEdit* total = box(TotalBox::Total);
    m_rate = new RateCombo(this);
    m_rate->setObjectName(controlName(RecordField::WithholdingRate));
    m_rate->setFixedWidth(54);
    m_rate->setToolTip(QStringLiteral("Porcentaje de retención del I.R.P.F."));
    QFont totalFont = total->font();
    totalFont.setPointSize(totalFont.pointSize() + 2);
    total->setFont(totalFont);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setHorizontalSpacing(5);
    grid->setVerticalSpacing(6);
    // Each caption is its box's buddy, so a screen reader names the read-only
    // sums too; only the one box a user types in has an accelerator.
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("SUBTOTAL"), bruto), 0, 0);
    grid->addWidget(bruto, 0, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("DESCUENTO"), dto), 1, 0);
    grid->addWidget(dto, 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("BASE IMPONIBLE"), base), 2, 0);
    grid->addWidget(base, 2, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("I.V.A."), iva), 0, 3);
    grid->addWidget(iva, 0, 4, 1, 2);
    // The rate and the amount share the caption; the amount says what it is.
    m_rate->setAccessibleName(QStringLiteral("Porcentaje de I.R.P.F."));
    irpf->setAccessibleName(QStringLiteral("Importe de I.R.P.F."));
    grid->addWidget(label(QStringLiteral("&I.R.P.F."), m_rate), 1, 3);
    grid->addWidget(m_rate, 1, 4);
    grid->addWidget(irpf, 1, 5);
    grid->addWidget(label(QStringLiteral("TOTAL"), total), 2, 3);
    grid->addWidget(total, 2, 4, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(3, 1);

    // Tab follows the screen and the sums: down the left column, then the right.
    m_tabOrder = {bruto, dto, base, iva, m_rate, irpf, total};
}
