#include "app/uAdmon.h"

#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
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

TFormAdmon::TFormAdmon(const QString& appDir, QWidget* parent) : QDialog(parent), m_appDir(appDir) {
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

    Edit6 = box(this, "Edit6", 160);
    Edit1 = box(this, "Edit1", 121);
    Edit5 = box(this, "Edit5", 160);
    Edit2 = box(this, "Edit2", 121);
    Edit4 = box(this, "Edit4", 160);
    Edit3 = box(this, "Edit3", 121);
    const struct {
        const char* title;
        QLineEdit* name;
        QLineEdit* code;
    } centres[] = {{"ORGANO GESTOR", Edit6, Edit1},
                   {"OFICINA CONTABLE", Edit5, Edit2},
                   {"UNIDAD TRAMITADORA", Edit4, Edit3}};
    int row = 0;
    for (const auto& centre : centres) {
        rows->addWidget(caption(this, QString::fromUtf8(centre.title)), row, 0, 1, 2);
        ++row;
        rows->addWidget(caption(this, QStringLiteral("NOMBRE ")), row, 0);
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

    left->addWidget(caption(this, QStringLiteral("CONCELLOS DISPONIBLES:")));
    ComboBox1 = new CloseUpComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    // Typing in the list's text never adds an entry; only the save does.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(25);
    ComboBox1->setFixedWidth(287);
    left->addWidget(ComboBox1);
    outer->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    right->setSpacing(12);
    AdvSmoothButton1 =
        DialogKit::pictureButton(this, QStringLiteral("AdvSmoothButton1"),
                                 QStringLiteral("double-tick"), QString(), QSize(70, 61));
    AdvSmoothButton2 =
        DialogKit::pictureButton(this, QStringLiteral("AdvSmoothButton2"),
                                 QStringLiteral("diskette"), QString(), QSize(70, 61));
    AdvSmoothButton4 = DialogKit::pictureButton(this, QStringLiteral("AdvSmoothButton4"),
                                                QStringLiteral("exit"), QString(), QSize(70, 61));
    right->addWidget(AdvSmoothButton1);
    right->addWidget(AdvSmoothButton2);
    right->addWidget(AdvSmoothButton4);
    right->addStretch();
    outer->addLayout(right);

    QWidget* order[] = {Edit6,
                        Edit1,
                        Edit5,
                        Edit2,
                        Edit4,
                        Edit3,
                        ComboBox1,
                        AdvSmoothButton4,
                        AdvSmoothButton1,
                        AdvSmoothButton2};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(ComboBox1, &CloseUpComboBox::closedUp, this,
            [this] { runGuarded(this, [this] { ComboBox1CloseUp(); }); });
    connect(AdvSmoothButton1, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { Button1Click(); }); });
    connect(AdvSmoothButton2, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { Button3Click(); }); });
    connect(AdvSmoothButton4, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton4Click(); }); });
}

void TFormAdmon::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_centred && !event->spontaneous()) {
        DialogKit::centreOnScreen(this);
        m_centred = true;
    }
}

void TFormAdmon::keyPressEvent(QKeyEvent* event) {
    // Only the buttons and the close box close the window.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormAdmon::setCentres(const AdministrationCentres& centres) {
    Edit1->setText(centres.managingCode);
    Edit2->setText(centres.officeCode);
    Edit3->setText(centres.unitCode);
    Edit6->setText(centres.managingName);
    Edit5->setText(centres.officeName);
    Edit4->setText(centres.unitName);
}

AdministrationCentres TFormAdmon::centres() const {
    AdministrationCentres centres;
    centres.managingCode = Edit1->text();
    centres.officeCode = Edit2->text();
    centres.unitCode = Edit3->text();
    centres.managingName = Edit6->text();
    centres.officeName = Edit5->text();
    centres.unitName = Edit4->text();
    return centres;
}

void TFormAdmon::FormCreate() {
    ComboBox1->clear();
    const IniFile ini(AppFiles::concellosIni(m_appDir));
    m_concellosRegistrados =
        ini.readInteger(QStringLiteral("REGISTRO"), QStringLiteral("CUANTOS"), 0);
    ComboBox1->addItems(ConcellosCatalogue::names(m_appDir));
    ComboBox1->setCurrentIndex(-1); // nothing selected until the user picks
}

void TFormAdmon::ComboBox1CloseUp() {
    const int selected = ComboBox1->currentIndex();
    m_texto = selected >= 0 ? ComboBox1->itemText(selected) : QString();
    // Every box is overwritten, also when the name has nothing stored.
    setCentres(ConcellosCatalogue::load(m_appDir, m_texto));
}

void TFormAdmon::Button3Click() {
    m_texto.clear();
    m_existeConcello = false;
    QString typed;
    if (!Prompts::instance().askText(this, QStringLiteral("Guardar Datos Admón."),
                                     QStringLiteral("Introduce el nombre del concello"), typed))
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
    m_tag = 25;
    accept();
}

void TFormAdmon::AdvSmoothButton4Click() {
    m_tag = 0;
    reject();
}
