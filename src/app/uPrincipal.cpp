#include "app/uPrincipal.h"

#include "app/ControlNames.h"
#include "app/FileReferencePanel.h"
#include "app/InvoicePreview.h"
#include "app/LinesGrid.h"
#include "app/PartyPanel.h"
#include "app/PaymentPanel.h"
#include "app/RecordBinding.h"
#include "app/TotalsPanel.h"
#include "app/uAcercaDe.h"
#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "common/AppVersion.h"
#include "invoice/AmountLimits.h"
#include "invoice/BankAccount.h"
#include "pdf/FacturaeReader.h"
#include "signing/ValidationPage.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
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

const QString AppTitle = QStringLiteral("Orvane");

// The busy pointer while the window waits for another program.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QWidget* whitePanel(const QString& objectName, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(objectName);
    DialogKit::makeWhite(panel);
    return panel;
}

} // namespace

const QString TForm2::ImportFilter = QStringLiteral("Ficheros Importacion (*.ini)");
const QString TForm2::UnsignedFilter = QStringLiteral("Facturas Electrónicas sin firmar (*.xml)");
const QString TForm2::OpenFilters = TForm2::ImportFilter + QStringLiteral(";;") +
                                    TForm2::UnsignedFilter +
                                    QStringLiteral(";;Todos los archivos (*.*)");
const QString TForm2::SaveFilter = QStringLiteral("Facturas Electronicas sin Firmar (*.XML)");
const QString TForm2::FacturaeFilters =
    QStringLiteral("Facturas electrónicas (*.xml *.XML *.xsig *.XSIG);;Todos los archivos (*.*)");

TForm2::TForm2(const QString& appDir, QWidget* parent) : QMainWindow(parent), m_session(appDir) {
    initMainWindowResources();
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Generación de Orvane"));
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

    // Parties.
    auto* panel2 = whitePanel(QStringLiteral("Panel2"), central);
    panel2->setFixedHeight(210);
    auto* partiesRow = new QHBoxLayout(panel2);
    partiesRow->setContentsMargins(4, 2, 4, 2);
    m_issuer = new PartyPanel(Party::Issuer, panel2);
    m_issuer->setFixedWidth(495);
    m_customer = new PartyPanel(Party::Customer, panel2);
    partiesRow->addWidget(m_issuer);
    partiesRow->addWidget(m_customer, 1);
    column->addWidget(panel2);

    // Lines.
    auto* lines = new QGroupBox(QStringLiteral("Detalle Factura"), central);
    lines->setObjectName(QStringLiteral("GroupBox4"));
    auto* linesColumn = new QVBoxLayout(lines);
    linesColumn->setContentsMargins(4, 2, 4, 4);
    linesColumn->setSpacing(2);
    m_grid = new LinesGrid(m_record.lines(), lines);
    m_fileReference = new FileReferencePanel(m_record.lines(), lines);
    linesColumn->addWidget(m_grid, 1);
    linesColumn->addWidget(m_fileReference);
    linesColumn->addWidget(buildHiddenFields());
    auto* linesRow = new QHBoxLayout;
    linesRow->setContentsMargins(4, 0, 4, 0);
    linesRow->addWidget(lines);
    column->addLayout(linesRow, 1);

    // Payment and totals.
    auto* panel3 = whitePanel(QStringLiteral("Panel3"), central);
    panel3->setFixedHeight(161);
    auto* paymentRow = new QHBoxLayout(panel3);
    paymentRow->setContentsMargins(4, 2, 4, 2);
    m_payment = new PaymentPanel(panel3);
    m_payment->setFixedWidth(519);
    m_totals = new TotalsPanel(panel3);
    paymentRow->addWidget(m_payment);
    paymentRow->addWidget(m_totals, 1);
    column->addWidget(panel3);

    m_buttonBar = buildButtonBar();
    column->addWidget(m_buttonBar);
    buildMenu();
    m_session.setRenderer(&m_pdfRenderer);

    m_binding = new RecordBinding(m_record, this);
    m_binding->showAll();

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

    connect(m_totals->rateList(), &RateCombo::closedUp, this, &TForm2::ComboBox1CloseUp);
    connect(m_totals->rateList(), &RateCombo::left, this, &TForm2::ComboBox1Exit);

    setUpTabOrder();
    // Enter moves on like Tab: the window sees every key first.
    qApp->installEventFilter(this);

    resize(978, 729);
    setMinimumSize(900, 640);
}

TForm2::~TForm2() {
    qApp->removeEventFilter(this);
    m_record.setAdministrationTickHandler(nullptr);
    // The widgets look at the record until they are gone; the record is a
    // member and would otherwise go first.
    delete takeCentralWidget();
}

QWidget* TForm2::buildButtonBar() {
    auto* bar = whitePanel(QStringLiteral("Panel1"), centralWidget());
    bar->setFixedHeight(51);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    struct Button {
        const char* name;
        const char* picture;
        const char* hint;
        void (TForm2::*handler)();
    };
    const Button buttons[] = {
        {"AdvSmoothButton2", "import", "Capturar Datos", &TForm2::AdvSmoothButton2Click},
        {"AdvSmoothButton3", "document", "Generar Factura", &TForm2::Button2Click},
        {"AdvSmoothButton1", "sign", "Firmar Factura", &TForm2::Button4Click},
        {"AdvSmoothButton5", "validate", "Validar", &TForm2::VALIDARClick},
        {"AdvSmoothButton6", "contact", "Contacto", &TForm2::Button5Click},
        {"AdvSmoothButton4", "exit", "", &TForm2::AdvSmoothButton4Click},
    };
    int index = 0;
    for (const Button& b : buttons) {
        if (index++ == 4)
            row->addStretch(1);
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(b.name));
        button->setIcon(QIcon(QStringLiteral(":/mainwindow/%1.svg").arg(QLatin1String(b.picture))));
        button->setIconSize(QSize(40, 40));
        button->setFixedSize(100, 51);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        const QString hint = QString::fromUtf8(b.hint);
        button->setToolTip(hint);
        button->setAccessibleName(hint.isEmpty() ? QStringLiteral("Salir") : hint);
        connect(button, &QToolButton::clicked, this, b.handler);
        row->addWidget(button);
    }
    return bar;
}

// The readable copy: of the invoice on screen, or of any Facturae file.
void TForm2::buildMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Factura"));
    menu->setObjectName(QStringLiteral("MenuFactura"));
    QAction* view = menu->addAction(QStringLiteral("Ver / Imprimir"));
    view->setObjectName(QStringLiteral("VerImprimir"));
    view->setShortcut(QKeySequence::Print);
    connect(view, &QAction::triggered, this, &TForm2::VerImprimirClick);
    QAction* open = menu->addAction(QStringLiteral("Abrir factura XML…"));
    open->setObjectName(QStringLiteral("AbrirFacturaXml"));
    connect(open, &QAction::triggered, this, &TForm2::AbrirFacturaXmlClick);
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

void TForm2::runModal(QDialog& dialog) {
    if (m_modalRunner)
        m_modalRunner(dialog);
    else
        dialog.exec();
}

void TForm2::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    DialogKit::centreOnScreen(this);
    FormShow();
}

void TForm2::FormShow() {
    // Decimal comma and thousands point for the whole run; the boxes and the
    // grid format their numbers themselves, whatever the system says.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    setWindowTitle(QStringLiteral("Generación de Orvane. ") + GetVersionText());
    runGuarded(this, [&] { m_session.start(); });
}

bool TForm2::FormKeyPress(QWidget* target) {
    if (target == m_grid || m_grid->isAncestorOf(target))
        return false;
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
                takeWithholdingRate();
            // Only this window's controls; dialogs keep their own Enter.
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

void TForm2::Edit17Enter() {
    runGuarded(this, [&] { BankAccount::workOutIban(m_record); });
}

void TForm2::ComboBox1CloseUp() {
    takeWithholdingRate();
}

void TForm2::ComboBox1Exit() {
    RateCombo* rate = m_totals->rateList();
    if (rate->currentText().isEmpty())
        rate->setEditText(QStringLiteral("0"));
    takeWithholdingRate();
}

// The rate list's text, picked or typed, once it is finished: a number from 0
// to 100 becomes the invoice's rate and the totals follow; anything else is
// refused with a message and the rate stays as it was.
void TForm2::takeWithholdingRate() {
    RateCombo* rate = m_totals->rateList();
    const QString typed = rate->currentText();
    const QString current = m_record.text(RecordField::WithholdingRate);
    if (typed == current)
        return;
    const QString problem = AmountLimits::typedProblem(AmountLimits::NumberField::Withholding,
                                                       typed, ValueForms::readTypedNumber(typed));
    if (!problem.isEmpty()) {
        rate->setEditText(current);
        Prompts::instance().errorBox(this, withFullStop(problem));
        return;
    }
    runGuarded(this, [&] { m_record.setText(RecordField::WithholdingRate, typed); });
}

void TForm2::administrationTicked(InvoiceRecord&) {
    TFormAdmon window(appDir(), this);
    window.setCentres(m_session.centres());
    runModal(window);
    if (window.Tag() == TFormAdmon::AcceptedTag)
        m_session.setCentres(window.centres());
}

void TForm2::CheckBox1MouseUp(Qt::MouseButton button) {
    if (button != Qt::RightButton)
        return;
    runGuarded(this, [&] {
        // Only a look: nothing comes back into the invoice.
        TFormAdmon window(appDir(), this);
        window.setCentres(m_session.centres());
        runModal(window);
    });
}

void TForm2::AdvSmoothButton2Click() {
    runGuarded(this, [&] {
        // What is typed in a cell stays in its line; an import replaces the
        // lines only once the whole file has been read.
        if (!m_grid->commitOpenEditor())
            return;
        m_session.importInvoice(
            [&] { return Prompts::instance().openFile(this, OpenFilters, ImportFilter); });
    });
}

void TForm2::Button2Click() {
    runGuarded(this, [&] {
        // What is still typed in a cell belongs to the invoice.
        if (!m_grid->commitOpenEditor())
            return;
        const InvoiceSession::Generated generated = m_session.generate(
            [&] { return Prompts::instance().saveFile(this, SaveFilter, QStringLiteral("XML")); },
            [&](const QString& why) { Prompts::instance().warn(this, AppTitle, why); });
        if (generated.status == InvoiceSession::GenerateStatus::MissingBankData)
            Prompts::instance().warn(this, AppTitle, InvoiceSession::MissingBankDataMessage);
        else if (generated.signNext)
            launchAutoFirma(generated.path);
    });
}

void TForm2::Button4Click() {
    runGuarded(this, [&] {
        const QString path = Prompts::instance().openFile(this, OpenFilters, UnsignedFilter);
        if (path.isEmpty())
            return;
        if (!m_session.loadSigningSettings()) {
            Prompts::instance().inform(this, QStringLiteral("Factura Electrónica"),
                                       QStringLiteral("¡¡¡ No se ha detectado AutoFirma !!!"));
            return;
        }
        launchAutoFirma(path);
    });
}

void TForm2::launchAutoFirma(const QString& path) {
    if (const QString problem = m_session.signingSettingsProblem(); !problem.isEmpty()) {
        if (Prompts::instance().confirm(
                this, AppTitle,
                withFullStop(problem) +
                    QStringLiteral("\n\n¿Quieres abrir la configuración de AutoFirma?"))) {
            TFormAutoFirma settings(appDir(), this);
            runModal(settings);
        }
        return;
    }
    QString error;
    {
        const BusyCursor busy;
        error = m_session.sign(path);
    }
    if (!error.isEmpty())
        Prompts::instance().plain(this, AppTitle, error);
}

void TForm2::VALIDARClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(ValidationPageUrl)));
}

void TForm2::Button5Click() {
    runGuarded(this, [&] {
        TFormAcercaDe about(appDir(), this);
        runModal(about);
    });
}

void TForm2::VerImprimirClick() {
    runGuarded(this, [&] {
        if (!m_grid->commitOpenEditor())
            return;
        showCopy(m_session.currentDocument(), QString());
    });
}

void TForm2::AbrirFacturaXmlClick() {
    runGuarded(this, [&] {
        const QString path = Prompts::instance().openFile(this, FacturaeFilters, QString());
        if (path.isEmpty())
            return;
        showCopy(FacturaeReader::fileBytes(path), path);
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
    InvoicePreview preview(m_session, document, std::move(parsed), this);
    runModal(preview);
}

void TForm2::AdvSmoothButton4Click() {
    if (Prompts::instance().confirm(this, AppTitle,
                                    QStringLiteral("¿Desea Abandonar la Aplicación?")))
        close();
}
