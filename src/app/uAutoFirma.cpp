#include "app/uAutoFirma.h"

#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "settings/RegistroIni.h"
#include "signing/InstalledPrograms.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

const QStringList& TFormAutoFirma::commands() {
    static const QStringList list{QStringLiteral("Sign -certgui"), QStringLiteral("Sign -gui")};
    return list;
}

const QStringList& TFormAutoFirma::formats() {
    static const QStringList list{
        QStringLiteral("-format AUTO"),     QStringLiteral("-format PADES"),
        QStringLiteral("-format FACTURAE"), QStringLiteral("-format CADES"),
        QStringLiteral("-format XADES"),    QStringLiteral("-format OOXML"),
        QStringLiteral("-format ODF")};
    return list;
}

QStringList TFormAutoFirma::notFoundNotice() {
    return {QStringLiteral("NO SE HA DETECTADO AUTOFIRMA "),
            QStringLiteral("Orvane NECESITA AUTOFIRMA PARA FIRMAR "),
            QStringLiteral("ELECTRONICAMENTE "), QStringLiteral("LAS FACTURAS GENERADAS.")};
}

QString TFormAutoFirma::foundNotice() {
    return QStringLiteral("Indica ruta de instalación de AutoFirma");
}

TFormAutoFirma::TFormAutoFirma(const QString& appDir, QWidget* parent,
                               const InstalledPrograms* programs)
    : QDialog(parent), m_appDir(appDir), m_programs(programs) {
    setObjectName(QStringLiteral("FormAutoFirma"));
    setWindowTitle(QStringLiteral("Configuración Valores Autofirma"));
    DialogKit::frameDialog(this, 385, 280);
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

    column->addWidget(new QLabel(QStringLiteral("INSTALACION AUTOFIRMA"), panel));
    Edit29 = new QLineEdit(panel);
    Edit29->setObjectName(QStringLiteral("Edit29"));
    Edit29->setFixedWidth(281);
    AdvSmoothButton2 = DialogKit::pictureButton(
        panel, QStringLiteral("AdvSmoothButton2"), QStringLiteral("folder-search"),
        QStringLiteral("Indicar configuración AutoFirma"), QSize(57, 33));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(Edit29);
    folderRow->addWidget(AdvSmoothButton2);
    folderRow->addStretch();
    column->addLayout(folderRow);
    Edit30 = new QLineEdit(panel);
    Edit30->setObjectName(QStringLiteral("Edit30"));
    Edit30->setFixedWidth(192);
    column->addWidget(Edit30);
    column->addSpacing(6);

    auto* lists = new QGridLayout;
    lists->setHorizontalSpacing(20);
    lists->addWidget(new QLabel(QStringLiteral("COMANDO AUTOFIRMA"), panel), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("FORMATO FIRMA"), panel), 0, 1);
    ComboBox1 = new QComboBox(panel);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(commands());
    ComboBox1->setFixedWidth(145);
    ComboBox2 = new QComboBox(panel);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems(formats());
    ComboBox2->setFixedWidth(145);
    lists->addWidget(ComboBox1, 1, 0);
    lists->addWidget(ComboBox2, 1, 1);
    lists->setColumnStretch(2, 1);
    column->addLayout(lists);
    column->addStretch();

    AdvSmoothButton1 =
        DialogKit::pictureButton(panel, QStringLiteral("AdvSmoothButton1"), QStringLiteral("tick"),
                                 QStringLiteral("Guardar Cambios"), QSize(57, 33));
    AdvSmoothButton3 =
        DialogKit::pictureButton(panel, QStringLiteral("AdvSmoothButton3"), QStringLiteral("cross"),
                                 QStringLiteral("Cerrar"), QSize(57, 33));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AdvSmoothButton1);
    buttons->addStretch();
    buttons->addWidget(AdvSmoothButton3);
    column->addLayout(buttons);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setFixedHeight(67);
    RichEdit1->setFocusPolicy(Qt::NoFocus);
    RichEdit1->setPlainText(notFoundNotice().join(QLatin1Char('\n')));
    RichEdit1->hide();
    outer->addWidget(RichEdit1);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSortingEnabled(true);
    ListBox1->hide();

    QWidget* order[] = {Edit29,           Edit30,           ComboBox1,       ComboBox2,
                        AdvSmoothButton2, AdvSmoothButton1, AdvSmoothButton3};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(AdvSmoothButton2, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton2Click(); }); });
    connect(AdvSmoothButton1, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton1Click(); }); });
    connect(AdvSmoothButton3, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton3Click(); }); });
}

void TFormAutoFirma::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_centred) {
        DialogKit::centreOnScreen(this);
        m_centred = true;
    }
    runGuarded(this, [this] { FormShow(); });
}

void TFormAutoFirma::keyPressEvent(QKeyEvent* event) {
    // Only the buttons and the close box close the window.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormAutoFirma::FormShow() {
    const AutoFirmaSettings stored =
        AutoFirmaSettings::read(IniFile(AppFiles::registroIni(m_appDir)));
    Edit29->setText(stored.folder);
    Edit30->setText(stored.program);
    // Exact match, letter case included; anything else leaves no selection.
    ComboBox1->setCurrentIndex(int(commands().indexOf(stored.command)));
    ComboBox2->setCurrentIndex(int(formats().indexOf(stored.format)));

    // A stored folder, right or wrong, means AutoFirma has been set up.
    if (!Edit29->text().isEmpty())
        return;

    scanInstalledPrograms();
    QStringList names;
    for (int i = 0; i < ListBox1->count(); ++i)
        names.append(ListBox1->item(i)->text());
    if (containsAutoFirma(names))
        RichEdit1->setPlainText(foundNotice());
    else
        RichEdit1->setPlainText(notFoundNotice().join(QLatin1Char('\n')));
    RichEdit1->show();
}

void TFormAutoFirma::scanInstalledPrograms() {
    if (!m_programs) {
        m_systemPrograms = InstalledPrograms::system();
        m_programs = m_systemPrograms.get();
    }
    ListBox1->clear();
    ListBox1->addItems(m_programs->displayNames());
}

void TFormAutoFirma::AdvSmoothButton2Click() {
    const QString chosen =
        Prompts::instance().openFile(this, QStringLiteral("Todos los archivos (*)"), QString());
    if (chosen.isEmpty())
        return;
    const QFileInfo file(chosen);
    // absolutePath() has no trailing separator except for a root folder,
    // which keeps it so that the folder never reads as "not set up".
    Edit29->setText(QDir::toNativeSeparators(file.absolutePath()));
    Edit30->setText(file.fileName());
}

void TFormAutoFirma::AdvSmoothButton1Click() {
    AutoFirmaSettings settings;
    settings.folder = Edit29->text();
    settings.program = Edit30->text();
    settings.command = ComboBox1->currentIndex() >= 0 ? ComboBox1->currentText() : QString();
    settings.format = ComboBox2->currentIndex() >= 0 ? ComboBox2->currentText() : QString();
    // Strict: a file that exists but cannot be read must not be replaced by
    // one holding only this section.
    IniFile ini(AppFiles::registroIni(m_appDir), true);
    settings.write(ini);
    ini.save(); // throws "Unable to write to ..."
}

void TFormAutoFirma::AdvSmoothButton3Click() {
    reject();
}
