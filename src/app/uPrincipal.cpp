#include "app/uPrincipal.h"

#include "app/BookWindow.h"
#include "app/ControlNames.h"
#include "app/DeclarationDialog.h"
#include "app/FileReferencePanel.h"
#include "app/FindingsText.h"
#include "app/FirstStartHint.h"
#include "app/InvoicePreview.h"
#include "app/LineCountTitle.h"
#include "app/LinesGrid.h"
#include "app/MainStatusBar.h"
#include "app/PartyPanel.h"
#include "app/PaymentPanel.h"
#include "app/PendingEdit.h"
#include "app/RecordBinding.h"
#include "app/SignatureFlow.h"
#include "app/TaxIdMark.h"
#include "app/TotalsPanel.h"
#include "app/uAcercaDe.h"
#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "app/uRegistro.h"
#include "common/AppVersion.h"
#include "invoice/BankAccount.h"
#include "invoice/UnsavedChanges.h"
#include "pdf/FacturaeReader.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "settings/RegistroIni.h"
#include "settings/RememberedFolders.h"
#include "signing/AutoFirmaProcess.h"
#include "signing/ValidationPage.h"
#include "widgets/BackgroundWork.h"
#include "widgets/BusyCursor.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"
#include "widgets/WheelGuard.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

// The pictures live in a static library; this pulls them in wherever the
// window is linked.
static void initMainWindowResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(mainwindow);
        return true;
    }();
    (void)done;
}

namespace {

const QString UnsavedQuestion =
    QStringLiteral("La factura tiene cambios sin guardar. ¿Desea descartarlos?");
const QString QuitUnsavedQuestion =
    QStringLiteral("La factura tiene cambios sin guardar. ¿Desea salir sin guardarlos?");

// The menu bar and its shortcuts. A toolbar button shows the action of the
// same name. Adding a command is one line here and a handler.
struct MenuEntry {
    TForm2::Menu menu;
    const char* name;
    const char* text;     // with its accelerator
    const char* hint;     // tooltip; the shortcut is added to it
    const char* shortcut; // portable text, "" for none
    const char* picture;  // toolbar picture, "" for none
    void (TForm2::*handler)();
    bool separatorBefore = false;
};

using M = TForm2::Menu;
const MenuEntry MenuEntries[] = {
    {M::Archivo, "actionNuevaFactura", "&Nueva factura", "Nueva factura", "Ctrl+N", "",
     &TForm2::newInvoice},
    {M::Archivo, "actionAbrir", "&Abrir…", "Abrir un borrador o un fichero de importación",
     "Ctrl+O", "", &TForm2::openInvoiceFile},
    {M::Archivo, "actionCapturarDatos", "&Capturar datos", "Capturar Datos", "Ctrl+I", "import",
     &TForm2::AdvSmoothButton2Click},
    {M::Archivo, "actionGuardarBorrador", "&Guardar borrador", "Guardar borrador", "Ctrl+S", "",
     &TForm2::saveDraft, true},
    {M::Archivo, "actionGenerarFactura", "G&enerar factura", "Generar Factura", "Ctrl+G",
     "document", &TForm2::Button2Click},
    {M::Archivo, "actionSalir", "&Salir", "Salir", "Ctrl+Q", "exit", &TForm2::AdvSmoothButton4Click,
     true},
    {M::Factura, "actionComprobarFactura", "C&omprobar factura", "Comprobar la factura", "Ctrl+K",
     "", &TForm2::checkInvoice},
    {M::Factura, "actionFirmarFactura", "&Firmar factura", "Firmar Factura", "Ctrl+F", "sign",
     &TForm2::Button4Click},
    {M::Factura, "actionComprobarFirma", "&Comprobar firma…", "Comprobar firma", "Ctrl+Shift+F", "",
     &TForm2::ComprobarFirmaClick},
    {M::Factura, "actionValidar", "&Validar", "Validar", "Ctrl+L", "validate",
     &TForm2::VALIDARClick},
    {M::Factura, "VerImprimir", "Ver / &Imprimir", "Ver / Imprimir", "Ctrl+P", "",
     &TForm2::VerImprimirClick, true},
    {M::Factura, "AbrirFacturaXml", "Abrir factura &XML…", "Abrir factura XML", "Ctrl+Shift+P", "",
     &TForm2::AbrirFacturaXmlClick},
    {M::Factura, "actionLibroFacturas", "&Libro de facturas", "Libro de facturas", "Ctrl+B", "",
     &TForm2::LibroFacturasClick, true},
    {M::Configuracion, "actionMisDatos", "&Mis datos", "Mis datos", "", "",
     &TForm2::editIssuerSettings},
    {M::Configuracion, "actionAdministraciones", "&Administraciones", "Administraciones", "", "",
     &TForm2::editAdministrations},
    {M::Configuracion, "actionFirma", "&Firma", "Firma", "", "", &TForm2::editSigningSettings},
    {M::Ayuda, "actionAcercaDe", "&Acerca de", "Contacto", "F1", "contact", &TForm2::Button5Click},
    {M::Ayuda, "actionDeclaracionResponsable", "&Declaración responsable",
     "Declaración responsable", "", "", &TForm2::DeclaracionResponsableClick},
};

// Commands that work on the invoice on screen: what is being typed is taken
// first. Those that replace or close it ask first instead (mayLeaveInvoice).
void (TForm2::*const CommitFirst[])() = {&TForm2::saveDraft, &TForm2::Button2Click,
                                         &TForm2::VerImprimirClick, &TForm2::Button4Click,
                                         &TForm2::checkInvoice};

QWidget* whitePanel(const QString& objectName, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(objectName);
    DialogKit::makeWhite(panel);
    return panel;
}

// The window's own limits: a 1024 x 600 screen with a title bar holds it,
// and the totals keep a readable width whatever the screen.
constexpr int MinimumWidth = 1000;
constexpr int MinimumHeight = 540;
constexpr int TotalsWidth = 430;

} // namespace

const QString TForm2::ImportFilter = QStringLiteral("Ficheros Importacion (*.ini)");
const QString TForm2::UnsignedFilter = QStringLiteral("Facturas Electrónicas sin firmar (*.xml)");
const QString TForm2::OpenFilters = TForm2::ImportFilter + QStringLiteral(";;") +
                                    TForm2::UnsignedFilter +
                                    QStringLiteral(";;Todos los archivos (*.*)");
const QString TForm2::SaveFilter = QStringLiteral("Facturas Electronicas sin Firmar (*.XML)");
const QString TForm2::FacturaeFilters =
    QStringLiteral("Facturas electrónicas (*.xml *.XML *.xsig *.XSIG);;Todos los archivos (*.*)");

const QString TForm2::DraftFilter = QStringLiteral("Borradores de factura (*.ini)");

TForm2::TForm2(const QString& appDir, QWidget* parent) : QMainWindow(parent), m_session(appDir) {
    initMainWindowResources();
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Generación de Orvane[*]"));
    setWindowIcon(QIcon(QStringLiteral(":/mainwindow/orvane.svg")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(DialogKit::windowFont(8, true));

    auto* central = whitePanel(QStringLiteral("ClientArea"), this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_firstStartHint = new FirstStartHint(central);
    column->addWidget(m_firstStartHint);

    // The invoice scrolls when the screen is too small for it; the button
    // bar below it stays in view.
    m_scroll = new QScrollArea(central);
    m_scroll->setObjectName(QStringLiteral("InvoiceScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(buildInvoiceArea());
    column->addWidget(m_scroll, 1);

    // A long invoice's check runs beside the window.
    m_session.setLongWork([this](const QString& label, const std::function<void()>& work) {
        BackgroundWork::run(this, label, work);
    });
    m_binding = new RecordBinding(m_record, this);
    m_binding->showAll();
    m_changes = new UnsavedChanges(m_record, this);
    connect(m_changes, &UnsavedChanges::modifiedChanged, this, &QWidget::setWindowModified);

    m_signer = new AutoFirmaProcess(this);
    connect(m_signer, &AutoFirmaProcess::finished, this, &TForm2::signingEnded);

    m_session.setRenderer(&m_pdfRenderer);
    buildMenus();
    m_buttonBar = buildButtonBar();
    column->addWidget(m_buttonBar);
    m_status = new MainStatusBar(this);
    setStatusBar(m_status);
    for (RecordField field : {RecordField::IssuerTaxId, RecordField::CustomerTaxId})
        TaxIdMark::attach(findChild<QLineEdit*>(controlName(field)));

    connect(m_issuer->editButton(), &QPushButton::clicked, this, &TForm2::editIssuerSettings);

    // Person type: the buttons ask the record, the record lays the block out.
    for (PartyPanel* panel : {m_issuer, m_customer}) {
        connect(panel, &PartyPanel::personTypeChosen, this, [this, panel](PersonType type) {
            runGuarded(this, [&] { m_record.selectPersonType(panel->party(), type); });
            panel->showLayout(m_record);
        });
    }
    auto relayout = [this](Party party) {
        (party == Party::Issuer ? m_issuer : m_customer)->showLayout(m_record);
    };
    connect(&m_record, &InvoiceRecord::personTypeChanged, this, relayout);
    connect(&m_record, &InvoiceRecord::layoutChanged, this, relayout);

    // "Admón. del estado.": the record decides whether the window opens.
    QCheckBox* administration = m_customer->administrationBox();
    m_record.setAdministrationTickHandler(this);
    connect(administration, &QCheckBox::toggled, this,
            [this](bool on) { runGuarded(this, [&] { m_record.setAdministration(on); }); });
    connect(&m_record, &InvoiceRecord::administrationChanged, administration,
            [administration](bool on) {
                const QSignalBlocker block(administration);
                administration->setChecked(on);
            });

    // The IBAN follows the four account boxes: while they are typed, and on
    // leaving one, when missing control digits are filled in as well.
    for (RecordField part : {RecordField::BankEntity, RecordField::BankOffice,
                             RecordField::BankControlDigits, RecordField::BankAccountNumber}) {
        QLineEdit* box = m_binding->edit(part);
        connect(box, &QLineEdit::textEdited, this,
                [this] { runGuarded(this, [&] { BankAccount::followAccount(m_record, false); }); });
        connect(box, &QLineEdit::editingFinished, this, [this, box] {
            if (box->isModified())
                runGuarded(this, [&] { BankAccount::followAccount(m_record, true); });
            box->setModified(false);
        });
    }

    m_pending = std::make_unique<PendingEdit>(m_record, *m_grid, *m_totals->rateList(), *this);
    connect(m_totals->rateList(), &RateCombo::closedUp, this, &TForm2::ComboBox1CloseUp);
    connect(m_totals->rateList(), &RateCombo::left, this, &TForm2::ComboBox1Exit);
    // Another rate picked with the keys or the wheel counts at once.
    connect(m_totals->rateList(), &QComboBox::currentIndexChanged, this,
            [this] { m_pending->takeRate(); });
    // The wheel scrolls the invoice; it changes only the box being typed in.
    new WheelGuard(this);

    setUpTabOrder();
    // Enter moves on like Tab: the window sees every key first.
    qApp->installEventFilter(this);

    // Small enough for a 1024 x 600 screen with its title bar; the invoice
    // scrolls below that.
    setMinimumSize(MinimumWidth, MinimumHeight);
    fitToScreen();
}

TForm2::~TForm2() {
    qApp->removeEventFilter(this);
    m_record.setAdministrationTickHandler(nullptr);
    // The widgets look at the record until they are gone; the record is a
    // member and would otherwise go first.
    delete takeCentralWidget();
}

QWidget* TForm2::buildInvoiceArea() {
    auto* area = whitePanel(QStringLiteral("InvoiceArea"), nullptr);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Parties.
    auto* panel2 = whitePanel(QStringLiteral("Panel2"), area);
    panel2->setFixedHeight(210);
    auto* partiesRow = new QHBoxLayout(panel2);
    partiesRow->setContentsMargins(4, 2, 4, 2);
    m_issuer = new PartyPanel(Party::Issuer, panel2);
    m_issuer->setFixedWidth(495);
    m_customer = new PartyPanel(Party::Customer, panel2);
    m_customer->setMinimumWidth(420);
    partiesRow->addWidget(m_issuer);
    partiesRow->addWidget(m_customer, 1);
    column->addWidget(panel2);

    // Lines.
    auto* lines = new QGroupBox(area);
    lines->setObjectName(QStringLiteral("GroupBox4"));
    showLineCount(*lines, m_record.lines());
    auto* linesColumn = new QVBoxLayout(lines);
    linesColumn->setContentsMargins(4, 2, 4, 4);
    linesColumn->setSpacing(2);
    m_grid = new LinesGrid(m_record.lines(), lines);
    m_grid->setMinimumHeight(110);
    m_fileReference = new FileReferencePanel(m_record.lines(), lines);
    linesColumn->addWidget(m_grid, 1);
    linesColumn->addWidget(m_fileReference);
    linesColumn->addWidget(buildHiddenFields());
    auto* linesRow = new QHBoxLayout;
    linesRow->setContentsMargins(4, 0, 4, 0);
    linesRow->addWidget(lines);
    column->addLayout(linesRow, 1);

    // Payment and totals: the totals keep their width, the payment takes
    // what is left.
    auto* panel3 = whitePanel(QStringLiteral("Panel3"), area);
    panel3->setFixedHeight(161);
    auto* paymentRow = new QHBoxLayout(panel3);
    paymentRow->setContentsMargins(4, 2, 4, 2);
    m_payment = new PaymentPanel(panel3);
    m_payment->setMinimumWidth(519);
    m_totals = new TotalsPanel(panel3);
    m_totals->setFixedWidth(TotalsWidth);
    paymentRow->addWidget(m_payment, 1);
    paymentRow->addWidget(m_totals);
    column->addWidget(panel3);
    return area;
}

void TForm2::buildMenus() {
    static const char* const titles[] = {"&Archivo", "&Factura", "&Configuración", "A&yuda"};
    static const char* const names[] = {"menuArchivo", "menuFactura", "menuConfiguracion",
                                        "menuAyuda"};
    for (int i = 0; i < 4; ++i) {
        m_menus[i] = menuBar()->addMenu(QString::fromUtf8(titles[i]));
        m_menus[i]->setObjectName(QLatin1String(names[i]));
    }
    for (const MenuEntry& entry : MenuEntries) {
        QMenu* target = menu(entry.menu);
        if (entry.separatorBefore)
            target->addSeparator();
        auto* action = new QAction(QString::fromUtf8(entry.text), this);
        action->setObjectName(QLatin1String(entry.name));
        const QKeySequence shortcut(QString::fromLatin1(entry.shortcut));
        QString hint = QString::fromUtf8(entry.hint);
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            // The shortcut works wherever the focus is in this window.
            action->setShortcutContext(Qt::WindowShortcut);
            hint += QStringLiteral(" (%1)").arg(shortcut.toString(QKeySequence::NativeText));
        }
        action->setToolTip(hint);
        if (*entry.picture)
            action->setIcon(
                QIcon(QStringLiteral(":/mainwindow/%1.svg").arg(QLatin1String(entry.picture))));
        const auto handler = entry.handler;
        const bool commitFirst = std::find(std::begin(CommitFirst), std::end(CommitFirst),
                                           handler) != std::end(CommitFirst);
        connect(action, &QAction::triggered, this, [this, handler, commitFirst] {
            if (commitFirst && !m_pending->commit())
                return;
            (this->*handler)();
        });
        target->addAction(action);
        addAction(action);
        m_actions << action;
    }
}

QMenu* TForm2::menu(Menu which) const {
    return m_menus[static_cast<int>(which)];
}

QWidget* TForm2::buildButtonBar() {
    auto* bar = whitePanel(QStringLiteral("Panel1"), centralWidget());
    bar->setFixedHeight(51);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    struct Button {
        const char* name;
        const char* action;
    };
    const Button buttons[] = {
        {"AdvSmoothButton2", "actionCapturarDatos"}, {"AdvSmoothButton3", "actionGenerarFactura"},
        {"AdvSmoothButton1", "actionFirmarFactura"}, {"AdvSmoothButton5", "actionValidar"},
        {"AdvSmoothButton6", "actionAcercaDe"},      {"AdvSmoothButton4", "actionSalir"},
    };
    for (const Button& b : buttons) {
        if (qstrcmp(b.name, "AdvSmoothButton6") == 0)
            row->addStretch(1);
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(b.name));
        auto* action = findChild<QAction*>(QLatin1String(b.action));
        Q_ASSERT(action);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(40, 40));
        button->setFixedSize(100, 51);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAccessibleName(action->toolTip());
        row->addWidget(button);
    }
    return bar;
}

// Fields of the record that the window never shows: the administrative
// centres and what the last AutoFirma start used.
QWidget* TForm2::buildHiddenFields() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Panel4"));
    for (RecordField field : {RecordField::ManagingBodyCode, RecordField::AccountingOfficeCode,
                              RecordField::ProcessingUnitCode, RecordField::ManagingBodyName,
                              RecordField::AccountingOfficeName, RecordField::ProcessingUnitName,
                              RecordField::AutoFirmaFolder, RecordField::AutoFirmaProgram,
                              RecordField::AutoFirmaCommand, RecordField::AutoFirmaFormat,
                              RecordField::AutoFirmaParameters}) {
        auto* edit = new QLineEdit(panel);
        edit->setObjectName(controlName(field));
    }
    panel->hide();
    return panel;
}

void TForm2::setUpTabOrder() {
    QList<QWidget*> order = m_issuer->tabOrder();
    order << m_customer->tabOrder() << m_grid
          << static_cast<FileReferencePanel*>(m_fileReference)->tabOrder() << m_payment->tabOrder()
          << m_totals->tabOrder();
    for (QToolButton* button : m_buttonBar->findChildren<QToolButton*>())
        order << button;
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm2::setModalRunner(ModalRunner runner) {
    m_modalRunner = std::move(runner);
}

void TForm2::setUrlOpener(UrlOpener opener) {
    m_urlOpener = std::move(opener);
}

void TForm2::runModal(QDialog& dialog) {
    if (m_modalRunner)
        m_modalRunner(dialog);
    else
        dialog.exec();
}

// The designed size, unless the screen's free area is smaller: then the
// whole window, button bar included, stays on it and the invoice scrolls.
void TForm2::fitToScreen() {
    const QSize designed(978,
                         729 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    QSize size = designed;
    if (const QScreen* screen = this->screen()) {
        // Room for the title bar and the frame, which are not ours to measure
        // before the window is shown.
        const QSize room = screen->availableGeometry().size() - QSize(16, 40);
        size = size.boundedTo(room).expandedTo(minimumSize());
    }
    resize(size);
}

void TForm2::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    DialogKit::centreOnScreen(this);
    FormShow();
}

void TForm2::updateCaption() {
    setWindowTitle(QStringLiteral("Generación de Orvane. ") + GetVersionText() +
                   QStringLiteral("[*]"));
}

void TForm2::FormShow() {
    // Decimal comma and thousands point for the whole run; the boxes and the
    // grid format their numbers themselves, whatever the system says.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    updateCaption();
    {
        const UnsavedChanges::Pause pause(*m_changes);
        runGuarded(this, [&] { m_session.startNew(); });
    }
    rememberLoadedIssuer();
    m_changes->markSaved();
    m_firstStartHint->follow(appDir());
    if (const QString& problem = m_session.settingsProblem(); !problem.isEmpty())
        m_status->report(QStringLiteral("%1: no se modificará; las carpetas y la numeración se "
                                        "recordarán solo hasta cerrar Orvane")
                             .arg(problem));
}

QString TForm2::statusText() const {
    return m_status->text();
}

bool TForm2::hasUnsavedChanges() const {
    return m_changes->isModified();
}

bool TForm2::FormKeyPress(QWidget* target) {
    if (target == m_grid || m_grid->isAncestorOf(target))
        return false;
    // A focused button is pressed, as Space does.
    if (auto* button = qobject_cast<QAbstractButton*>(target);
        button && !qobject_cast<QCheckBox*>(button) && !qobject_cast<QRadioButton*>(button)) {
        if (button->isEnabled())
            button->click();
        return true;
    }
    for (QWidget* next = target->nextInFocusChain(); next && next != target;
         next = next->nextInFocusChain()) {
        if (next->window() == this && (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy() &&
            next->isVisible() && next->isEnabled()) {
            next->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return true;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            // Enter finishes a rate typed into the list, then moves on.
            RateCombo* rate = m_totals->rateList();
            if (widget == rate || rate->isAncestorOf(widget))
                m_pending->takeRate();
            // Only this window's controls; dialogs and menus keep their own Enter.
            if (widget->window() == this && FormKeyPress(widget))
                return true;
        }
        break;
    }
    case QEvent::FocusIn:
        if (watched == m_payment->ibanEdit()) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // Coming back from a message box or a menu is not entering the box.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Edit17Enter();
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == m_customer->administrationBox())
            CheckBox1MouseUp(static_cast<QMouseEvent*>(event)->button());
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Every way out of the window (the exit button, the close box, Alt+F4, the
// system menu) comes here.
void TForm2::closeEvent(QCloseEvent* event) {
    if (m_signing) {
        event->ignore();
        Prompts::instance().inform(
            this, AppTitle, QStringLiteral("Espere a que AutoFirma termine antes de salir."));
        return;
    }
    bool leave = false;
    runGuarded(this, [&] { leave = mayLeaveInvoice(QuitUnsavedQuestion); });
    if (!leave) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// Before the invoice on screen is replaced or closed. What is being typed
// counts as a change; a value that would be refused stops the command only
// when the person wants the invoice kept: a half-typed slip must never make
// quitting impossible.
bool TForm2::mayLeaveInvoice(const QString& question) {
    const bool refused = !m_pending->commitQuietly();
    if (!refused && !m_changes->isModified())
        return true;
    return leaveInvoice(askUnsaved(question));
}

bool TForm2::leaveInvoice(UnsavedAnswer answer) {
    switch (answer) {
    case UnsavedAnswer::Save:
        return m_pending->commit() && keepDraft();
    case UnsavedAnswer::Discard:
        m_pending->drop();
        return true;
    case UnsavedAnswer::Cancel:
        break;
    }
    return false;
}

// The question offers losing the changes (OK) or keeping the invoice on
// screen (Cancel).
TForm2::UnsavedAnswer TForm2::askUnsaved(const QString& question) {
    return Prompts::instance().confirm(this, AppTitle, question) ? UnsavedAnswer::Discard
                                                                 : UnsavedAnswer::Cancel;
}

void TForm2::Edit17Enter() {
    runGuarded(this, [&] { BankAccount::workOutIban(m_record); });
}

void TForm2::ComboBox1CloseUp() {
    m_pending->takeRate();
}

void TForm2::ComboBox1Exit() {
    m_pending->takeRate();
}

void TForm2::administrationTicked(InvoiceRecord&) {
    TFormAdmon window(appDir(), this);
    window.setCentres(m_session.centres());
    runModal(window);
    if (window.Tag() == TFormAdmon::AcceptedTag)
        m_session.setCentres(window.centres());
}

void TForm2::CheckBox1MouseUp(Qt::MouseButton button) {
    if (button == Qt::RightButton)
        editAdministrations();
}

void TForm2::reportImport(const QString& path) {
    const int count = m_record.lines().count();
    const QString where = QDir::toNativeSeparators(path);
    m_status->report(count == 1
                         ? QStringLiteral("Importada 1 línea de %1").arg(where)
                         : QStringLiteral("Importadas %1 líneas de %2").arg(count).arg(where));
}

// Reads an import file or a draft into the window. A file chosen by a person
// is also where the draft is kept and beside which the document goes.
void TForm2::runImport(const std::function<QString()>& import) {
    const bool hadLines = m_record.lines().count() > 0;
    QString path;
    {
        // A refused file changes nothing (it is read whole before anything
        // is applied), so the caption's mark stays as it was.
        const UnsavedChanges::Pause pause(*m_changes);
        path = import();
    }
    if (path.isEmpty()) {
        // Cancelled: only the lines may have gone.
        if (hadLines)
            m_changes->markModified();
        return;
    }
    m_changes->markSaved();
    // A file a person chose is where the draft is kept; the fixed file is not.
    m_draftPath = m_record.nombreFichero().isEmpty() && m_record.rutaDelFichero().isEmpty()
                      ? QString()
                      : path;
    reportImport(path);
}

QString TForm2::chooseImportFile() {
    const QString path = Prompts::instance().openFileAt(
        this, OpenFilters, ImportFilter,
        RememberedFolders::folder(appDir(), RememberedFolders::Kind::Import));
    RememberedFolders::remember(appDir(), RememberedFolders::Kind::Import, path);
    return path;
}

void TForm2::AdvSmoothButton2Click() {
    runGuarded(this, [&] {
        // What is typed in a cell stays in its line; an import replaces the
        // lines only once the whole file has been read.
        if (!mayLeaveInvoice(UnsavedQuestion))
            return;
        runImport([&] {
            QString chosen;
            if (!m_session.importInvoice([&] { return chosen = chooseImportFile(); }))
                return QString();
            return chosen.isEmpty() ? AppFiles::fixedImportFile(appDir()) : chosen;
        });
    });
}

void TForm2::openInvoiceFile() {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion))
            return;
        const QString path = chooseImportFile();
        if (path.isEmpty())
            return;
        m_grid->cancelLine();
        runImport([&] {
            m_session.importChosenFile(path);
            return path;
        });
    });
}

void TForm2::saveDraft() {
    runGuarded(this, [&] { keepDraft(); });
}

bool TForm2::keepDraft() {
    QString path = m_draftPath;
    if (path.isEmpty()) {
        QString proposal = RememberedFolders::folder(appDir(), RememberedFolders::Kind::Save);
        const QString name =
            m_record.text(RecordField::InvoiceSeries) + m_record.text(RecordField::InvoiceNumber);
        if (!name.isEmpty())
            proposal = QDir(proposal.isEmpty() ? QDir::homePath() : proposal)
                           .filePath(name + QStringLiteral(".ini"));
        path = chooseDraftFile(proposal);
        if (path.isEmpty())
            return false;
        RememberedFolders::remember(appDir(), RememberedFolders::Kind::Save, path);
    }
    m_session.saveDraft(path);
    m_draftPath = path;
    m_changes->markSaved();
    m_status->report(QStringLiteral("Borrador guardado en %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

// The draft's save dialog, asked again while the file chosen is one a draft
// must never replace (the program's settings, the import file shown).
QString TForm2::chooseDraftFile(const QString& proposal) {
    for (;;) {
        const QString path =
            Prompts::instance().saveFileAt(this, DraftFilter, QStringLiteral("ini"), proposal);
        const QString problem = path.isEmpty() ? QString() : m_session.draftTargetProblem(path);
        if (problem.isEmpty())
            return path;
        Prompts::instance().warn(this, AppTitle,
                                 problem + QStringLiteral(". Elija otro nombre para el borrador."));
    }
}

void TForm2::newInvoice() {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion))
            return;
        m_grid->cancelLine();
        {
            const UnsavedChanges::Pause pause(*m_changes);
            m_session.startNew();
        }
        rememberLoadedIssuer();
        m_draftPath.clear();
        m_changes->markSaved();
        m_status->report(QStringLiteral("Nueva factura"));
    });
}

void TForm2::Button2Click() {
    runGuarded(this, [&] {
        const InvoiceSession::Generated generated = m_session.generate(
            [&] {
                const QString path = Prompts::instance().saveFileAt(
                    this, SaveFilter, QStringLiteral("XML"),
                    RememberedFolders::folder(appDir(), RememberedFolders::Kind::Save));
                RememberedFolders::remember(appDir(), RememberedFolders::Kind::Save, path);
                return path;
            },
            [&](const QString& why) { Prompts::instance().warn(this, AppTitle, why); },
            [&](const CheckFindings& findings) { return reviewFindings(findings, true); });
        if (generated.status == InvoiceSession::GenerateStatus::MissingBankData) {
            Prompts::instance().warn(this, AppTitle, InvoiceSession::MissingBankDataMessage);
            return;
        }
        if (generated.status != InvoiceSession::GenerateStatus::Written)
            return;
        m_lastDocument = generated.path;
        m_changes->markSaved();
        m_status->report(
            QStringLiteral("Factura guardada en %1").arg(QDir::toNativeSeparators(generated.path)));
        if (generated.signNext)
            signByChosenRoute(generated.path, generated.findings);
    });
}

void TForm2::Button4Click() {
    runGuarded(this, [&] {
        // The document written last is what one usually signs next.
        QString start = m_lastDocument;
        if (start.isEmpty() || !QFileInfo::exists(start))
            start = RememberedFolders::folder(appDir(), RememberedFolders::Kind::Sign);
        const QString path =
            Prompts::instance().openFileAt(this, OpenFilters, UnsignedFilter, start);
        if (path.isEmpty())
            return;
        RememberedFolders::remember(appDir(), RememberedFolders::Kind::Sign, path);
        const bool certificate =
            m_session.signingRoute().method == FirmaSettings::Method::Certificate;
        if (!certificate && !m_session.loadSigningSettings()) {
            if (Prompts::instance().confirm(
                    this, QStringLiteral("Factura Electrónica"),
                    QStringLiteral("¡¡¡ No se ha detectado AutoFirma !!!\n\n"
                                   "¿Desea indicar ahora dónde está AutoFirma "
                                   "(Configuración > Firma)?")))
                editSigningSettings();
            return;
        }
        // Settings are explained first; the document is checked before
        // AutoFirma starts or the password is asked.
        if (!certificate && !autoFirmaSettingsUsable())
            return;
        const CheckFindings findings = checkDocumentFile(path);
        if (!reviewFindings(findings, false))
            return;
        if (certificate)
            signWithCertificate(path, findings);
        else
            launchAutoFirma(path, findings);
    });
}

// A chosen document's check runs beside the window, as the invoice's does.
CheckFindings TForm2::checkDocumentFile(const QString& path) {
    CheckFindings findings;
    BackgroundWork::run(this, QStringLiteral("Comprobando la factura…"),
                        [&] { findings = InvoiceSession::checkDocumentFile(path); });
    return findings;
}

bool TForm2::reviewFindings(const CheckFindings& findings, bool whileSaving) {
    const QString list = FindingsText::list(findings);
    if (list.isEmpty())
        return true;
    if (!hasErrors(findings)) {
        Prompts::instance().warn(
            this, AppTitle,
            QStringLiteral("Avisos de la comprobación de la factura:\n\n%1").arg(list));
        return true;
    }
    if (!whileSaving) {
        Prompts::instance().warn(
            this, AppTitle,
            QStringLiteral("La factura tiene errores y no se firmará:\n\n%1").arg(list));
        return false;
    }
    return Prompts::instance().confirm(
        this, AppTitle,
        QStringLiteral("La factura tiene errores:\n\n%1\n\n¿Guardarla de todos modos? No se "
                       "firmará mientras tenga errores.")
            .arg(list));
}

// After "Generar Factura": the session has said that signing comes next.
void TForm2::signByChosenRoute(const QString& path, const CheckFindings& findings) {
    if (m_session.signingRoute().method == FirmaSettings::Method::Certificate)
        signWithCertificate(path, findings);
    else if (autoFirmaSettingsUsable())
        launchAutoFirma(path, findings);
}

void TForm2::signWithCertificate(const QString& path, const CheckFindings& findings) {
    const QString output = SignatureFlow::signWithCertificate(this, m_session, path, findings);
    if (!output.isEmpty())
        m_status->report(
            QStringLiteral("Factura firmada: %1").arg(QDir::toNativeSeparators(output)));
}

// The check "Generar Factura" runs, at any moment: what the hub would refuse,
// each finding led by the field on screen.
void TForm2::checkInvoice() {
    runGuarded(this, [&] {
        const CheckFindings findings = m_session.checkInvoice();
        const QString list = FindingsText::list(findings);
        if (list.isEmpty()) {
            m_status->report(QStringLiteral("Factura comprobada: sin errores ni avisos"));
            Prompts::instance().inform(this, AppTitle,
                                       QStringLiteral("La factura no tiene errores ni avisos."));
            return;
        }
        const bool errors = hasErrors(findings);
        m_status->report(errors ? QStringLiteral("Factura comprobada: tiene errores")
                                : QStringLiteral("Factura comprobada: tiene avisos"));
        Prompts::instance().warn(this, AppTitle,
                                 (errors ? QStringLiteral("La factura tiene errores:\n\n%1")
                                         : QStringLiteral("Avisos de la comprobación de la "
                                                          "factura:\n\n%1"))
                                     .arg(list));
    });
}

void TForm2::ComprobarFirmaClick() {
    runGuarded(this, [&] { SignatureFlow::checkSignature(this, m_session); });
}

// AutoFirma runs on its own; the window keeps answering and shows that it
// waits. Only one signing at a time: the actions are off until it ends.
// Settings the window does not offer are explained, with the way to change
// them; false then.
bool TForm2::autoFirmaSettingsUsable() {
    const QString problem = m_session.signingSettingsProblem();
    if (problem.isEmpty())
        return true;
    if (Prompts::instance().confirm(
            this, AppTitle,
            withFullStop(problem) +
                QStringLiteral("\n\n¿Quieres abrir la configuración de AutoFirma?")))
        editSigningSettings();
    return false;
}

void TForm2::launchAutoFirma(const QString& path, const CheckFindings& findings) {
    const InvoiceSession::SigningJob job = m_session.prepareSigning(path, &findings);
    const QString error = m_signer->start(job.folder, job.program, job.arguments);
    if (!error.isEmpty()) {
        m_status->report(QStringLiteral("No se ha podido iniciar AutoFirma"));
        Prompts::instance().plain(this, AppTitle, error);
        return;
    }
    m_signedOutput = job.output;
    setSigning(true);
    m_status->setBusy(true, QStringLiteral("Firmando… %1 (AutoFirma está abierto)")
                                .arg(QDir::toNativeSeparators(path)));
}

void TForm2::setSigning(bool on) {
    m_signing = on;
    for (QAction* action : std::as_const(m_actions))
        action->setEnabled(!on);
    if (on)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TForm2::signingEnded() {
    if (!m_signing)
        return;
    setSigning(false);
    m_status->setBusy(false);
    // AutoFirma says nothing back: the signed file is the only sign of success.
    if (QFileInfo::exists(m_signedOutput))
        m_status->report(QStringLiteral("Factura firmada: %1").arg(m_signedOutput));
    else
        m_status->report(
            QStringLiteral("AutoFirma ha terminado sin crear %1: la factura no se ha firmado")
                .arg(m_signedOutput));
}

void TForm2::VALIDARClick() {
    runGuarded(this, [&] {
        const QString address = QString::fromLatin1(ValidationPageUrl);
        const QUrl url(address);
        const bool opened = m_urlOpener ? m_urlOpener(url) : QDesktopServices::openUrl(url);
        // A browser may take the address and show nothing, so it is always
        // shown to be copied as well.
        m_status->report(QStringLiteral("Página de validación: %1").arg(address));
        Prompts::instance().inform(
            this, AppTitle,
            opened ? QStringLiteral("Se ha pedido al navegador que abra la página de validación. "
                                    "Si no aparece, copie esta dirección en su navegador:\n\n%1")
                         .arg(address)
                   : QStringLiteral("No se ha podido abrir el navegador. Copie esta dirección en "
                                    "su navegador:\n\n%1")
                         .arg(address));
    });
}

void TForm2::Button5Click() {
    // The about window leads to the issuer's settings too.
    whileIssuerMayChange([&] {
        TFormAcercaDe about(appDir(), this);
        runModal(about);
    });
}

void TForm2::DeclaracionResponsableClick() {
    runGuarded(this, [&] {
        DeclarationDialog dialog(appDir(), this);
        runModal(dialog);
    });
}

void TForm2::editIssuerSettings() {
    whileIssuerMayChange([&] {
        TFormRegistro window(appDir(), this);
        runModal(window);
    });
}

void TForm2::editAdministrations() {
    runGuarded(this, [&] {
        // The catalogue only: nothing comes back into the invoice.
        TFormAdmon window(appDir(), this);
        window.setCentres(m_session.centres());
        runModal(window);
    });
}

void TForm2::editSigningSettings() {
    runGuarded(this, [&] {
        TFormAutoFirma window(appDir(), this);
        runModal(window);
    });
}

namespace {

QStringList issuerBoxes(const InvoiceRecord& r) {
    QStringList boxes{personTypeLetter(r.personType(Party::Issuer))};
    for (RecordField field :
         {RecordField::IssuerCorporateName, RecordField::IssuerFirstName,
          RecordField::IssuerFirstSurname, RecordField::IssuerSecondSurname,
          RecordField::IssuerAddress, RecordField::IssuerPostCode, RecordField::IssuerTown,
          RecordField::IssuerProvince, RecordField::IssuerTaxId, RecordField::IssuerContact,
          RecordField::IssuerEmail, RecordField::BankEntity, RecordField::BankOffice,
          RecordField::BankControlDigits, RecordField::BankAccountNumber, RecordField::Iban})
        boxes << r.text(field);
    return boxes;
}

bool sameIssuer(const IssuerSettings& a, const IssuerSettings& b) {
    return a.entity == b.entity && a.office == b.office && a.control == b.control &&
           a.account == b.account && a.iban == b.iban && a.persona == b.persona &&
           a.name == b.name && a.surname1 == b.surname1 && a.surname2 == b.surname2 &&
           a.address == b.address && a.postCode == b.postCode && a.town == b.town &&
           a.province == b.province && a.taxId == b.taxId && a.contact == b.contact &&
           a.email == b.email;
}

} // namespace

void TForm2::rememberLoadedIssuer() {
    m_loadedIssuer = issuerBoxes(m_record);
}

// Runs a window that may change the stored issuer data. What it stores
// reaches the invoice at once when its issuer still shows what Registro.Ini
// gave it; an issuer changed by hand is replaced only when the person says so.
void TForm2::whileIssuerMayChange(const std::function<void()>& runWindow) {
    runGuarded(this, [&] {
        const auto stored = [this] {
            return IssuerSettings::read(IniFile(AppFiles::registroIni(appDir())));
        };
        const IssuerSettings before = stored();
        runWindow();
        m_firstStartHint->follow(appDir());
        if (sameIssuer(before, stored()))
            return;
        if (issuerBoxes(m_record) != m_loadedIssuer &&
            !Prompts::instance().confirm(
                this, AppTitle,
                QStringLiteral("Los datos del emisor o la cuenta de esta factura no son los de "
                               "«Mis datos» (vienen de un fichero o se han cambiado a mano). "
                               "¿Desea sustituirlos por los datos guardados en «Mis datos»?")))
            return;
        RegistroIni::loadIssuerAtStart(m_record, appDir());
        rememberLoadedIssuer();
        m_status->report(QStringLiteral("Datos del emisor actualizados"));
    });
}

void TForm2::VerImprimirClick() {
    runGuarded(this, [&] { showCopy(m_session.currentDocument(), QString()); });
}

void TForm2::AbrirFacturaXmlClick() {
    runGuarded(this, [&] {
        const QString path = Prompts::instance().openFile(this, FacturaeFilters, QString());
        if (path.isEmpty())
            return;
        showCopy(FacturaeReader::fileBytes(path), path);
    });
}

void TForm2::LibroFacturasClick() {
    runGuarded(this, [&] {
        BookWindow window(m_session, this);
        runModal(window);
    });
}

// Reads the document first, so a file that is no Facturae document gives its
// message and no window; then shows its pages.
void TForm2::showCopy(const QByteArray& document, const QString& source) {
    FacturaeDocument::Document parsed;
    {
        const BusyCursor busy;
        try {
            parsed = FacturaeReader::read(document);
        } catch (const AppError& e) {
            throw source.isEmpty() ? e : FacturaeReader::namedError(source, e);
        }
    }
    InvoicePreview preview(m_session, document, std::move(parsed), source, this);
    runModal(preview);
}

void TForm2::AdvSmoothButton4Click() {
    // With unsaved changes (or a value being typed that would be refused),
    // closing asks whether to lose them: one question is enough.
    if (m_pending->commitQuietly() && !m_changes->isModified() &&
        !Prompts::instance().confirm(this, AppTitle,
                                     QStringLiteral("¿Desea Abandonar la Aplicación?")))
        return;
    close();
}
