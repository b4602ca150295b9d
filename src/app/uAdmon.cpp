#include "app/uAdmon.h"

#include "settings/AppFiles.h"
#include "storage/IniFile.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

void CloseUpComboBox::hidePopup() {
    QComboBox::hidePopup();
    // The list hides before the clicked entry becomes the current one; report
    // the close once the choice has been taken.
    QMetaObject::invokeMethod(this, &CloseUpComboBox::closedUp, Qt::QueuedConnection);
}

namespace {

QLabel* caption(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setFont(DialogKit::windowFont(10));
    return label;
}

QLineEdit* box(QWidget* parent, const char* name, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setFixedWidth(width);
    return edit;
}

} // namespace

TFormAdmon::TFormAdmon(const QString& appDir, QWidget* parent)
    : SettingsDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormAdmon"));
    setWindowTitle(QStringLiteral("Datos Administración"));
    DialogKit::frameDialog(this, 458, 359);
    DialogKit::makeWhite(this);
    buildLayout();
    runGuarded(this, [this] { FormCreate(); });
}

void TFormAdmon::buildLayout() {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(12, 12, 12, 12);
    outer->setSpacing(10);

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(8);
    rows->setVerticalSpacing(4);

    m_managingName = box(this, "Edit6", 160);
    m_managingCode = box(this, "Edit1", 121);
    m_officeName = box(this, "Edit5", 160);
    m_officeCode = box(this, "Edit2", 121);
    m_unitName = box(this, "Edit4", 160);
    m_unitCode = box(this, "Edit3", 121);
    // Each centre's title takes the keyboard to its name, "CÓDIGO" to its code.
    const struct {
        const char* title;
        const char* codeLabel;
        QLineEdit* name;
        QLineEdit* code;
    } centres[] = {{"&ÓRGANO GESTOR", "CÓ&DIGO", m_managingName, m_managingCode},
                   {"O&FICINA CONTABLE", "CÓD&IGO", m_officeName, m_officeCode},
                   {"&UNIDAD TRAMITADORA", "CÓDI&GO", m_unitName, m_unitCode}};
    int row = 0;
    for (const auto& centre : centres) {
        QLabel* title = caption(this, QString::fromUtf8(centre.title));
        title->setBuddy(centre.name);
        rows->addWidget(title, row, 0, 1, 2);
        ++row;
        QLabel* name = caption(this, QStringLiteral("NOMBRE "));
        name->setBuddy(centre.name);
        rows->addWidget(name, row, 0);
        QLabel* code = caption(this, QString::fromUtf8(centre.codeLabel));
        code->setBuddy(centre.code);
        rows->addWidget(code, row, 1);
        ++row;
        rows->addWidget(centre.name, row, 0);
        rows->addWidget(centre.code, row, 1);
        ++row;
        rows->setRowMinimumHeight(row, 8);
        ++row;
    }
    rows->setColumnStretch(2, 1);
    left->addLayout(rows);
    left->addStretch();

    QLabel* catalogueLabel = caption(this, QStringLiteral("&ADMINISTRACIONES DISPONIBLES:"));
    left->addWidget(catalogueLabel);
    m_catalogue = new CloseUpComboBox(this);
    catalogueLabel->setBuddy(m_catalogue);
    m_catalogue->setObjectName(QStringLiteral("ComboBox1"));
    m_catalogue->setEditable(true);
    // Typing in the list's text never adds an entry; only the save does.
    m_catalogue->setInsertPolicy(QComboBox::NoInsert);
    m_catalogue->setMaxVisibleItems(25);
    m_catalogue->setFixedWidth(287);
    left->addWidget(m_catalogue);
    outer->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    right->setSpacing(12);
    m_acceptButton = DialogKit::pictureButton(
        this, QStringLiteral("AdvSmoothButton1"), QStringLiteral("double-tick"),
        QStringLiteral("Poner estos centros en la factura"), QSize(70, 61));
    m_saveButton = DialogKit::pictureButton(
        this, QStringLiteral("AdvSmoothButton2"), QStringLiteral("diskette"),
        QStringLiteral("Guardar estos centros en la lista de administraciones"), QSize(70, 61));
    m_exitButton = DialogKit::pictureButton(
        this, QStringLiteral("AdvSmoothButton4"), QStringLiteral("exit"),
        QStringLiteral("Cerrar sin cambiar la factura (Esc)"), QSize(70, 61));
    // A word under each picture says what it does.
    const std::pair<QToolButton*, const char*> captions[] = {
        {m_acceptButton, "Aceptar"}, {m_saveButton, "Guardar"}, {m_exitButton, "Cancelar"}};
    for (const auto& [button, text] : captions) {
        button->setText(QString::fromUtf8(text));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(36, 36));
    }
    right->addWidget(m_acceptButton);
    right->addWidget(m_saveButton);
    right->addWidget(m_exitButton);
    right->addStretch();
    outer->addLayout(right);

    QWidget* order[] = {m_managingName, m_managingCode, m_officeName, m_officeCode,   m_unitName,
                        m_unitCode,     m_catalogue,    m_exitButton, m_acceptButton, m_saveButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_catalogue, &CloseUpComboBox::closedUp, this,
            [this] { runGuarded(this, [this] { ComboBox1CloseUp(); }); });
    onClicked(m_acceptButton, [this] { Button1Click(); });
    onClicked(m_saveButton, [this] { Button3Click(); });
    onClicked(m_exitButton, [this] { AdvSmoothButton4Click(); });
}

void TFormAdmon::setCentres(const AdministrationCentres& centres) {
    m_managingCode->setText(centres.managingCode);
    m_officeCode->setText(centres.officeCode);
    m_unitCode->setText(centres.unitCode);
    m_managingName->setText(centres.managingName);
    m_officeName->setText(centres.officeName);
    m_unitName->setText(centres.unitName);
}

AdministrationCentres TFormAdmon::centres() const {
    AdministrationCentres centres;
    centres.managingCode = m_managingCode->text();
    centres.officeCode = m_officeCode->text();
    centres.unitCode = m_unitCode->text();
    centres.managingName = m_managingName->text();
    centres.officeName = m_officeName->text();
    centres.unitName = m_unitName->text();
    return centres;
}

void TFormAdmon::FormCreate() {
    m_catalogue->clear();
    const IniFile ini(AppFiles::concellosIni(m_appDir));
    m_concellosRegistrados =
        ini.readInteger(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS"), 0);
    m_catalogue->addItems(ConcellosCatalogue::names(m_appDir));
    m_catalogue->setCurrentIndex(-1); // nothing selected until the user picks
}

void TFormAdmon::ComboBox1CloseUp() {
    const int selected = m_catalogue->currentIndex();
    m_texto = selected >= 0 ? m_catalogue->itemText(selected) : QString();
    // Every box is overwritten, also when the name has nothing stored.
    setCentres(ConcellosCatalogue::load(m_appDir, m_texto));
}

void TFormAdmon::Button3Click() {
    m_texto.clear();
    m_existeConcello = false;
    QString typed;
    if (!Prompts::instance().askText(this, QStringLiteral("Guardar Datos Admón."),
                                     QStringLiteral("Introduzca el nombre de la administración"),
                                     typed))
        return;
    const QStringList listed = ConcellosCatalogue::names(m_appDir);
    // Refuses an empty, blank or unstorable name before anything is written.
    m_texto = ConcellosCatalogue::save(m_appDir, typed, centres());
    m_existeConcello = listed.contains(m_texto);
    if (!m_existeConcello)
        ++m_concellosRegistrados;
    // The list is read when the window opens; a new name shows next time.
}

void TFormAdmon::Button1Click() {
    m_tag = AcceptedTag;
    accept();
}

void TFormAdmon::AdvSmoothButton4Click() {
    m_tag = 0;
    reject();
}

void TFormAdmon::keyPressEvent(QKeyEvent* event) {
    // Escape is "Cancelar": nothing typed here reaches the invoice without
    // "Aceptar", and the catalogue only changes through "Guardar".
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        AdvSmoothButton4Click();
        return;
    }
    SettingsDialog::keyPressEvent(event);
}
