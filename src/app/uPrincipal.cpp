#include "app/uPrincipal.h"

#include "app/AutoFirmaSigning.h"
#include "app/ControlNames.h"
#include "app/CustomerCompleter.h"
#include "app/FileReferencePanel.h"
#include "app/FirstStartHint.h"
#include "app/IssueFlow.h"
#include "app/IssuerWatch.h"
#include "app/LinesGrid.h"
#include "app/MainMenus.h"
#include "app/MainStatusBar.h"
#include "app/PartyPanel.h"
#include "app/PaymentPanel.h"
#include "app/PendingEdit.h"
#include "app/RecordBinding.h"
#include "app/RecordRun.h"
#include "app/TaxIdMark.h"
#include "app/TotalsPanel.h"
#include "common/AppVersion.h"
#include "invoice/BankAccount.h"
#include "invoice/UnsavedChanges.h"
#include "ledger/RecordObligation.h"
#include "widgets/BackgroundWork.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"
#include "widgets/WheelGuard.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
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
#include <QVBoxLayout>

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

// The window's own limits: a 1024 x 600 screen with a title bar holds it.
constexpr int MinimumWidth = 1000;
constexpr int MinimumHeight = 540;

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

    auto* central = InvoiceArea::whitePanel(QStringLiteral("ClientArea"), this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_firstStartHint = new FirstStartHint(central);
    column->addWidget(m_firstStartHint);

    // The invoice scrolls when the screen is too small for it; the button
    // bar below it stays in view.
    m_area = InvoiceArea::build(m_record);
    m_scroll = new QScrollArea(central);
    m_scroll->setObjectName(QStringLiteral("InvoiceScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_area.widget);
    column->addWidget(m_scroll, 1);

    connectSession();
    m_actions = MainMenus::build(*this, m_menus, [this] { return m_pending->commit(); });
    m_buttonBar = MainMenus::buildButtonBar(central, *this);
    column->addWidget(m_buttonBar);
    m_status = new MainStatusBar(this);
    setStatusBar(m_status);
    m_autoFirma =
        new AutoFirmaSigning(this, m_session, *m_status, [this] { editSigningSettings(); });
    connect(m_autoFirma, &AutoFirmaSigning::signingChanged, this, [this](bool on) {
        for (QAction* action : std::as_const(m_actions))
            action->setEnabled(!on);
    });
    m_recordRun = new RecordRun(m_session, this, m_status);
    for (RecordField field : {RecordField::IssuerTaxId, RecordField::CustomerTaxId})
        TaxIdMark::attach(findChild<QLineEdit*>(controlName(field)));

    connectParties();
    connectAccount();
    connectRate();
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

// The session's long work, the record's bindings and the customers offered
// as the tax id is typed.
void TForm2::connectSession() {
    // A long invoice's check runs beside the window.
    m_session.setLongWork([this](const QString& label, const std::function<void()>& work) {
        BackgroundWork::run(this, label, work);
    });
    m_binding = new RecordBinding(m_record, this);
    m_binding->showAll();
    m_changes = new UnsavedChanges(m_record, this);
    connect(m_changes, &UnsavedChanges::modifiedChanged, this, &QWidget::setWindowModified);
    m_issuerWatch = std::make_unique<IssuerWatch>(m_record, appDir());

    m_customers = new CustomerCompleter(m_record, appDir(), this);
    m_customers->attach(m_area.customer->edit(PartyField::TaxId), true);
    for (PartyField name : {PartyField::CorporateName, PartyField::FirstName})
        m_customers->attach(m_area.customer->edit(name), false);

    m_issueFlow = std::make_unique<IssueFlow>(this);
    m_session.issuing().replace = [this](const BookEntry& held) {
        return m_issueFlow->mayReplace(held);
    };
    m_session.setRenderer(&m_pdfRenderer);
}

void TForm2::connectParties() {
    connect(m_area.issuer->editButton(), &QPushButton::clicked, this, &TForm2::editIssuerSettings);

    // Person type: the buttons ask the record, the record lays the block out.
    for (PartyPanel* panel : {m_area.issuer, m_area.customer}) {
        connect(panel, &PartyPanel::personTypeChosen, this, [this, panel](PersonType type) {
            runGuarded(this, [&] { m_record.selectPersonType(panel->party(), type); });
            panel->showLayout(m_record);
        });
    }
    auto relayout = [this](Party party) {
        (party == Party::Issuer ? m_area.issuer : m_area.customer)->showLayout(m_record);
    };
    connect(&m_record, &InvoiceRecord::personTypeChanged, this, relayout);
    connect(&m_record, &InvoiceRecord::layoutChanged, this, relayout);

    // "Admón. del estado.": ticked by hand, the centres are asked for (the
    // box follows the record without signalling).
    QCheckBox* administration = m_area.customer->administrationBox();
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
}

// The IBAN follows the four account boxes: while they are typed, and on
// leaving one, when missing control digits are filled in as well.
void TForm2::connectAccount() {
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
}

void TForm2::connectRate() {
    RateCombo* rate = m_area.totals->rateList();
    m_pending = std::make_unique<PendingEdit>(m_record, *m_area.grid, *rate, *this);
    connect(rate, &RateCombo::closedUp, this, &TForm2::ComboBox1CloseUp);
    connect(rate, &RateCombo::left, this, &TForm2::ComboBox1Exit);
    // Another rate picked with the keys or the wheel counts at once.
    connect(rate, &QComboBox::currentIndexChanged, this, [this] { m_pending->takeRate(); });
}

QMenu* TForm2::menu(Menu which) const {
    return m_menus[static_cast<int>(which)];
}

void TForm2::setUpTabOrder() {
    QList<QWidget*> order = m_area.tabOrder();
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
    m_issuerWatch->remember();
    m_changes->markSaved();
    m_firstStartHint->follow(appDir());
    updateRecordNotice();
    if (const QString& problem = m_session.settingsProblem(); !problem.isEmpty())
        m_status->report(QStringLiteral("%1: no se modificará; las carpetas y la numeración se "
                                        "recordarán solo hasta cerrar Orvane")
                             .arg(problem));
    m_recordRun->start();
}

QString TForm2::statusText() const {
    return m_status->text();
}

QString TForm2::recordNotice() const {
    return m_status->notice();
}

bool TForm2::isSigning() const {
    return m_autoFirma->isSigning();
}

bool TForm2::hasUnsavedChanges() const {
    return m_changes->isModified();
}

bool TForm2::FormKeyPress(QWidget* target) {
    if (target == m_area.grid || m_area.grid->isAncestorOf(target))
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
            RateCombo* rate = m_area.totals->rateList();
            if (widget == rate || rate->isAncestorOf(widget))
                m_pending->takeRate();
            // Only this window's controls; dialogs and menus keep their own Enter.
            if (widget->window() == this && FormKeyPress(widget))
                return true;
        }
        break;
    }
    case QEvent::FocusIn:
        if (watched == m_area.payment->ibanEdit()) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // Coming back from a message box or a menu is not entering the box.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Edit17Enter();
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == m_area.customer->administrationBox())
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
    if (isSigning()) {
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
    m_recordRun->quit();
    QMainWindow::closeEvent(event);
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

void TForm2::setToday(Today today) {
    m_today = std::move(today);
    updateRecordNotice();
}

void TForm2::updateRecordNotice() {
    m_status->setNotice(RecordObligation::notice(appDir(), m_today()));
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
