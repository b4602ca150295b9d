#include "app/BookWindow.h"

#include "app/BookTableModel.h"
#include "app/CorrectiveDialog.h"
#include "app/FileDialogs.h"
#include "app/InvoicePreview.h"
#include "book/BookDatabase.h"
#include "book/BookText.h"
#include "book/InvoiceBook.h"
#include "common/Decimal.h"
#include "common/ValueForms.h"
#include "ledger/InvoiceCancellation.h"
#include "pdf/FacturaeReader.h"
#include "session/BookFiles.h"
#include "session/InvoiceSession.h"
#include "widgets/BackgroundWork.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long typing may pause before the list follows it.
constexpr int TypingPauseMs = 250;

QString invoices(qint64 count) {
    // Our own grouping: Qt's Spanish data leaves 3004 without its point.
    return count == 1
               ? QStringLiteral("1 factura")
               : QStringLiteral("%1 facturas").arg(Decimal::fromInteger(count).displayText(0, 0));
}

QLabel* captionFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    // Enter belongs to the list (the copy), never to a button nobody chose.
    b->setAutoDefault(false);
    return b;
}

} // namespace

BookWindow::BookWindow(InvoiceSession& session, QWidget* parent)
    : QDialog(parent), m_session(session), m_model(new BookTableModel(session.appDir(), this)) {
    setObjectName(QStringLiteral("BookWindow"));
    setWindowTitle(QStringLiteral("Libro de facturas"));
    buildLayout();

    connect(m_model, &BookTableModel::answered, this, &BookWindow::showAnswer);
    connect(m_model, &BookTableModel::seriesKnown, this, &BookWindow::showSeries);
    connect(m_model, &BookTableModel::failed, this, &BookWindow::showProblem);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &BookWindow::updateActions);
    // The latest invoices first; sorting asks the book for the first page.
    m_table->horizontalHeader()->setSortIndicator(BookTableModel::IssueDate, Qt::DescendingOrder);
    m_table->setSortingEnabled(true);
    m_message->setText(QStringLiteral("Abriendo el libro…"));
}

BookWindow::~BookWindow() = default;

void BookWindow::buildLayout() {
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("BookSearch"));
    m_search->setPlaceholderText(QStringLiteral("Número, cliente o NIF"));
    m_search->setClearButtonEnabled(true);
    m_from = new QLineEdit(this);
    m_from->setObjectName(QStringLiteral("BookFrom"));
    m_to = new QLineEdit(this);
    m_to->setObjectName(QStringLiteral("BookTo"));
    for (QLineEdit* date : {m_from, m_to}) {
        date->setPlaceholderText(QStringLiteral("dd/mm/aaaa"));
        date->setMaxLength(10);
        date->setFixedWidth(date->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) +
                            16);
    }
    m_series = new QComboBox(this);
    m_series->setObjectName(QStringLiteral("BookSeries"));
    m_series->addItem(QStringLiteral("Todas"));
    m_series->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* filters = new QHBoxLayout;
    filters->addWidget(captionFor(QStringLiteral("&Buscar:"), m_search, this));
    filters->addWidget(m_search, 1);
    filters->addSpacing(8);
    filters->addWidget(captionFor(QStringLiteral("&Desde:"), m_from, this));
    filters->addWidget(m_from);
    filters->addWidget(captionFor(QStringLiteral("&Hasta:"), m_to, this));
    filters->addWidget(m_to);
    filters->addSpacing(8);
    filters->addWidget(captionFor(QStringLiteral("&Serie:"), m_series, this));
    filters->addWidget(m_series);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("BookTable"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    QHeaderView* header = m_table->horizontalHeader();
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    // Widths from what each column holds at most, so the list never jumps
    // as pages arrive; the customer's name takes what is left.
    const QFontMetrics metrics = m_table->fontMetrics();
    const char* const widest[BookTableModel::ColumnCount] = {
        "FA-2026-00000", "00/00/0000", "",           "B00000000",  "000.000,00",
        "00.000,00",     "00.000,00",  "000.000,00", "Sustituida", "Anulación pendiente"};
    for (int column = 0; column < BookTableModel::ColumnCount; ++column) {
        const QString title = m_model->headerData(column, Qt::Horizontal).toString();
        header->resizeSection(column,
                              std::max(metrics.horizontalAdvance(QLatin1String(widest[column])),
                                       metrics.horizontalAdvance(title) + 16) +
                                  16);
    }
    header->setSectionResizeMode(BookTableModel::Customer, QHeaderView::Stretch);
    m_table->installEventFilter(this);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("BookProblem"));
    m_problem->setWordWrap(true);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_problem->setAlignment(Qt::AlignCenter);
    m_problem->hide();

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("BookTotals"));
    m_totals->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("BookMessage"));
    m_message->setWordWrap(true);

    m_view = button(QStringLiteral("&Ver / Imprimir"), QStringLiteral("VerImprimir"), this);
    m_view->setToolTip(QStringLiteral("La copia legible de la factura elegida (Intro)"));
    m_save =
        button(QStringLiteral("&Guardar documento…"), QStringLiteral("GuardarDocumento"), this);
    m_save->setToolTip(QStringLiteral("El documento guardado en el libro (XML, o XSIG si se "
                                      "firmó), a un fichero"));
    m_openAsNew =
        button(QStringLiteral("Abrir como &nueva"), QStringLiteral("AbrirComoNueva"), this);
    m_openAsNew->setToolTip(QStringLiteral("Una factura nueva como esta, con el número siguiente "
                                           "y la fecha de hoy"));
    m_cancel = button(QStringLiteral("&Anular…"), QStringLiteral("Anular"), this);
    m_cancel->setToolTip(QStringLiteral("Anula la factura elegida con su registro de anulación"));
    // Only with a records mode chosen: the cancellation is a record.
    m_cancelOffered = InvoiceCancellation::offered(m_session.appDir());
    m_cancel->setVisible(m_cancelOffered);
    m_rectify = button(QStringLiteral("&Rectificar…"), QStringLiteral("Rectificar"), this);
    m_rectify->setToolTip(QStringLiteral("Una factura rectificativa de la factura elegida "
                                         "(Ctrl+R)"));
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), this), &QShortcut::activated,
            this, [this] { RectificarClick(); });
    connect(m_rectify, &QPushButton::clicked, this, [this] { RectificarClick(); });
    auto* close = button(QStringLiteral("&Cerrar"), QStringLiteral("Cerrar"), this);
    connect(m_cancel, &QPushButton::clicked, this, [this] { AnularClick(); });
    connect(m_view, &QPushButton::clicked, this, [this] { VerImprimirClick(); });
    connect(m_save, &QPushButton::clicked, this, [this] { GuardarDocumentoClick(); });
    connect(m_openAsNew, &QPushButton::clicked, this, [this] { AbrirComoNuevaClick(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* actions = new QHBoxLayout;
    actions->addWidget(m_message, 1);
    actions->addWidget(m_view);
    actions->addWidget(m_save);
    actions->addWidget(m_openAsNew);
    actions->addWidget(m_rectify);
    actions->addWidget(m_cancel);
    actions->addWidget(close);

    auto* column = new QVBoxLayout(this);
    column->addLayout(filters);
    column->addWidget(m_problem, 1);
    column->addWidget(m_table, 1);
    column->addWidget(m_totals);
    column->addLayout(actions);

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(TypingPauseMs);
    connect(m_typing, &QTimer::timeout, this, &BookWindow::applyFilter);
    for (QLineEdit* edit : {m_search, m_from, m_to})
        connect(edit, &QLineEdit::textEdited, m_typing, qOverload<>(&QTimer::start));
    // The clear button changes the text without typing.
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            m_typing->start();
    });
    connect(m_series, &QComboBox::activated, this, &BookWindow::applyFilter);
    // Enter in the search box goes on to the list, where Enter opens the copy.
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        m_typing->stop();
        applyFilter();
        m_table->setFocus();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &BookWindow::updateActions);
    connect(m_table, &QTableView::doubleClicked, this, [this] { VerImprimirClick(); });

    setTabOrder(m_search, m_from);
    setTabOrder(m_from, m_to);
    setTabOrder(m_to, m_series);
    setTabOrder(m_series, m_table);
    setTabOrder(m_table, m_view);
    setTabOrder(m_view, m_save);
    setTabOrder(m_save, m_openAsNew);
    setTabOrder(m_openAsNew, m_rectify);
    setTabOrder(m_rectify, m_cancel);
    setTabOrder(m_cancel, close);

    // Room for about twenty invoices, and never more than the screen has:
    // a 1024 x 600 screen with its title bar holds the whole window.
    setMinimumSize(720, 400);
    QSize size(1100, 640);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
    resize(size);
    m_search->setFocus();
    updateActions();
}

void BookWindow::setOpenAsNew(OpenAsNew handler) {
    m_openAsNewHandler = std::move(handler);
    updateActions();
}

void BookWindow::setRectify(Rectify handler) {
    m_rectifyHandler = std::move(handler);
    updateActions();
}

// The filter of the boxes; a date that cannot be read stops it, said below
// the list, and the list stays as it was.
void BookWindow::applyFilter() {
    BookFilter filter;
    filter.text = m_search->text().trimmed();
    QStringList problems;
    const struct {
        QLineEdit* box;
        QDate* date;
        const char* name;
    } dates[] = {{m_from, &filter.from, "Desde"}, {m_to, &filter.to, "Hasta"}};
    for (const auto& d : dates) {
        const QString text = d.box->text().trimmed();
        if (text.isEmpty())
            continue;
        if (const std::optional<QDate> date = ValueForms::parseDate(text))
            *d.date = *date;
        else
            problems << QStringLiteral("%1: la fecha «%2» %3; escriba dd/mm/aaaa.")
                            .arg(QLatin1String(d.name), text, ValueForms::dateProblem(text));
    }
    if (!problems.isEmpty()) {
        m_message->setText(problems.join(u' '));
        return;
    }
    if (const QVariant series = m_series->currentData(); series.isValid()) {
        filter.seriesSet = true;
        filter.series = series.toString();
    }
    m_message->setText(QStringLiteral("Buscando…"));
    m_model->setFilter(filter);
}

void BookWindow::showAnswer() {
    m_problem->hide();
    m_table->show();
    const BookTotals& t = m_model->totals();
    m_totals->setText(QStringLiteral("%1   ·   Base %2 €   ·   IVA %3 €   ·   Retención %4 €   ·   "
                                     "Total %5 €")
                          .arg(invoices(t.count), BookText::amount(t.baseCents),
                               BookText::amount(t.vatCents), BookText::amount(t.withholdingCents),
                               BookText::amount(t.totalCents)));
    m_message->setText(t.count == 0 ? QStringLiteral("Ninguna factura del libro cumple el filtro.")
                                    : m_done);
    m_done.clear();
    if (m_model->rowCount() > 0)
        m_table->setCurrentIndex(m_model->index(0, 0));
    updateActions();
}

void BookWindow::showSeries() {
    const QString chosen = m_series->currentText();
    m_series->clear();
    m_series->addItem(QStringLiteral("Todas"));
    for (const QString& series : m_model->series())
        m_series->addItem(series.isEmpty() ? QStringLiteral("(sin serie)") : series, series);
    m_series->setCurrentIndex(std::max(0, m_series->findText(chosen)));
}

// In place of the list: what is wrong, in the book's own words.
void BookWindow::showProblem(const QString& message) {
    m_problem->setText(message);
    m_problem->show();
    m_table->hide();
    m_totals->clear();
    m_message->clear();
    updateActions();
}

void BookWindow::updateActions() {
    const bool one = chosen().has_value();
    m_view->setEnabled(one);
    m_save->setEnabled(one);
    m_openAsNew->setEnabled(one && m_openAsNewHandler);
    m_cancel->setEnabled(one && m_cancelOffered && mayCancel(*chosen()));
    // Only what stands issued is corrected.
    m_rectify->setEnabled(one && m_rectifyHandler && mayCancel(*chosen()));
}

bool BookWindow::mayCancel(const BookEntry& entry) {
    return entry.current && entry.state != HistoryKind::Cancelled &&
           entry.recordKind != u"anulación";
}

std::optional<BookEntry> BookWindow::chosen() const {
    const QModelIndex current = m_table->currentIndex();
    if (m_table->isHidden() || !current.isValid() || current.row() >= m_model->rowCount())
        return std::nullopt;
    return m_model->entry(current.row());
}

BookDatabase& BookWindow::book() {
    if (!m_book)
        m_book = BookDatabase::openExisting(m_session.appDir());
    return *m_book;
}

bool BookWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            VerImprimirClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The signed copy when there is one (it shows who signed), otherwise the
// document as written; read beside the window, as a long invoice takes a
// moment.
void BookWindow::VerImprimirClick() {
    runGuarded(this, [&] {
        const std::optional<BookEntry> entry = chosen();
        if (!entry)
            return;
        BookDatabase& db = book();
        QByteArray bytes;
        FacturaeDocument::Document parsed;
        BackgroundWork::run(this, QStringLiteral("Leyendo la factura…"), [&] {
            const BookFiles::Copy copy = InvoiceBook(db).hasSignedCopy(entry->id)
                                             ? BookFiles::Copy::Signed
                                             : BookFiles::Copy::Unsigned;
            bytes = BookFiles::document(db, *entry, copy);
            try {
                parsed = FacturaeReader::read(bytes);
            } catch (const AppError& error) {
                throw AppError(QStringLiteral("El documento guardado de la factura %1: %2")
                                   .arg(entry->seriesNumber, error.message()));
            }
        });
        InvoicePreview preview(m_session, bytes, std::move(parsed), QString(),
                               FileDialogs::invoiceFileName(entry->summary.series,
                                                            entry->summary.number,
                                                            QStringLiteral("pdf")),
                               this);
        connect(&preview, &InvoicePreview::pdfSaved, this, [this](const QString& path) {
            m_message->setText(
                QStringLiteral("Copia PDF guardada en %1").arg(QDir::toNativeSeparators(path)));
        });
        if (m_modalRunner)
            m_modalRunner(preview);
        else
            preview.exec();
    });
}

void BookWindow::GuardarDocumentoClick() {
    runGuarded(this, [&] {
        const std::optional<BookEntry> entry = chosen();
        if (!entry)
            return;
        BookDatabase& db = book();
        const bool hasSigned = InvoiceBook(db).hasSignedCopy(entry->id);
        const QString unsignedFilter = QStringLiteral("Factura sin firmar (*.xml *.XML)");
        const QString filters =
            hasSigned ? QStringLiteral("Factura firmada (*.xsig *.XSIG);;") + unsignedFilter
                      : unsignedFilter;
        const QString suffix = hasSigned ? QStringLiteral("xsig") : QStringLiteral("xml");
        const QString appDir = m_session.appDir();
        const QString path = FileDialogs::save(
            this, appDir, FileDialogs::Kind::Save, filters, suffix,
            FileDialogs::invoiceFileName(entry->summary.series, entry->summary.number, suffix),
            FileDialogs::Existing::Ask,
            [&](const QString& chosen) { return BookFiles::outputProblem(db, appDir, chosen); });
        if (path.isEmpty())
            return;
        // The name says which copy: a signed one only by its extension.
        const BookFiles::Copy copy =
            hasSigned && path.endsWith(QStringLiteral(".xsig"), Qt::CaseInsensitive)
                ? BookFiles::Copy::Signed
                : BookFiles::Copy::Unsigned;
        BackgroundWork::run(this, QStringLiteral("Guardando la factura…"),
                            [&] { BookFiles::save(db, appDir, *entry, copy, path); });
        m_message->setText(QStringLiteral("%1 de la factura %2 guardado en %3")
                               .arg(copy == BookFiles::Copy::Signed
                                        ? QStringLiteral("Copia firmada")
                                        : QStringLiteral("Documento"),
                                    entry->seriesNumber, QDir::toNativeSeparators(path)));
    });
}

// Asks first: a cancellation is a record of the chain and is never undone.
void BookWindow::AnularClick() {
    runGuarded(this, [&] {
        const std::optional<BookEntry> entry = chosen();
        if (!entry || !m_cancelOffered || !mayCancel(*entry))
            return;
        if (!Prompts::instance().confirm(
                this, AppTitle,
                QStringLiteral("¿Anular la factura %1 del %2 (%3)?\n\nSe añade su registro de "
                               "anulación a la cadena de registros de facturación, y la anulación "
                               "no se puede deshacer.")
                    .arg(entry->seriesNumber, ValueForms::dateText(entry->summary.issueDate),
                         entry->summary.customerName)))
            return;
        const InvoiceCancellation::Settings settings =
            InvoiceCancellation::required(m_session.appDir());
        BookDatabase& db = book();
        StoredRecord record;
        BackgroundWork::run(this, QStringLiteral("Anulando la factura…"), [&] {
            record =
                InvoiceCancellation::cancel(db, settings, entry->seriesNumber, m_ledgerOptions);
        });
        // Said once the list shows the invoice anew.
        m_done = QStringLiteral("Factura %1 anulada: registro de anulación n.º %2")
                     .arg(entry->seriesNumber)
                     .arg(record.sequence);
        m_message->setText(m_done);
        applyFilter();
    });
}

std::optional<QString> BookWindow::storedValue(const BookEntry& entry, const QString& purpose) {
    const std::optional<QString> value = InvoiceBook(book()).value(entry.id);
    if (!value)
        Prompts::instance().inform(this, AppTitle,
                                   QStringLiteral("La factura %1 se añadió al libro desde su "
                                                  "documento y no guarda sus datos para %2.")
                                       .arg(entry.seriesNumber, purpose));
    return value;
}

void BookWindow::AbrirComoNuevaClick() {
    runGuarded(this, [&] {
        const std::optional<BookEntry> entry = chosen();
        if (!entry || !m_openAsNewHandler)
            return;
        const std::optional<QString> value =
            storedValue(*entry, QStringLiteral("abrirla como nueva"));
        if (!value)
            return;
        m_openAsNewHandler(*entry, *value);
        accept();
    });
}

void BookWindow::RectificarClick() {
    runGuarded(this, [&] {
        const std::optional<BookEntry> entry = chosen();
        if (!entry || !m_rectifyHandler || !mayCancel(*entry))
            return;
        const std::optional<QString> value = storedValue(*entry, QStringLiteral("rectificarla"));
        if (!value)
            return;
        CorrectiveDialog dialog(*entry, this);
        if (m_modalRunner)
            m_modalRunner(dialog);
        else
            dialog.exec();
        if (dialog.result() != QDialog::Accepted)
            return;
        m_rectifyHandler(*entry, *value, dialog.correction());
        accept();
    });
}
