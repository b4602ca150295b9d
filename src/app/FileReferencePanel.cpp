#include "app/FileReferencePanel.h"

#include "app/PaymentPanel.h"
#include "invoice/Memoria.h"
#include "widgets/ErrorGuard.h"
#include "widgets/TypedLengthLimit.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>

namespace {
// The picker's lowest date stands for "no date" and shows blank.
const QDate NoDate(1753, 1, 1);
} // namespace

FileReferencePanel::FileReferencePanel(Memoria& lines, QWidget* parent)
    : QGroupBox(parent), m_lines(lines) {
    setObjectName(QStringLiteral("GroupBox6"));
    setTitle(QStringLiteral("Expediente"));
    setFixedHeight(51);

    m_reference = new QLineEdit(this);
    m_reference->setObjectName(QStringLiteral("DBEdit1"));
    m_reference->setFixedWidth(180);
    new TypedLengthLimit(m_reference, 20);
    m_exempt = new QCheckBox(
        QStringLiteral(
            "Exento de IVA según lo indicado en el artículo 8 del Real Decreto Ley 15/2020"),
        this);
    m_exempt->setObjectName(QStringLiteral("DBCheckBox1"));
    m_date = makeDatePicker(this, QStringLiteral("RzDBDateTimeEdit1"),
                            QStringLiteral("Fecha Expediente"));
    m_date->setMinimumDate(NoDate);
    m_date->setSpecialValueText(QStringLiteral(" "));
    m_date->setToolTip(QStringLiteral("Fecha Expediente"));
    auto* dateLabel = new QLabel(QStringLiteral("Fecha Expediente"), this);
    dateLabel->setObjectName(QStringLiteral("Label31"));
    dateLabel->hide();
    // Short captions under the group's title, each its box's buddy; the boxes
    // tell a screen reader the whole name.
    auto* referenceCaption = new QLabel(QStringLiteral("Número"), this);
    referenceCaption->setObjectName(QStringLiteral("LabelExpediente"));
    referenceCaption->setBuddy(m_reference);
    m_reference->setAccessibleName(QStringLiteral("Número de expediente"));
    auto* dateCaption = new QLabel(QStringLiteral("Fecha"), this);
    dateCaption->setObjectName(QStringLiteral("LabelFechaExpediente"));
    dateCaption->setBuddy(m_date);
    m_date->setAccessibleName(QStringLiteral("Fecha Expediente"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 8, 4);
    row->addWidget(referenceCaption);
    row->addWidget(m_reference);
    row->addSpacing(12);
    row->addWidget(m_exempt, 1);
    row->addWidget(dateLabel);
    row->addWidget(dateCaption);
    row->addWidget(m_date);

    connect(m_reference, &QLineEdit::textEdited, this, [this](const QString& text) {
        changeLine([&](InvoiceLine& line) {
            line.fileReference = text.left(InvoiceLine::FileReferenceSize);
        });
    });
    // An exempt line is never taxed: ticking the box sets its rate to 0.
    connect(m_exempt, &QCheckBox::toggled, this, [this](bool on) {
        changeLine([&](InvoiceLine& line) {
            line.treatment = on ? m_lines.zeroRateCause() : VatTreatment::S1;
            if (on)
                line.vatRate = Decimal();
        });
    });
    connect(m_date, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        changeLine([&](InvoiceLine& line) { line.fileDate = date == NoDate ? QDate() : date; });
    });

    for (auto signal : {&Memoria::currentChanged, &Memoria::rowChanged, &Memoria::rowInserted,
                        &Memoria::rowRemoved})
        connect(&lines, signal, this, &FileReferencePanel::showCurrentLine);
    connect(&lines, &Memoria::rowsReset, this, &FileReferencePanel::showCurrentLine);
    showCurrentLine();
}

template <typename Change> void FileReferencePanel::changeLine(Change change) {
    if (m_showing)
        return;
    runGuarded(this, [&] {
        // Typing here with no line starts one, as typing into the grid would.
        if (!m_lines.currentLine())
            m_lines.append();
        InvoiceLine line = *m_lines.currentLine();
        change(line);
        m_lines.setLine(line);
    });
}

void FileReferencePanel::showCurrentLine() {
    const QScopedValueRollback showing(m_showing, true);
    const InvoiceLine* line = m_lines.isOpen() ? m_lines.currentLine() : nullptr;
    const QString reference = line ? line->fileReference : QString();
    if (m_reference->text() != reference)
        m_reference->setText(reference);
    m_exempt->setChecked(line && line->isExempt());
    m_date->setDate(line && line->fileDate.isValid() ? line->fileDate : NoDate);
}

QList<QWidget*> FileReferencePanel::tabOrder() const {
    return {m_reference, m_exempt, m_date};
}
