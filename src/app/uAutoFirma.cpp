#include "app/uAutoFirma.h"

#include "app/FileDialogs.h"
#include "app/SignatureFlow.h"

#include "common/AppError.h"
#include "settings/AppFiles.h"
#include "settings/AutoFirmaSettings.h"
#include "settings/FirmaSettings.h"
#include "signing/InstalledPrograms.h"
#include "signing/SigningCertificate.h"
#include "storage/IniFile.h"
#include "widgets/DialogKit.h"
#include "widgets/Prompts.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

const QStringList& TFormAutoFirma::commands() {
    return AutoFirmaSettings::offeredCommands();
}

const QStringList& TFormAutoFirma::formats() {
    return AutoFirmaSettings::offeredFormats();
}

QStringList TFormAutoFirma::notFoundNotice() {
    return {QStringLiteral("NO SE HA DETECTADO AUTOFIRMA "),
            QStringLiteral("Orvane NECESITA AUTOFIRMA PARA FIRMAR "),
            QStringLiteral("ELECTRÓNICAMENTE "), QStringLiteral("LAS FACTURAS GENERADAS.")};
}

QString TFormAutoFirma::foundNotice() {
    return QStringLiteral("Indique la ruta de instalación de AutoFirma");
}

TFormAutoFirma::TFormAutoFirma(const QString& appDir, QWidget* parent,
                               const InstalledPrograms* programs)
    : SettingsDialog(parent), m_appDir(appDir), m_programs(programs) {
    setObjectName(QStringLiteral("FormAutoFirma"));
    setWindowTitle(QStringLiteral("Firma"));
    DialogKit::frameDialog(this, 385, 400);
    buildLayout();
}

TFormAutoFirma::~TFormAutoFirma() = default;

void TFormAutoFirma::buildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    DialogKit::makeWhite(panel);
    outer->addWidget(panel);

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(10, 8, 10, 6);
    column->setSpacing(4);

    column->addWidget(new QLabel(QStringLiteral("MÉTODO DE FIRMA"), panel));
    m_useAutoFirma = new QRadioButton(QStringLiteral("&AutoFirma"), panel);
    m_useAutoFirma->setObjectName(QStringLiteral("rbAutoFirma"));
    m_useCertificate = new QRadioButton(QStringLiteral("Certificado en &fichero"), panel);
    m_useCertificate->setObjectName(QStringLiteral("rbCertificado"));
    m_useAutoFirma->setChecked(true);
    auto* methodRow = new QHBoxLayout;
    methodRow->addWidget(m_useAutoFirma);
    methodRow->addWidget(m_useCertificate);
    methodRow->addStretch();
    column->addLayout(methodRow);
    column->addSpacing(6);

    // Only the chosen route's boxes show.
    m_certificateGroup = new QWidget(panel);
    m_certificateGroup->setObjectName(QStringLiteral("GrupoCertificado"));
    auto* certificateColumn = new QVBoxLayout(m_certificateGroup);
    certificateColumn->setContentsMargins(0, 0, 0, 0);
    certificateColumn->setSpacing(4);
    auto* certificateLabel = new QLabel(QStringLiteral("&CERTIFICADO"), m_certificateGroup);
    certificateColumn->addWidget(certificateLabel);
    m_certificate = new QLineEdit(m_certificateGroup);
    m_certificate->setObjectName(QStringLiteral("eCertificado"));
    m_certificate->setReadOnly(true);
    m_certificate->setFixedWidth(281);
    m_certificate->setPlaceholderText(QStringLiteral("Fichero .p12 o .pfx"));
    certificateLabel->setBuddy(m_certificate);
    m_certificateButton = DialogKit::pictureButton(
        m_certificateGroup, QStringLiteral("btnCertificado"), QStringLiteral("folder-search"),
        QStringLiteral("Elegir certificado"), QSize(57, 33));
    auto* certificateRow = new QHBoxLayout;
    certificateRow->addWidget(m_certificate);
    certificateRow->addWidget(m_certificateButton);
    certificateRow->addStretch();
    certificateColumn->addLayout(certificateRow);
    m_certificateInfo = new QLabel(m_certificateGroup);
    m_certificateInfo->setObjectName(QStringLiteral("lCertificado"));
    m_certificateInfo->setWordWrap(true);
    m_certificateInfo->setMinimumHeight(44);
    m_certificateInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    certificateColumn->addWidget(m_certificateInfo);
    column->addWidget(m_certificateGroup);

    m_autoFirmaGroup = new QWidget(panel);
    m_autoFirmaGroup->setObjectName(QStringLiteral("GrupoAutoFirma"));
    auto* autoFirmaColumn = new QVBoxLayout(m_autoFirmaGroup);
    autoFirmaColumn->setContentsMargins(0, 0, 0, 0);
    autoFirmaColumn->setSpacing(4);
    auto* folderLabel = new QLabel(QStringLiteral("&INSTALACIÓN AUTOFIRMA"), m_autoFirmaGroup);
    autoFirmaColumn->addWidget(folderLabel);
    m_folder = new QLineEdit(m_autoFirmaGroup);
    m_folder->setObjectName(QStringLiteral("Edit29"));
    folderLabel->setBuddy(m_folder);
    m_folder->setFixedWidth(281);
    m_browseButton = DialogKit::pictureButton(
        m_autoFirmaGroup, QStringLiteral("AdvSmoothButton2"), QStringLiteral("folder-search"),
        QStringLiteral("Indicar configuración AutoFirma"), QSize(57, 33));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder);
    folderRow->addWidget(m_browseButton);
    folderRow->addStretch();
    autoFirmaColumn->addLayout(folderRow);
    m_program = new QLineEdit(m_autoFirmaGroup);
    m_program->setObjectName(QStringLiteral("Edit30"));
    m_program->setFixedWidth(192);
    // The program's caption sits beside it: the window has no height to spare.
    auto* programLabel = new QLabel(QStringLiteral("&PROGRAMA"), m_autoFirmaGroup);
    programLabel->setBuddy(m_program);
    auto* programRow = new QHBoxLayout;
    programRow->addWidget(programLabel);
    programRow->addWidget(m_program);
    programRow->addStretch();
    autoFirmaColumn->addLayout(programRow);
    autoFirmaColumn->addSpacing(6);

    auto* lists = new QGridLayout;
    lists->setHorizontalSpacing(20);
    auto* commandLabel = new QLabel(QStringLiteral("CO&MANDO AUTOFIRMA"), m_autoFirmaGroup);
    auto* formatLabel = new QLabel(QStringLiteral("F&ORMATO FIRMA"), m_autoFirmaGroup);
    lists->addWidget(commandLabel, 0, 0);
    lists->addWidget(formatLabel, 0, 1);
    m_command = new QComboBox(m_autoFirmaGroup);
    m_command->setObjectName(QStringLiteral("ComboBox1"));
    m_command->addItems(commands());
    m_command->setFixedWidth(145);
    m_format = new QComboBox(m_autoFirmaGroup);
    m_format->setObjectName(QStringLiteral("ComboBox2"));
    m_format->addItems(formats());
    m_format->setFixedWidth(145);
    commandLabel->setBuddy(m_command);
    formatLabel->setBuddy(m_format);
    lists->addWidget(m_command, 1, 0);
    lists->addWidget(m_format, 1, 1);
    lists->setColumnStretch(2, 1);
    autoFirmaColumn->addLayout(lists);
    column->addWidget(m_autoFirmaGroup);
    column->addStretch();

    m_saved = new QLabel(panel);
    m_saved->setObjectName(QStringLiteral("lGuardado"));
    m_saved->setWordWrap(true);
    column->addWidget(m_saved);

    m_saveButton =
        DialogKit::pictureButton(panel, QStringLiteral("AdvSmoothButton1"), QStringLiteral("tick"),
                                 QStringLiteral("Guardar Cambios"), QSize(80, 50));
    m_closeButton =
        DialogKit::pictureButton(panel, QStringLiteral("AdvSmoothButton3"), QStringLiteral("cross"),
                                 QStringLiteral("Cerrar"), QSize(80, 50));
    for (auto [button, text] : {std::pair{m_saveButton, "Guardar"}, {m_closeButton, "Cerrar"}}) {
        button->setText(QString::fromUtf8(text));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(24, 24));
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_saveButton);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);
    column->addLayout(buttons);

    m_notice = new QPlainTextEdit(this);
    m_notice->setObjectName(QStringLiteral("RichEdit1"));
    m_notice->setReadOnly(true);
    m_notice->setFixedHeight(67);
    m_notice->setFocusPolicy(Qt::NoFocus);
    m_notice->setPlainText(notFoundNotice().join(QLatin1Char('\n')));
    m_notice->hide();
    outer->addWidget(m_notice);

    m_installedList = new QListWidget(this);
    m_installedList->setObjectName(QStringLiteral("ListBox1"));
    m_installedList->setSortingEnabled(true);
    m_installedList->hide();

    // Tab follows the screen: the method, the certificate, the installation,
    // the lists, then the buttons.
    QWidget* order[] = {m_useAutoFirma, m_useCertificate, m_certificate, m_certificateButton,
                        m_folder,       m_browseButton,   m_program,     m_command,
                        m_format,       m_saveButton,     m_closeButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    onClicked(m_browseButton, [this] { AdvSmoothButton2Click(); });
    onClicked(m_saveButton, [this] { AdvSmoothButton1Click(); });
    onClicked(m_closeButton, [this] { AdvSmoothButton3Click(); });
    onClicked(m_certificateButton, [this] { chooseCertificateClick(); });
    connect(m_useCertificate, &QRadioButton::toggled, this, [this] { showChosenRoute(); });
    showChosenRoute();
    // "Guardado" holds only until something changes again.
    auto unsaved = [this] { m_saved->clear(); };
    connect(m_useCertificate, &QRadioButton::toggled, this, unsaved);
    connect(m_certificate, &QLineEdit::textChanged, this, unsaved);
    connect(m_folder, &QLineEdit::textChanged, this, unsaved);
    connect(m_program, &QLineEdit::textChanged, this, unsaved);
    connect(m_command, &QComboBox::currentIndexChanged, this, unsaved);
    connect(m_format, &QComboBox::currentIndexChanged, this, unsaved);
}

void TFormAutoFirma::showChosenRoute() {
    const bool certificate = m_useCertificate->isChecked();
    m_certificateGroup->setVisible(certificate);
    m_autoFirmaGroup->setVisible(!certificate);
    // Whether AutoFirma was found matters only to the AutoFirma route.
    m_notice->setVisible(!certificate && m_noticeDue);
}

void TFormAutoFirma::FormShow() {
    const IniFile ini(AppFiles::registroIni(m_appDir));
    const FirmaSettings route = FirmaSettings::read(ini);
    (route.method == FirmaSettings::Method::Certificate ? m_useCertificate : m_useAutoFirma)
        ->setChecked(true);
    m_certificate->setText(route.certificate);
    // Whose it is shows when the file is chosen: that needs the password.
    m_certificateInfo->clear();

    const AutoFirmaSettings stored = AutoFirmaSettings::read(ini);
    m_folder->setText(stored.folder);
    m_program->setText(stored.program);
    // Exact match, letter case included; anything else leaves no selection.
    m_command->setCurrentIndex(int(commands().indexOf(stored.command)));
    m_format->setCurrentIndex(int(formats().indexOf(stored.format)));

    // A stored folder, right or wrong, means AutoFirma has been set up.
    m_noticeDue = m_folder->text().isEmpty();
    m_saved->clear();
    if (!m_noticeDue) {
        showChosenRoute();
        return;
    }

    scanInstalledPrograms();
    QStringList names;
    for (int i = 0; i < m_installedList->count(); ++i)
        names.append(m_installedList->item(i)->text());
    if (containsAutoFirma(names))
        m_notice->setPlainText(foundNotice());
    else
        m_notice->setPlainText(notFoundNotice().join(QLatin1Char('\n')));
    showChosenRoute();
}

void TFormAutoFirma::scanInstalledPrograms() {
    if (!m_programs) {
        m_systemPrograms = InstalledPrograms::system();
        m_programs = m_systemPrograms.get();
    }
    m_installedList->clear();
    m_installedList->addItems(m_programs->displayNames());
}

void TFormAutoFirma::AdvSmoothButton2Click() {
    // Where AutoFirma is said to be, when it is.
    const QString chosen = Prompts::instance().openFileAt(
        this, QStringLiteral("Todos los archivos (*)"), QString(), m_folder->text());
    if (chosen.isEmpty())
        return;
    const QFileInfo file(chosen);
    // absolutePath() has no trailing separator except for a root folder,
    // which keeps it so that the folder never reads as "not set up".
    m_folder->setText(QDir::toNativeSeparators(file.absolutePath()));
    m_program->setText(file.fileName());
}

void TFormAutoFirma::AdvSmoothButton1Click() {
    AutoFirmaSettings settings;
    settings.folder = m_folder->text();
    settings.program = m_program->text();
    settings.command = m_command->currentIndex() >= 0 ? m_command->currentText() : QString();
    settings.format = m_format->currentIndex() >= 0 ? m_format->currentText() : QString();
    // Strict: a file that exists but cannot be read must not be replaced by
    // one holding only this section.
    IniFile ini(AppFiles::registroIni(m_appDir), true);
    settings.write(ini);
    FirmaSettings route;
    route.method = m_useCertificate->isChecked() ? FirmaSettings::Method::Certificate
                                                 : FirmaSettings::Method::AutoFirma;
    route.certificate = m_certificate->text();
    route.write(ini);
    ini.save(); // throws "No se puede guardar ..."
    m_saved->setText(QStringLiteral("Cambios guardados: las facturas se firmarán con %1.")
                         .arg(m_useCertificate->isChecked() ? QStringLiteral("el certificado")
                                                            : QStringLiteral("AutoFirma")));
}

void TFormAutoFirma::chooseCertificateClick() {
    const QString chosen = FileDialogs::open(
        this, m_appDir, FileDialogs::Kind::Certificate,
        QStringLiteral("Certificados (*.p12 *.pfx *.P12 *.PFX);;Todos los archivos (*)"), QString(),
        m_certificate->text());
    if (chosen.isEmpty())
        return;
    try {
        // Opened only to show whose it is.
        const std::optional<SigningCertificate> opened = SignatureFlow::openAsked(this, chosen);
        if (!opened)
            return;
        const CertificateSummary holder = opened->summary();
        m_certificate->setText(QDir::toNativeSeparators(chosen));
        m_useCertificate->setChecked(true);
        QStringList lines{QStringLiteral("Titular: %1").arg(holder.holderName)};
        if (!holder.personalTaxId.isEmpty())
            lines << QStringLiteral("NIF: %1").arg(holder.personalTaxId);
        if (!holder.companyTaxId.isEmpty())
            lines << QStringLiteral("NIF de la entidad: %1 %2")
                         .arg(holder.companyTaxId, holder.companyName)
                         .trimmed();
        lines << QStringLiteral("Caduca el %1")
                     .arg(holder.validTo.toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
        if (holder.validTo < QDateTime::currentDateTimeUtc())
            lines.last() =
                QStringLiteral("CADUCADO el %1")
                    .arg(holder.validTo.toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
        m_certificateInfo->setText(lines.join(u'\n'));
    } catch (const AppError& error) {
        m_certificateInfo->clear();
        Prompts::instance().errorBox(this, withFullStop(error.message()));
    }
}

void TFormAutoFirma::AdvSmoothButton3Click() {
    reject();
}
