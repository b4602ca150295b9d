#include "app/PartyPanel.h"

#include "app/PartyBlock.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"

#include <QCheckBox>
#include <QColor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

// Object names of the block's own controls; the edits are named after the
// record fields they show.
struct PartyNames {
    const char* group;
    const char* title;
    const char* legal;
    const char* natural;
    const char* nameLabel;
    const char* surname1Label;
    const char* surname2Label;
    const char* contactLabel;
    char nameKey; // the name caption's accelerator
};

const PartyNames IssuerNames{"GroupBox1",    "Mis Datos", "RadioButton3",
                             "RadioButton4", "Label1",    "Label19",
                             "Label20",      "Label26",   'R'};
const PartyNames CustomerNames{"GroupBox2",    "Cliente", "RadioButton5",
                               "RadioButton6", "Label7",  "Label21",
                               "Label22",      "Label27", 'O'};

} // namespace

PartyPanel::PartyPanel(Party party, QWidget* parent) : QGroupBox(parent), m_party(party) {
    const PartyNames& n = party == Party::Issuer ? IssuerNames : CustomerNames;
    setObjectName(QLatin1String(n.group));
    setTitle(QString::fromUtf8(n.title));

    m_legal = new QRadioButton(QStringLiteral("Pers.Jurídica"), this);
    m_legal->setObjectName(QLatin1String(n.legal));
    m_natural = new QRadioButton(QStringLiteral("Pers. Física"), this);
    m_natural->setObjectName(QLatin1String(n.natural));
    m_legal->setChecked(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);

    // Top row: the public-administration box (customer only) and the kind.
    auto* top = new QHBoxLayout;
    if (party == Party::Customer) {
        m_administration = new QCheckBox(QStringLiteral("Admón. del estado."), this);
        m_administration->setObjectName(QStringLiteral("CheckBox1"));
        m_administration->setToolTip(QStringLiteral("Botón Derecho para ver valores."));
        m_administration->setCursor(Qt::PointingHandCursor);
        top->addWidget(m_administration);
    } else {
        m_edit = new QPushButton(QStringLiteral("Editar &mis datos…"), this);
        m_edit->setObjectName(QStringLiteral("EditarMisDatos"));
        m_edit->setToolTip(QStringLiteral("Sus datos se guardan en Configuración > Mis datos"));
        top->addWidget(m_edit);
    }
    top->addStretch(1);
    top->addWidget(m_legal);
    top->addSpacing(12);
    top->addWidget(m_natural);
    grid->addLayout(top, 0, 0, 1, 4);

    m_block = std::make_unique<PartyBlock>(
        party, this, grid,
        PartyBlock::CaptionNames{n.nameLabel, n.surname1Label, n.surname2Label, n.contactLabel},
        PartyBlock::Accelerators{false, QChar::fromLatin1(n.nameKey)});

    if (party == Party::Issuer)
        showOnly();

    // Tab follows the screen: the top row, then the fields row by row.
    m_tabOrder << (party == Party::Customer ? static_cast<QWidget*>(m_administration) : m_edit);
    m_tabOrder << m_legal << m_natural << m_block->tabOrder();
    if (party == Party::Customer) {
        grid->setRowStretch(6, 1);
    }

    connect(m_legal, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            emit personTypeChosen(PersonType::LegalEntity);
    });
    connect(m_natural, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            emit personTypeChosen(PersonType::NaturalPerson);
    });

    if (party == Party::Customer)
        m_block->setNameCaption(QStringLiteral("R. Social"));
}

PartyPanel::~PartyPanel() = default;

// The boxes can be read, selected and copied, but not typed in, and Tab
// passes them by; they look set apart from the boxes one types in.
void PartyPanel::showOnly() {
    m_legal->setEnabled(false);
    m_natural->setEnabled(false);
    for (const PartyFieldInfo& info : PartyFields::all()) {
        QLineEdit* edit = m_block->edit(info.field);
        if (!edit)
            continue;
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::ClickFocus);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, QColor(0xf2, 0xf2, 0xf2));
        edit->setPalette(palette);
        edit->setToolTip(m_edit->toolTip());
    }
}

void PartyPanel::showLayout(const InvoiceRecord& record) {
    const bool natural = record.personType(m_party) == PersonType::NaturalPerson;
    {
        const QSignalBlocker blockLegal(m_legal);
        const QSignalBlocker blockNatural(m_natural);
        (natural ? m_natural : m_legal)->setChecked(true);
    }
    m_block->showKind(record.personType(m_party), record.nameLabel(m_party));
}

QList<QWidget*> PartyPanel::tabOrder() const {
    return m_tabOrder;
}

QLineEdit* PartyPanel::edit(PartyField field) const {
    return m_block->edit(field);
}
