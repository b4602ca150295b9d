#include "app/uRegistro.h"

#include "app/ControlNames.h"
#include "app/FileDialogs.h"
#include "app/PartyBlock.h"
#include "app/TotalsPanel.h"
#include "invoice/BankAccount.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"
#include "widgets/TypedLengthLimit.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

// The edits carry the names of the main window's edits for the same fields.
QLineEdit* edit(QWidget* parent, RecordField field) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(controlName(field));
    return e;
}

} // namespace

TFormRegistro::TFormRegistro(const QString& appDir, QWidget* parent)
    : SettingsDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormRegistro"));
    setWindowTitle(QStringLiteral("Registro Aplicación"));
    DialogKit::frameDialog(this, 451, 351);
    buildLayout();
}

TFormRegistro::~TFormRegistro() = default;

void TFormRegistro::buildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 6);
    m_group = new QGroupBox(QStringLiteral("Mis Datos"), this);
    m_group->setObjectName(QStringLiteral("GroupBox1"));
    outer->addWidget(m_group);

    QWidget* g = m_group;
    auto* grid = new QGridLayout(m_group);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);

    // Row 1: person type.
    m_legalEntity = new QRadioButton(QStringLiteral("Pers.&Jurídica"), g);
    m_legalEntity->setObjectName(QStringLiteral("RadioButton3"));
    m_naturalPerson = new QRadioButton(QStringLiteral("Pers. &Física"), g);
    m_naturalPerson->setObjectName(QStringLiteral("RadioButton4"));
    m_legalEntity->setChecked(true);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(m_legalEntity);
    kinds->addSpacing(24);
    kinds->addWidget(m_naturalPerson);
    kinds->addStretch();
    grid->addLayout(kinds, 0, 0, 1, 4);

    // Rows 2 to 7: the issuer's fields, as on the main window.
    m_block = std::make_unique<PartyBlock>(
        Party::Issuer, g, grid, PartyBlock::CaptionNames{"Label1", "Label19", "Label20", "Label26"},
        PartyBlock::Accelerators{true, {}});
    m_contact = m_block->edit(PartyField::Contact);

    // Rows 8 to 10: the bank account and the IBAN, as typed.
    auto* accountLabel = label(g, "Label13", QStringLiteral("Cuenta &Bancaria"));
    grid->addWidget(accountLabel, 7, 0, 1, 4);
    m_bankEntity = edit(g, RecordField::BankEntity);
    m_bankOffice = edit(g, RecordField::BankOffice);
    m_controlDigits = edit(g, RecordField::BankControlDigits);
    m_accountNumber = edit(g, RecordField::BankAccountNumber);
    // The caption leads to the account's first part; each part says what it is.
    accountLabel->setBuddy(m_bankEntity);
    const struct {
        QLineEdit* box;
        int limit;
        const char* part;
    } parts[] = {{m_bankEntity, 4, "entidad"},
                 {m_bankOffice, 4, "oficina"},
                 {m_controlDigits, 2, "dígitos de control"},
                 {m_accountNumber, 10, "número de cuenta"}};
    auto* account = new QHBoxLayout;
    account->setSpacing(6);
    for (const auto& [box, limit, part] : parts) {
        box->setAccessibleName(QStringLiteral("Cuenta bancaria: %1").arg(QString::fromUtf8(part)));
        box->setToolTip(box->accessibleName());
        new TypedLengthLimit(box, limit);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (limit + 1) +
                           14);
        account->addWidget(box);
        connect(box, &QLineEdit::textEdited, this,
                [this] { runGuarded(this, [&] { followAccount(false); }); });
        connect(box, &QLineEdit::editingFinished, this, [this, box = box] {
            if (box->isModified())
                runGuarded(this, [&] { followAccount(true); });
            box->setModified(false);
        });
    }
    account->addStretch();
    grid->addLayout(account, 8, 0, 1, 4);
    m_iban = edit(g, RecordField::Iban);
    auto* ibanLabel = label(g, "LabelIban", QStringLiteral("&IBAN"));
    ibanLabel->setBuddy(m_iban);
    auto* ibanRow = new QHBoxLayout;
    ibanRow->addWidget(ibanLabel);
    ibanRow->addWidget(m_iban, 1);
    grid->addLayout(ibanRow, 9, 0, 1, 4);

    // Row 10: the logo of the readable copy (PNG, JPEG or SVG).
    m_logo = new QLineEdit(g);
    m_logo->setObjectName(QStringLiteral("eLogo"));
    m_logo->setToolTip(QStringLiteral("Imagen PNG, JPEG o SVG que encabeza la copia PDF de las "
                                      "facturas de este emisor"));
    m_logoButton = new QToolButton(g);
    m_logoButton->setObjectName(QStringLiteral("bLogo"));
    m_logoButton->setText(QStringLiteral("…"));
    m_logoButton->setToolTip(QStringLiteral("Elegir el logotipo"));
    auto* logoRow = new QHBoxLayout;
    logoRow->addWidget(m_logo, 1);
    logoRow->addWidget(m_logoButton);
    auto* logoLabel = label(g, "LabelLogo", QStringLiteral("&Logotipo"));
    logoLabel->setBuddy(m_logo);
    grid->addWidget(logoLabel, 10, 0);
    grid->addLayout(logoRow, 10, 1, 1, 3);

    // Row 11: the reason written on the lines of each cause, chosen in the
    // list; empty means the usual one.
    m_reasonCause = causeList(g, "CausaMotivo");
    m_reasonCause->setToolTip(QStringLiteral("Causa de exención o de no sujeción cuyo motivo se "
                                             "muestra al lado"));
    m_exemptionReason = new QLineEdit(g);
    m_exemptionReason->setObjectName(QStringLiteral("MotivoExencion"));
    m_exemptionReason->setToolTip(QStringLiteral("Motivo que se escribe en las líneas de esa "
                                                 "causa; vacío, el indicado"));
    connect(m_reasonCause, &QComboBox::currentIndexChanged, this, [this] {
        m_reasons[std::size_t(m_shownCause)] = m_exemptionReason->text();
        showReason(VatTreatment(m_reasonCause->currentData().toInt()));
    });
    auto* reasonLabel = label(g, "Label32", QStringLiteral("&Motivo exención"));
    reasonLabel->setBuddy(m_exemptionReason);
    m_reasonCause->setAccessibleName(QStringLiteral("Causa del motivo de exención"));
    auto* reasonRow = new QHBoxLayout;
    reasonRow->addWidget(m_reasonCause);
    reasonRow->addWidget(m_exemptionReason, 1);
    grid->addWidget(reasonLabel, 11, 0);
    grid->addLayout(reasonRow, 11, 1, 1, 3);

    // Row 12: the cause a line gets when 0 % is typed as its VAT rate.
    m_zeroRateCause = causeList(g, "CalificacionIva0");
    m_zeroRateCause->setToolTip(QStringLiteral("Calificación de una línea al 0 % de IVA, salvo "
                                               "que se elija otra en la línea"));
    auto* zeroLabel = label(g, "LabelIva0", QStringLiteral("Línea al &0 %"));
    zeroLabel->setBuddy(m_zeroRateCause);
    auto* zeroRow = new QHBoxLayout;
    zeroRow->addWidget(m_zeroRateCause);
    zeroRow->addStretch();
    grid->addWidget(zeroLabel, 12, 0);
    grid->addLayout(zeroRow, 12, 1, 1, 3);

    // Row 13: the usual withholding rate, what a new invoice and an import
    // file without IRPF start with.
    m_usualRate = new RateCombo(g);
    m_usualRate->setObjectName(QStringLiteral("ComboBoxIrpf"));
    m_usualRate->setFixedWidth(64);
    m_usualRate->setToolTip(QStringLiteral("Porcentaje de retención del I.R.P.F. con que empiezan "
                                           "una factura nueva y las importadas sin IRPF"));
    auto* rateLabel = label(g, "LabelIrpf", QStringLiteral("I.R.P.F. &habitual %"));
    rateLabel->setBuddy(m_usualRate);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(m_usualRate);
    rateRow->addStretch();
    grid->addWidget(rateLabel, 13, 0);
    grid->addLayout(rateRow, 13, 1, 1, 3);

    // Row 15: the two picture buttons.
    m_saveButton =
        DialogKit::pictureButton(g, QStringLiteral("AdvSmoothButton1"), QStringLiteral("diskette"),
                                 QStringLiteral("Guardar Cambios"), QSize(57, 33));
    m_closeButton =
        DialogKit::pictureButton(g, QStringLiteral("AdvSmoothButton3"), QStringLiteral("exit"),
                                 QStringLiteral("Cerrar"), QSize(57, 33));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_saveButton);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);
    grid->setRowStretch(14, 1);
    grid->addLayout(buttons, 15, 0, 1, 4);

    // Tab follows the screen: kind, name, address ... e-mail, the account,
    // the IBAN, the logo, the reasons, the cause at 0 %, the usual rate, then
    // the buttons.
    QList<QWidget*> order{m_legalEntity, m_naturalPerson};
    order << m_block->tabOrder();
    order << m_bankEntity << m_bankOffice << m_controlDigits << m_accountNumber << m_iban << m_logo
          << m_logoButton << m_reasonCause << m_exemptionReason << m_zeroRateCause << m_usualRate
          << m_saveButton << m_closeButton;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Selecting a button that was not selected, by hand or by the load, runs
    // its handler; selecting the one already selected runs nothing.
    connect(m_legalEntity, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            runGuarded(this, [this] { RadioButton3Click(); });
    });
    connect(m_naturalPerson, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            runGuarded(this, [this] { RadioButton4Click(); });
    });
    onClicked(m_saveButton, [this] { AdvSmoothButton1Click(); });
    onClicked(m_closeButton, [this] { AdvSmoothButton3Click(); });
    onClicked(m_logoButton, [this] { bLogoClick(); });
}

void TFormRegistro::applyLegalEntityLayout() {
    m_block->showKind(PersonType::LegalEntity, PartyFields::label(PartyField::CorporateName));
}

void TFormRegistro::applyNaturalPersonLayout() {
    m_contact->clear();
    m_block->showKind(PersonType::NaturalPerson, PartyFields::label(PartyField::FirstName));
}

void TFormRegistro::followAccount(bool fillControlDigits) {
    QString control = m_controlDigits->text();
    const QString iban = BankAccount::accountIban(m_bankEntity->text(), m_bankOffice->text(),
                                                  control, m_accountNumber->text());
    if (fillControlDigits && control != m_controlDigits->text())
        m_controlDigits->setText(control);
    m_iban->setText(iban);
}

void TFormRegistro::RadioButton3Click() {
    applyLegalEntityLayout();
    m_contact->clear();
}

void TFormRegistro::RadioButton4Click() {
    applyNaturalPersonLayout();
}

QComboBox* TFormRegistro::causeList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < VatTreatmentCount; ++i) {
        if (hasCause(VatTreatment(i)))
            list->addItem(vatTreatmentCaption(VatTreatment(i)), i);
    }
    selectCause(list, VatTreatment::E6);
    return list;
}

void TFormRegistro::selectCause(QComboBox* list, VatTreatment cause) {
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(list->findData(int(cause)));
}

void TFormRegistro::showReason(VatTreatment cause) {
    m_shownCause = cause;
    m_exemptionReason->setPlaceholderText(TreatmentReasons::usualText(cause));
    m_exemptionReason->setText(m_reasons[std::size_t(cause)]);
}

void TFormRegistro::FormShow() {
    // A missing or unreadable file reads as one without sections.
    const IniFile ini(AppFiles::registroIni(m_appDir));
    const IssuerSettings stored = IssuerSettings::read(ini);
    m_logo->setText(ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO")));

    m_bankEntity->setText(stored.entity);
    m_bankOffice->setText(stored.office);
    m_controlDigits->setText(stored.control);
    m_accountNumber->setText(stored.account);
    m_iban->setText(stored.iban);
    // The IBAN the main window works out from the account.
    if (stored.iban.isEmpty())
        followAccount(false);
    m_reasons = stored.reasons;
    m_storedZeroRateCause = stored.zeroRateCause;
    selectCause(m_zeroRateCause, stored.zeroRateTreatment());
    selectCause(m_reasonCause, VatTreatment::E6);
    showReason(VatTreatment::E6);
    m_usualRate->setEditText(stored.withholdingRate.isEmpty() ? QStringLiteral("0")
                                                              : stored.withholdingRate);

    m_tipoPersona = stored.persona.left(1);
    const std::optional<PersonType> type = PartyFields::personTypeOf(m_tipoPersona);
    if (!type)
        return; // neither kind: only the account is loaded
    (*type == PersonType::LegalEntity ? m_legalEntity : m_naturalPerson)->setChecked(true);
    // Only the fields the kind has: a natural person has no contact.
    for (const PartyFieldInfo& info : PartyFields::all()) {
        if (PartyFields::belongsTo(info.field, *type))
            m_block->edit(info.field)->setText(stored.value(info.field));
    }
    if (*type == PersonType::LegalEntity)
        applyLegalEntityLayout();
    else
        applyNaturalPersonLayout();
}

void TFormRegistro::AdvSmoothButton1Click() {
    if (m_legalEntity->isChecked())
        m_tipoPersona = QStringLiteral("J");
    else if (m_naturalPerson->isChecked())
        m_tipoPersona = QStringLiteral("F");
    const PersonType type =
        m_tipoPersona == QLatin1String("F") ? PersonType::NaturalPerson : PersonType::LegalEntity;

    // A complete account is stored with its control digits, and with its
    // IBAN unless one was typed.
    QString control = m_controlDigits->text();
    const QString iban = BankAccount::accountIban(m_bankEntity->text(), m_bankOffice->text(),
                                                  control, m_accountNumber->text());
    if (!iban.isEmpty()) {
        m_controlDigits->setText(control);
        if (m_iban->text().isEmpty())
            m_iban->setText(iban);
    }
    IssuerSettings issuer;
    issuer.entity = m_bankEntity->text();
    issuer.office = m_bankOffice->text();
    issuer.control = m_controlDigits->text();
    issuer.account = m_accountNumber->text();
    issuer.iban = m_iban->text();
    m_reasons[std::size_t(m_shownCause)] = m_exemptionReason->text();
    issuer.reasons = m_reasons;
    // The usual cause is stored once another has been chosen, so a file
    // without the key keeps its keys.
    const auto zeroRateCause = VatTreatment(m_zeroRateCause->currentData().toInt());
    issuer.zeroRateCause = zeroRateCause == VatTreatment::E6 && m_storedZeroRateCause.isEmpty()
                               ? QString()
                               : vatTreatmentCode(zeroRateCause);
    // A rate that is none is refused before anything is stored.
    issuer.withholdingRate = RegistroIni::withholdingRateToStore(m_usualRate->currentText());
    issuer.persona = personTypeLetter(type);
    for (const PartyFieldInfo& info : PartyFields::all()) {
        if (IssuerSettings::stored(info.field, type))
            issuer.value(info.field) = m_block->edit(info.field)->text();
    }

    // Strict: a file that exists but cannot be read must not be replaced by
    // one holding only this section.
    IniFile ini(AppFiles::registroIni(m_appDir), true);
    issuer.write(ini, type);
    // LOGO is written once a logo was given, so a file without one stays as it was.
    const QString missing(QChar(0));
    if (!m_logo->text().isEmpty() ||
        ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO"), missing) != missing)
        ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO"), m_logo->text());
    ini.save(); // throws "No se puede guardar ..."; the window then stays open
    accept();
}

// A picture inside the program's folder is kept relative to it, so the
// folder can move with its logo.
void TFormRegistro::bLogoClick() {
    const QString current = m_logo->text();
    const QString path = FileDialogs::open(
        this, m_appDir, FileDialogs::Kind::Logo,
        QStringLiteral("Imágenes (*.png *.jpg *.jpeg *.svg);;Todos los archivos (*.*)"), QString(),
        current.isEmpty() ? QString()
                          : QDir(m_appDir).filePath(QDir::fromNativeSeparators(current)));
    if (path.isEmpty())
        return;
    const QString relative = QDir(m_appDir).relativeFilePath(path);
    m_logo->setText(relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative)
                        ? QDir::toNativeSeparators(path)
                        : QDir::toNativeSeparators(relative));
}

void TFormRegistro::AdvSmoothButton3Click() {
    reject();
}
