#include "app/CorrectiveDialog.h"

#include "common/ValueForms.h"
#include "facturae/CorrectiveCodes.h"
#include "session/InvoiceCorrection.h"
#include "widgets/ErrorGuard.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QComboBox* codeBox(const QString& name, const QList<CorrectiveCodes::Code>& codes,
                   QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const CorrectiveCodes::Code& c : codes)
        box->addItem(c.code + QStringLiteral(" – ") + c.description, c.code);
    return box;
}

} // namespace

CorrectiveDialog::CorrectiveDialog(const BookEntry& corrected, QWidget* parent)
    : QDialog(parent), m_corrected(corrected) {
    setObjectName(QStringLiteral("CorrectiveDialog"));
    setWindowTitle(QStringLiteral("Rectificar la factura %1").arg(corrected.seriesNumber));

    auto* about = new QLabel(
        QStringLiteral("Factura rectificativa de la %1 del %2 (%3). Irá en su propia serie, con "
                       "el número siguiente; el periodo rectificado es el mes de la factura.")
            .arg(corrected.seriesNumber, ValueForms::dateText(corrected.summary.issueDate),
                 corrected.summary.customerName),
        this);
    about->setWordWrap(true);

    m_reason = codeBox(QStringLiteral("Motivo"), CorrectiveCodes::reasons(), this);
    m_method = codeBox(QStringLiteral("Metodo"), CorrectiveCodes::correctionMethods(), this);
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("TipoRectificativa"));
    for (const QString& kind : Correction::kinds())
        m_kind->addItem(kind + QStringLiteral(" – ") + Correction::kindDescription(kind), kind);
    m_kind->setCurrentIndex(m_kind->findData(Correction().kind));
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("MetodoAyuda"));
    m_hint->setWordWrap(true);
    connect(m_method, &QComboBox::currentIndexChanged, this, [this] { showMethodHint(); });
    showMethodHint();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Motivo:"), m_reason);
    form->addRow(QStringLiteral("M&étodo:"), m_method);
    form->addRow(QStringLiteral("&Tipo:"), m_kind);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("&Aceptar"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Aceptar"));
    ok->setDefault(true);
    auto* cancel = buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Cancelar"));
    connect(ok, &QPushButton::clicked, this, [this] { AceptarClick(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(about);
    column->addLayout(form);
    column->addWidget(m_hint);
    column->addWidget(buttons);
    m_reason->setFocus();
}

// What the person will find in the main window.
void CorrectiveDialog::showMethodHint() {
    m_hint->setText(m_method->currentData().toString() == u"01"
                        ? QStringLiteral("Rectificación íntegra: la factura nueva lleva las "
                                         "líneas de la rectificada con sus importes completos; "
                                         "corríjalas y genere la factura.")
                        : QStringLiteral("Rectificación por diferencias: la factura nueva empieza "
                                         "sin líneas; escriba solo las diferencias (en negativo "
                                         "lo que se devuelve o rebaja) y genere la factura."));
}

void CorrectiveDialog::AceptarClick() {
    runGuarded(this, [&] {
        m_correction = InvoiceCorrection::describe(m_corrected, m_reason->currentData().toString(),
                                                   m_method->currentData().toString(),
                                                   m_kind->currentData().toString());
        accept();
    });
}
