#include "app/uPrincipal.h"

#include "app/BookWindow.h"
#include "app/ControlNames.h"
#include "app/CustomerCompleter.h"
#include "app/DeclarationDialog.h"
#include "app/FileDialogs.h"
#include "app/FileReferencePanel.h"
#include "app/FindingsText.h"
#include "app/FirstStartHint.h"
#include "app/InvoicePreview.h"
#include "app/IssueFlow.h"
#include "app/LineCountTitle.h"
#include "app/LinesGrid.h"
#include "app/MainStatusBar.h"
#include "app/PartyPanel.h"
#include "app/PaymentPanel.h"
#include "app/PendingEdit.h"
#include "app/RecordBinding.h"
#include "app/RecordChainWindow.h"
#include "app/RecordSettingsDialog.h"
#include "app/SignatureFlow.h"
#include "app/TaxIdMark.h"
#include "app/TotalsPanel.h"
#include "app/UnsavedQuestion.h"
#include "app/uAcercaDe.h"
#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "app/uRegistro.h"
#include "common/AppVersion.h"
#include "common/BoundedFile.h"
#include "invoice/BankAccount.h"
#include "invoice/UnsavedChanges.h"
#include "ledger/RecordObligation.h"
#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"
#include "session/InvoiceCorrection.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "settings/RegistroIni.h"
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

// The menu bar and its shortcuts. A command with a picture also has a button
// in the bar, with a short caption under the picture; its tooltip is the
// menu's text and shortcut. Adding a command is one line here and a handler.
struct MenuEntry {
    TForm2::Menu menu;
    const char* name;
    const char* text;     // with its accelerator
    const char* shortcut; // portable text, "" for none
    const char* picture;  // button picture, "" for no button
    const char* button;   // caption under the picture
    void (TForm2::*handler)();
    bool separatorBefore = false;
};

using M = TForm2::Menu;
const MenuEntry MenuEntries[] = {
    {M::Archivo, "actionNuevaFactura", "&Nueva factura", "Ctrl+N", "", "", &TForm2::newInvoice},
    {M::Archivo, "actionAbrir", "&Abrir…", "Ctrl+O", "", "", &TForm2::openInvoiceFile},
    {M::Archivo, "actionCapturarDatos", "&Capturar datos", "Ctrl+I", "import", "Capturar",
     &TForm2::AdvSmoothButton2Click},
    {M::Archivo, "actionGuardarBorrador", "&Guardar borrador", "Ctrl+S", "", "", &TForm2::saveDraft,
     true},
    {M::Archivo, "actionGenerarFactura", "G&enerar factura", "Ctrl+G", "document", "Generar",
     &TForm2::Button2Click},
    {M::Archivo, "actionSalir", "&Salir", "Ctrl+Q", "exit", "Salir", &TForm2::AdvSmoothButton4Click,
     true},
    {M::Factura, "actionComprobarFactura", "C&omprobar factura", "Ctrl+K", "check", "Comprobar",
     &TForm2::checkInvoice},
    {M::Factura, "actionFirmarFactura", "&Firmar factura", "Ctrl+F", "sign", "Firmar",
     &TForm2::Button4Click},
    {M::Factura, "actionComprobarFirma", "&Comprobar firma…", "Ctrl+Shift+F", "", "",
     &TForm2::ComprobarFirmaClick},
    {M::Factura, "actionValidar", "&Validar", "Ctrl+L", "validate", "Validar",
     &TForm2::VALIDARClick},
    {M::Factura, "VerImprimir", "Ver / &Imprimir", "Ctrl+P", "print", "Ver / Imprimir",
     &TForm2::VerImprimirClick, true},
    {M::Factura, "AbrirFacturaXml", "Abrir factura &XML…", "Ctrl+Shift+P", "", "",
     &TForm2::AbrirFacturaXmlClick},
    {M::Factura, "actionLibroFacturas", "&Libro de facturas", "Ctrl+B", "", "",
     &TForm2::LibroFacturasClick, true},
    {M::Configuracion, "actionMisDatos", "&Mis datos", "", "", "", &TForm2::editIssuerSettings},
    {M::Configuracion, "actionAdministraciones", "&Administraciones", "", "", "",
     &TForm2::editAdministrations},
    {M::Configuracion, "actionFirma", "&Firma", "", "", "", &TForm2::editSigningSettings},
    {M::Configuracion, "actionRegistroFacturacion", "&Registro de facturación", "", "", "",
     &TForm2::editRecordSettings},
    {M::Ayuda, "actionAcercaDe", "&Acerca de", "F1", "contact", "Acerca de", &TForm2::Button5Click},
    {M::Ayuda, "actionDeclaracionResponsable", "&Declaración responsable", "", "", "",
     &TForm2::DeclaracionResponsableClick},
    {M::Ayuda, "actionEstadoRegistros", "&Registro de facturación", "Ctrl+Shift+R", "", "",
     &TForm2::RegistroFacturacionClick},
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

const QString TForm2::ImportFilter = QStringLiteral("Ficheros de importación (*.ini)");
const QString TForm2::UnsignedFilter = QStringLiteral("Facturas electrónicas sin firmar (*.xml)");
const QString TForm2::OpenFilters = TForm2::ImportFilter + QStringLiteral(";;") +
                                    TForm2::UnsignedFilter +
                                    QStringLiteral(";;Todos los archivos (*.*)");
const QString TForm2::SaveFilter = QStringLiteral("Facturas electrónicas sin firmar (*.XML)");
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

    m_customers = new CustomerCompleter(m_record, appDir, this);
    m_customers->attach(m_customer->edit(PartyField::TaxId), true);
    for (PartyField name : {PartyField::CorporateName, PartyField::FirstName})
        m_customers->attach(m_customer->edit(name), false);

    m_issueFlow = std::make_unique<IssueFlow>(this);
    m_session.issuing().replace = [this](const BookEntry& held) {
        return m_issueFlow->mayReplace(held);
    };

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

    // "Admón. del estado.": ticked by hand, the centres are asked for (the
    // box follows the record without signalling).
    QCheckBox* administration = m_customer->administrationBox();
    connect(administration, &QCheckBox::toggled, this, [this](bool on) {
        runGuarded(this, [&] {
            m_record.setAdministration(on);
            if (on && !m_record.importando())
                askForCentres();
        });
    });
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
        QString hint = action->text().remove(u'&');
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            // The shortcut works wherever the focus is in this window.
            action->setShortcutContext(Qt::WindowShortcut);
            hint += QStringLiteral(" (%1)").arg(shortcut.toString(QKeySequence::NativeText));
        }
        action->setToolTip(hint);
        if (*entry.picture) {
            action->setIcon(
                QIcon(QStringLiteral(":/mainwindow/%1.svg").arg(QLatin1String(entry.picture))));
            action->setIconText(QString::fromUtf8(entry.button));
        }
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
    bar->setFixedHeight(60);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    struct Button {
        const char* name;
        const char* action;
        int spaceBefore; // 0, or a gap; -1 for all the spare width
    };
    // The invoice's four steps where they always were, then the two that look at it.
    const Button buttons[] = {
        {"AdvSmoothButton2", "actionCapturarDatos", 0},
        {"AdvSmoothButton3", "actionGenerarFactura", 0},
        {"AdvSmoothButton1", "actionFirmarFactura", 0},
        {"AdvSmoothButton5", "actionValidar", 0},
        {"ComprobarButton", "actionComprobarFactura", 24},
        {"VerImprimirButton", "VerImprimir", 0},
        {"AdvSmoothButton6", "actionAcercaDe", -1},
        {"AdvSmoothButton4", "actionSalir", 0},
    };
    for (const Button& b : buttons) {
        if (b.spaceBefore < 0)
            row->addStretch(1);
        else if (b.spaceBefore > 0)
            row->addSpacing(b.spaceBefore);
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(b.name));
        auto* action = findChild<QAction*>(QLatin1String(b.action));
        Q_ASSERT(action);
        button->setDefaultAction(action);
        // A caption under each picture: no one has to guess what a picture does.
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(32, 32));
        button->setFixedSize(100, 58);
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
    updateRecordNotice();
    if (const QString& problem = m_session.settingsProblem(); !problem.isEmpty())
        m_status->report(QStringLiteral("%1: no se modificará; las carpetas y la numeración se "
                                        "recordarán solo hasta cerrar Orvane")
                             .arg(problem));
}

QString TForm2::statusText() const {
    return m_status->text();
}

QString TForm2::recordNotice() const {
    return m_status->notice();
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
    runGuarded(this, [&] { leave = mayLeaveInvoice(UnsavedQuestion::Next::Quit); });
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
bool TForm2::mayLeaveInvoice(UnsavedQuestion::Next next) {
    const bool refused = !m_pending->commitQuietly();
    if (!refused && !m_changes->isModified())
        return true;
    return leaveInvoice(askUnsaved(next));
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

// Guardar / Descartar / Cancelar.
TForm2::UnsavedAnswer TForm2::askUnsaved(UnsavedQuestion::Next next) {
    switch (UnsavedQuestion::ask(this, next)) {
    case Prompts::SaveChoice::Save:
        return UnsavedAnswer::Save;
    case Prompts::SaveChoice::Discard:
        return UnsavedAnswer::Discard;
    case Prompts::SaveChoice::Cancel:
        break;
    }
    return UnsavedAnswer::Cancel;
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

void TForm2::askForCentres() {
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
    return FileDialogs::open(this, appDir(), FileDialogs::Kind::Import, OpenFilters, ImportFilter);
}

QString TForm2::proposedName(const QString& extension) const {
    return FileDialogs::invoiceFileName(m_record.text(RecordField::InvoiceSeries),
                                        m_record.text(RecordField::InvoiceNumber), extension);
}

void TForm2::AdvSmoothButton2Click() {
    runGuarded(this, [&] {
        // What is typed in a cell stays in its line; an import replaces the
        // lines only once the whole file has been read.
        if (!mayLeaveInvoice(UnsavedQuestion::Next::Import))
            return;
        runImport([&] {
            QString chosen;
            if (!m_session.importInvoice([&] { return chosen = chooseImportFile(); }))
                return QString();
            if (m_session.importAsksForCentres())
                askForCentres();
            return chosen.isEmpty() ? AppFiles::fixedImportFile(appDir()) : chosen;
        });
    });
}

void TForm2::openInvoiceFile() {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion::Next::OpenFile))
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
        // A draft is an import file: Abrir starts where it was kept. Never the
        // program's settings nor the import file shown.
        path = FileDialogs::save(
            this, appDir(), FileDialogs::Kind::Import, DraftFilter, QStringLiteral("ini"),
            proposedName(QStringLiteral("ini")), FileDialogs::Existing::Ask,
            [this](const QString& chosen) {
                const QString problem = m_session.draftTargetProblem(chosen);
                return problem.isEmpty()
                           ? problem
                           : problem + QStringLiteral(". Elija otro nombre para el borrador.");
            });
        if (path.isEmpty())
            return false;
    }
    m_session.saveDraft(path);
    m_draftPath = path;
    m_changes->markSaved();
    m_status->report(QStringLiteral("Borrador guardado en %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void TForm2::newInvoice() {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion::Next::NewInvoice))
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
                return FileDialogs::save(this, appDir(), FileDialogs::Kind::Save, SaveFilter,
                                         QStringLiteral("XML"), proposedName(QStringLiteral("XML")),
                                         FileDialogs::Existing::CallerAsks);
            },
            [&](const QString& why) { Prompts::instance().warn(this, AppTitle, why); },
            [&](const CheckFindings& findings) { return reviewFindings(findings, true); },
            [&](const QString& document, const QString& signedCopy) {
                return mayReplaceDocument(document, signedCopy);
            });
        if (generated.status == InvoiceSession::GenerateStatus::MissingBankData) {
            Prompts::instance().warn(this, AppTitle, InvoiceSession::MissingBankDataMessage);
            return;
        }
        if (generated.status == InvoiceSession::GenerateStatus::KeptInBook) {
            m_changes->markSaved();
            m_status->report(QStringLiteral("Factura %1 emitida en el libro; su documento no se "
                                            "ha guardado")
                                 .arg(generated.kept->seriesNumber));
        }
        m_issueFlow->tell(m_session, generated);
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
        const QString path = FileDialogs::open(this, appDir(), FileDialogs::Kind::Sign, OpenFilters,
                                               UnsignedFilter, m_lastDocument);
        if (path.isEmpty())
            return;
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
            signWithCertificate(path);
        else
            launchAutoFirma(path, findings);
    });
}

// An earlier document is named before it is replaced; a signed copy of it
// stays as it is, and the person is told it no longer matches.
bool TForm2::mayReplaceDocument(const QString& document, const QString& signedCopy) {
    QString text = QStringLiteral("Ya existe la factura %1.\n\n¿Desea sustituirla por la "
                                  "factura de la pantalla?")
                       .arg(QDir::toNativeSeparators(document));
    if (!signedCopy.isEmpty())
        text += QStringLiteral("\n\nLa factura firmada %1 es de la factura anterior: no se cambia "
                               "ni se borra, y no corresponderá a la nueva hasta que la firme.")
                    .arg(QDir::toNativeSeparators(signedCopy));
    return Prompts::instance().confirm(this, AppTitle, text);
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
    const QString details = FindingsText::details(findings);
    if (!hasErrors(findings)) {
        Prompts::instance().warnWithDetails(
            this, AppTitle,
            QStringLiteral("Avisos de la comprobación de la factura:\n\n%1").arg(list), details);
        return true;
    }
    if (!whileSaving) {
        Prompts::instance().warnWithDetails(
            this, AppTitle,
            QStringLiteral("La factura tiene errores y no se firmará:\n\n%1").arg(list), details);
        return false;
    }
    return Prompts::instance().confirmWithDetails(
        this, AppTitle,
        QStringLiteral("La factura tiene errores:\n\n%1\n\n¿Guardarla de todos modos? No se "
                       "firmará mientras tenga errores.")
            .arg(list),
        details);
}

// After "Generar Factura": the session has said that signing comes next.
void TForm2::signByChosenRoute(const QString& path, const CheckFindings& findings) {
    if (m_session.signingRoute().method == FirmaSettings::Method::Certificate)
        signWithCertificate(path);
    else if (autoFirmaSettingsUsable())
        launchAutoFirma(path, findings);
}

void TForm2::signWithCertificate(const QString& path) {
    QString output;
    try {
        output = SignatureFlow::signWithCertificate(this, m_session, path);
    } catch (const AppError& e) {
        m_status->report(QStringLiteral("La factura no se ha firmado: %1").arg(e.message()));
        throw;
    }
    m_status->report(
        output.isEmpty()
            ? QStringLiteral("Firma cancelada: la factura no se ha firmado")
            : QStringLiteral("Factura firmada: %1").arg(QDir::toNativeSeparators(output)));
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
        Prompts::instance().warnWithDetails(
            this, AppTitle,
            (errors ? QStringLiteral("La factura tiene errores:\n\n%1")
                    : QStringLiteral("Avisos de la comprobación de la factura:\n\n%1"))
                .arg(list),
            FindingsText::details(findings));
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
                QStringLiteral("\n\n¿Desea abrir la configuración de AutoFirma?")))
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
    m_signingInput = path;
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
    if (QFileInfo::exists(m_signedOutput)) {
        m_status->report(QStringLiteral("Factura firmada: %1").arg(m_signedOutput));
        if (const QString warning = m_session.keepSignedCopy(m_signingInput, m_signedOutput);
            !warning.isEmpty())
            Prompts::instance().warn(this, AppTitle, withFullStop(warning));
    } else
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
        m_session.loadTreatmentSettings();
    });
    // The issuer's kind sets the date of the law.
    updateRecordNotice();
}

void TForm2::editRecordSettings() {
    runGuarded(this, [&] {
        RecordSettingsDialog window(appDir(), this);
        runModal(window);
    });
    updateRecordNotice();
}

void TForm2::RegistroFacturacionClick() {
    runGuarded(this, [&] {
        RecordChainWindow window(m_session, this);
        runModal(window);
    });
}

void TForm2::setToday(Today today) {
    m_today = std::move(today);
    updateRecordNotice();
}

void TForm2::updateRecordNotice() {
    m_status->setNotice(RecordObligation::notice(appDir(), m_today()));
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
        const QString path = FileDialogs::open(this, appDir(), FileDialogs::Kind::ViewDocument,
                                               FacturaeFilters, QString());
        if (path.isEmpty())
            return;
        showCopy(BoundedFile::readDocument(path), path);
    });
}

void TForm2::LibroFacturasClick() {
    runGuarded(this, [&] {
        BookWindow window(m_session, this);
        window.setOpenAsNew([this](const BookEntry&, const QString& value) { openAsNew(value); });
        window.setRectify([this](const BookEntry&, const QString& value, const Correction& c) {
            openAsNew(value, c);
        });
        runModal(window);
    });
}

void TForm2::openAsNew(const QString& value, const std::optional<Correction>& correction) {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion::Next::NewInvoice))
            return;
        m_grid->cancelLine();
        {
            const UnsavedChanges::Pause pause(*m_changes);
            if (correction)
                InvoiceCorrection::prepare(m_session, value, *correction);
            else
                m_session.openAsNew(value);
        }
        m_draftPath.clear();
        m_changes->markSaved();
        m_status->report((correction
                              ? QStringLiteral("Factura rectificativa %1-%2 de la %3: revísela y "
                                               "genérela")
                                    .arg(m_record.text(RecordField::InvoiceSeries),
                                         m_record.text(RecordField::InvoiceNumber),
                                         correction->correctedSeriesNumber())
                              : QStringLiteral("Factura nueva %1 a partir del libro")
                                    .arg(m_record.text(RecordField::InvoiceNumber))));
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
    InvoicePreview preview(m_session, document, std::move(parsed), source, pdfProposal(source),
                           this);
    connect(&preview, &InvoicePreview::pdfSaved, this, [this](const QString& path) {
        m_status->report(
            QStringLiteral("Copia PDF guardada en %1").arg(QDir::toNativeSeparators(path)));
    });
    runModal(preview);
}

// The copy goes beside its document: the file shown, or where the invoice's
// document is written beside its import file; otherwise it is named after
// the invoice, where copies or documents were saved last.
QString TForm2::pdfProposal(const QString& source) const {
    const QString document = source.isEmpty() ? m_session.saveTargetBesideImport() : source;
    if (!document.isEmpty())
        return InvoicePdf::defaultOutputPath(document);
    const QString name = proposedName(QStringLiteral("pdf"));
    const QString documents = RememberedFolders::folder(appDir(), FileDialogs::Kind::Save);
    if (RememberedFolders::folder(appDir(), FileDialogs::Kind::Pdf).isEmpty() &&
        !documents.isEmpty())
        return QDir(documents).filePath(name);
    return name;
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
