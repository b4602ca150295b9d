#include "app/RecordSettingsDialog.h"

#include "ledger/RecordSettings.h"
#include "settings/AppFiles.h"
#include "storage/IniFile.h"
#include "widgets/Prompts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The entries of a list in the order of the setting's values.
QComboBox* choiceBox(QWidget* parent, const char* name, const QStringList& entries) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(entries);
    return box;
}

} // namespace

RecordSettingsDialog::RecordSettingsDialog(const QString& appDir, QWidget* parent)
    : SettingsDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("RecordSettingsDialog"));
    setWindowTitle(QStringLiteral("Registro de facturación"));

    auto* intro = new QLabel(
        QStringLiteral("Con un modo elegido, Orvane hace un registro de facturación encadenado "
                       "de cada factura que emite o anula, y lo guarda en el libro de facturas. "
                       "Sin modo, las facturas se emiten sin registro."),
        this);
    intro->setObjectName(QStringLiteral("Explicacion"));
    intro->setWordWrap(true);

    m_mode =
        choiceBox(this, "Modo",
                  {QStringLiteral("Sin elegir: no se hacen registros"),
                   QStringLiteral("VERI*FACTU: cada registro se envía a la Agencia Tributaria"),
                   QStringLiteral("Sin envío (NO VERI*FACTU): cada registro se firma y se "
                                  "guarda")});
    m_territory = choiceBox(this, "Territorio",
                            {QStringLiteral("Península y Baleares (hora peninsular)"),
                             QStringLiteral("Canarias (hora de Canarias)")});
    m_environment =
        choiceBox(this, "Entorno",
                  {QStringLiteral("Producción"),
                   QStringLiteral("Pruebas (servicio de pruebas de la Agencia Tributaria)")});
    m_legend = choiceBox(this, "Leyenda",
                         {QStringLiteral("VERI*FACTU"),
                          QStringLiteral("Factura verificable en la sede electrónica de la AEAT")});

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("ModeProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #a00000;"));
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Modo:"), m_mode);
    form->addRow(QStringLiteral("&Territorio del emisor:"), m_territory);
    form->addRow(QStringLiteral("&Entorno:"), m_environment);
    form->addRow(QStringLiteral("&Leyenda bajo el código QR:"), m_legend);

    m_save = new QPushButton(QStringLiteral("&Guardar"), this);
    m_save->setObjectName(QStringLiteral("Guardar"));
    m_save->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("&Cancelar"), this);
    m_cancel->setObjectName(QStringLiteral("Cancelar"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(560, 300);

    connect(m_mode, &QComboBox::currentIndexChanged, this, [this] { showModeProblem(); });
    onClicked(m_save, [this] { GuardarClick(); });
    onClicked(m_cancel, [this] { reject(); });
}

QString RecordSettingsDialog::iniPath() const {
    return AppFiles::registroIni(m_appDir);
}

void RecordSettingsDialog::shown() {
    const IniFile ini(iniPath());
    // Values the program does not know are said until saving replaces them.
    QStringList unknown;
    const RecordSettings settings = RecordSettings::readKnown(ini, unknown);
    m_mode->setCurrentIndex(int(settings.mode));
    m_territory->setCurrentIndex(int(settings.territory));
    m_environment->setCurrentIndex(int(settings.environment));
    m_legend->setCurrentIndex(int(settings.legend));
    showModeProblem();
    if (!unknown.isEmpty())
        m_problem->setText(unknown.join(u'\n'));
    m_mode->setFocus();
}

void RecordSettingsDialog::showModeProblem() {
    const IniFile ini(iniPath());
    m_problem->setText(
        RecordSettings::modeProblem(RecordSettings::Mode(m_mode->currentIndex()), ini));
}

void RecordSettingsDialog::GuardarClick() {
    IniFile ini(iniPath(), true);
    RecordSettings settings;
    settings.mode = RecordSettings::Mode(m_mode->currentIndex());
    settings.territory = Territory(m_territory->currentIndex());
    settings.environment = RecordSettings::Environment(m_environment->currentIndex());
    settings.legend = RecordSettings::Legend(m_legend->currentIndex());
    if (const QString problem = RecordSettings::modeProblem(settings.mode, ini);
        !problem.isEmpty()) {
        m_problem->setText(problem);
        Prompts::instance().warn(this, AppTitle, problem);
        m_mode->setFocus();
        return;
    }
    QStringList unknown;
    const RecordSettings::Mode before = RecordSettings::readKnown(ini, unknown).mode;
    if (before != settings.mode && m_modeChange && !m_modeChange(before, settings.mode))
        return;
    settings.write(ini);
    ini.save();
    accept();
}
