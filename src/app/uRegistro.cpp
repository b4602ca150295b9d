#include "app/uRegistro.h"

#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "settings/RegistroIni.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"
#include "widgets/TypedLengthLimit.h"

#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

} // namespace

TFormRegistro::TFormRegistro(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormRegistro"));
    setWindowTitle(QStringLiteral("Registro Aplicación"));
    DialogKit::frameDialog(this, 451, 351);
    buildLayout();
}

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
    RadioButton3 = new QRadioButton(QStringLiteral("Pers.Jurídica"), g);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton4 = new QRadioButton(QStringLiteral("Pers. Física"), g);
    RadioButton4->setObjectName(QStringLiteral("RadioButton4"));
    RadioButton3->setChecked(true);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(RadioButton3);
    kinds->addSpacing(24);
    kinds->addWidget(RadioButton4);
    kinds->addStretch();
    grid->addLayout(kinds, 0, 0, 1, 4);

    // Row 2: corporate name, or first name and surnames.
    Label1 = label(g, "Label1", QStringLiteral("R.Social"));
    Edit1 = edit(g, "Edit1");
    Edit18 = edit(g, "Edit18");
    Label19 = label(g, "Label19", QStringLiteral("Ap. 1"));
    Edit19 = edit(g, "Edit19");
    Label20 = label(g, "Label20", QStringLiteral("Ap. 2"));
    Edit20 = edit(g, "Edit20");
    auto* names = new QHBoxLayout;
    names->setSpacing(4);
    names->addWidget(Edit1, 1);
    names->addWidget(Edit18, 1);
    names->addWidget(Label19);
    names->addWidget(Edit19, 1);
    names->addWidget(Label20);
    names->addWidget(Edit20, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addLayout(names, 1, 1, 1, 3);
    Edit18->hide();
    Edit19->hide();
    Edit20->hide();
    Label19->hide();
    Label20->hide();

    // Rows 3 to 7: address, tax number, contact and e-mail.
    Edit2 = edit(g, "Edit2");
    grid->addWidget(label(g, "Label2", QStringLiteral("Dirección")), 2, 0);
    grid->addWidget(Edit2, 2, 1, 1, 3);
    Edit3 = edit(g, "Edit3");
    Edit4 = edit(g, "Edit4");
    grid->addWidget(label(g, "Label3", QStringLiteral("C.P.")), 3, 0);
    grid->addWidget(Edit3, 3, 1);
    grid->addWidget(label(g, "Label4", QStringLiteral("Población")), 3, 2);
    grid->addWidget(Edit4, 3, 3);
    Edit5 = edit(g, "Edit5");
    Edit6 = edit(g, "Edit6");
    grid->addWidget(label(g, "Label5", QStringLiteral("Provincia")), 4, 0);
    grid->addWidget(Edit5, 4, 1);
    grid->addWidget(label(g, "Label6", QStringLiteral("N.I.F./C.I.F.")), 4, 2);
    grid->addWidget(Edit6, 4, 3);
    Label26 = label(g, "Label26", QStringLiteral("Contacto"));
    Edit26 = edit(g, "Edit26");
    grid->addWidget(Label26, 5, 0);
    grid->addWidget(Edit26, 5, 1, 1, 3);
    Edit28 = edit(g, "Edit28");
    grid->addWidget(label(g, "Label30", QStringLiteral("E-Mail")), 6, 0);
    grid->addWidget(Edit28, 6, 1, 1, 3);

    // Rows 8 to 10: the bank account and the IBAN, as typed.
    grid->addWidget(label(g, "Label13", QStringLiteral("Cuenta Bancaria")), 7, 0, 1, 4);
    Edit13 = edit(g, "Edit13");
    Edit14 = edit(g, "Edit14");
    Edit15 = edit(g, "Edit15");
    Edit16 = edit(g, "Edit16");
    const std::pair<QLineEdit*, int> limits[] = {
        {Edit13, 4}, {Edit14, 4}, {Edit15, 2}, {Edit16, 10}};
    auto* account = new QHBoxLayout;
    account->setSpacing(6);
    for (const auto& [box, limit] : limits) {
        new TypedLengthLimit(box, limit);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (limit + 1) +
                           14);
        account->addWidget(box);
    }
    account->addStretch();
    grid->addLayout(account, 8, 0, 1, 4);
    Edit17 = edit(g, "Edit17");
    grid->addWidget(Edit17, 9, 0, 1, 4);

    // Row 10: the logo of the readable copy (PNG, JPEG or SVG).
    eLogo = edit(g, "eLogo");
    eLogo->setToolTip(QStringLiteral("Imagen PNG, JPEG o SVG que encabeza la copia PDF de las "
                                     "facturas de este emisor"));
    bLogo = new QToolButton(g);
    bLogo->setObjectName(QStringLiteral("bLogo"));
    bLogo->setText(QStringLiteral("…"));
    bLogo->setToolTip(QStringLiteral("Elegir el logotipo"));
    auto* logoRow = new QHBoxLayout;
    logoRow->addWidget(eLogo, 1);
    logoRow->addWidget(bLogo);
    grid->addWidget(label(g, "LabelLogo", QStringLiteral("Logotipo")), 10, 0);
    grid->addLayout(logoRow, 10, 1, 1, 3);

    // Row 12: the two picture buttons.
    AdvSmoothButton1 =
        DialogKit::pictureButton(g, QStringLiteral("AdvSmoothButton1"), QStringLiteral("diskette"),
                                 QStringLiteral("Guardar Cambios"), QSize(57, 33));
    AdvSmoothButton3 =
        DialogKit::pictureButton(g, QStringLiteral("AdvSmoothButton3"), QStringLiteral("exit"),
                                 QStringLiteral("Cerrar"), QSize(57, 33));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AdvSmoothButton1);
    buttons->addStretch();
    buttons->addWidget(AdvSmoothButton3);
    grid->setRowStretch(11, 1);
    grid->addLayout(buttons, 12, 0, 1, 4);

    QWidget* order[] = {Edit18,
                        Edit19,
                        Edit20,
                        Edit1,
                        Edit2,
                        Edit3,
                        Edit4,
                        Edit5,
                        Edit6,
                        Edit26,
                        Edit28,
                        RadioButton3,
                        RadioButton4,
                        AdvSmoothButton1,
                        AdvSmoothButton3,
                        Edit13,
                        Edit14,
                        Edit15,
                        Edit16,
                        Edit17};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Selecting a button that was not selected, by hand or by the load, runs
    // its handler; selecting the one already selected runs nothing.
    connect(RadioButton3, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            runGuarded(this, [this] { RadioButton3Click(); });
    });
    connect(RadioButton4, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            runGuarded(this, [this] { RadioButton4Click(); });
    });
    connect(AdvSmoothButton1, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton1Click(); }); });
    connect(AdvSmoothButton3, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton3Click(); }); });
    connect(bLogo, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { bLogoClick(); }); });
}

void TFormRegistro::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the window coming back from minimised is not a new showing
    if (!m_centred) {
        DialogKit::centreOnScreen(this);
        m_centred = true;
    }
    runGuarded(this, [this] { FormShow(); });
}

void TFormRegistro::keyPressEvent(QKeyEvent* event) {
    // Escape would close the window and drop what was typed; only the buttons
    // and the close box close it.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormRegistro::applyLegalEntityLayout() {
    Edit18->hide();
    Edit19->hide();
    Edit20->hide();
    Label1->setText(QStringLiteral("R.Social"));
    Edit1->show();
    Label19->hide();
    Label20->hide();
    Edit26->show();
    Label26->show();
}

void TFormRegistro::applyNaturalPersonLayout() {
    Edit18->show();
    Edit19->show();
    Edit20->show();
    Label1->setText(QStringLiteral("Nombre"));
    Edit1->hide();
    Label19->show();
    Label20->show();
    Edit26->clear();
    Edit26->hide();
    Label26->hide();
}

void TFormRegistro::RadioButton3Click() {
    applyLegalEntityLayout();
    Edit26->clear();
}

void TFormRegistro::RadioButton4Click() {
    applyNaturalPersonLayout();
}

void TFormRegistro::FormShow() {
    // A missing or unreadable file reads as one without sections.
    const IniFile ini(AppFiles::registroIni(m_appDir));
    const IssuerSettings stored = IssuerSettings::read(ini);
    eLogo->setText(ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO")));

    Edit13->setText(stored.entity);
    Edit14->setText(stored.office);
    Edit15->setText(stored.control);
    Edit16->setText(stored.account);
    Edit17->setText(stored.iban);

    m_tipoPersona = stored.persona.left(1);
    if (m_tipoPersona == QLatin1String("J")) {
        RadioButton3->setChecked(true);
        Edit1->setText(stored.name);
    } else if (m_tipoPersona == QLatin1String("F")) {
        RadioButton4->setChecked(true);
        Edit18->setText(stored.name);
        Edit19->setText(stored.surname1);
        Edit20->setText(stored.surname2);
    } else {
        return; // neither kind: only the account is loaded
    }
    Edit2->setText(stored.address);
    Edit3->setText(stored.postCode);
    Edit4->setText(stored.town);
    Edit5->setText(stored.province);
    Edit6->setText(stored.taxId);
    Edit28->setText(stored.email);
    if (m_tipoPersona == QLatin1String("J")) {
        Edit26->setText(stored.contact);
        applyLegalEntityLayout();
    } else {
        applyNaturalPersonLayout(); // a natural person has no contact
    }
}

void TFormRegistro::AdvSmoothButton1Click() {
    if (RadioButton3->isChecked())
        m_tipoPersona = QStringLiteral("J");
    else if (RadioButton4->isChecked())
        m_tipoPersona = QStringLiteral("F");
    const PersonType type =
        m_tipoPersona == QLatin1String("F") ? PersonType::NaturalPerson : PersonType::LegalEntity;

    IssuerSettings issuer;
    issuer.entity = Edit13->text();
    issuer.office = Edit14->text();
    issuer.control = Edit15->text();
    issuer.account = Edit16->text();
    issuer.iban = Edit17->text();
    issuer.persona = personTypeLetter(type);
    if (type == PersonType::LegalEntity) {
        issuer.name = Edit1->text();
    } else {
        issuer.name = Edit18->text();
        issuer.surname1 = Edit19->text();
        issuer.surname2 = Edit20->text();
    }
    issuer.address = Edit2->text();
    issuer.postCode = Edit3->text();
    issuer.town = Edit4->text();
    issuer.province = Edit5->text();
    issuer.taxId = Edit6->text();
    issuer.contact = Edit26->text();
    issuer.email = Edit28->text();

    // Strict: a file that exists but cannot be read must not be replaced by
    // one holding only this section.
    IniFile ini(AppFiles::registroIni(m_appDir), true);
    issuer.write(ini, type);
    // LOGO is written once a logo was given, so a file without one stays as it was.
    const QString missing(QChar(0));
    if (!eLogo->text().isEmpty() ||
        ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO"), missing) != missing)
        ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO"), eLogo->text());
    ini.save(); // throws "Unable to write to ..."; the window then stays open
    accept();
}

// A picture inside the program's folder is kept relative to it, so the
// folder can move with its logo.
void TFormRegistro::bLogoClick() {
    const QString path = Prompts::instance().openFile(
        this, QStringLiteral("Imágenes (*.png *.jpg *.jpeg *.svg);;Todos los archivos (*.*)"),
        QString());
    if (path.isEmpty())
        return;
    const QString relative = QDir(m_appDir).relativeFilePath(path);
    eLogo->setText(relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative)
                       ? QDir::toNativeSeparators(path)
                       : QDir::toNativeSeparators(relative));
}

void TFormRegistro::AdvSmoothButton3Click() {
    reject();
}
