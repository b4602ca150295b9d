#include "app/RecordChainWindow.h"

#include "book/BookDatabase.h"
#include "ledger/ChainListing.h"
#include "ledger/LedgerCheck.h"
#include "session/InvoiceSession.h"
#include "session/RunEvents.h"
#include "widgets/BackgroundWork.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QLabel* valueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QTableWidget* rowTable(QWidget* parent, const char* name, const QString& what) {
    auto* table = new QTableWidget(0, 5, parent);
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels({QStringLiteral("N.º"), what, QStringLiteral("Generado"),
                                      QStringLiteral("Enlace"), QStringLiteral("Orden temporal")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    return table;
}

} // namespace

RecordChainWindow::RecordChainWindow(InvoiceSession& session, QWidget* parent)
    : QDialog(parent), m_session(session) {
    setObjectName(QStringLiteral("RecordChainWindow"));
    setWindowTitle(QStringLiteral("Registro de facturación: estado de la cadena"));

    m_state = valueLabel(this, "ChainState");
    m_count = valueLabel(this, "ChainCount");
    m_last = valueLabel(this, "ChainLastHuella");
    QFont fixed = m_last->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::Monospace);
    m_last->setFont(fixed);

    m_alarm = valueLabel(this, "ChainAlarm");
    m_alarm->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_alarm->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Estado de la cadena:"), m_state);
    form->addRow(QStringLiteral("Registros:"), m_count);
    form->addRow(QStringLiteral("Última huella:"), m_last);

    auto* note = new QLabel(
        QStringLiteral("Cada registro se comprueba otra vez: su huella, su enlace con el anterior "
                       "y su número de orden. Desde la línea de órdenes: orvane-cli records "
                       "verify."),
        this);
    note->setWordWrap(true);

    m_check = new QPushButton(QStringLiteral("C&omprobar de nuevo"), this);
    m_check->setObjectName(QStringLiteral("Comprobar"));
    auto* close = new QPushButton(QStringLiteral("&Cerrar"), this);
    close->setObjectName(QStringLiteral("Cerrar"));
    close->setDefault(true);
    m_resolve = new QPushButton(QStringLiteral("&Resolver la alarma…"), this);
    m_resolve->setObjectName(QStringLiteral("ResolverAlarma"));
    m_resolve->hide();
    connect(m_resolve, &QPushButton::clicked, this, [this] { ResolverAlarmaClick(); });
    connect(m_check, &QPushButton::clicked, this, [this] { ComprobarClick(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_resolve);
    buttons->addStretch(1);
    buttons->addWidget(m_check);
    buttons->addWidget(close);

    m_records = rowTable(this, "RecordRows", QStringLiteral("Registro"));
    m_events = rowTable(this, "EventRows", QStringLiteral("Evento"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("ChainTabs"));
    tabs->addTab(m_records, QStringLiteral("&Registros"));
    tabs->addTab(m_events, QStringLiteral("&Eventos"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_alarm);
    layout->addWidget(note);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    resize(820, 560);
}

void RecordChainWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_checked || event->spontaneous())
        return;
    m_checked = true;
    ComprobarClick();
}

void RecordChainWindow::showAlarm() {
    const std::optional<IntegrityAlarm> alarm =
        RunEvents(m_session.appDir(), m_session.credentials().signer()).alarm();
    m_alarm->setText(alarm ? alarm->text() : QString());
    m_alarm->setVisible(alarm.has_value());
    m_resolve->setVisible(alarm.has_value());
}

void RecordChainWindow::ResolverAlarmaClick() {
    runGuarded(this, [&] {
        QString note;
        if (!Prompts::instance().askText(this, QStringLiteral("Resolver la alarma de integridad"),
                                         QStringLiteral("Escriba lo que ha revisado y por qué da "
                                                        "la alarma por resuelta:"),
                                         note))
            return;
        const IntegrityAlarm resolved =
            RunEvents(m_session.appDir(), m_session.credentials().signer()).resolveAlarm(note);
        Prompts::instance().inform(this, windowTitle(), withFullStop(resolved.text()));
        showAlarm();
    });
}

void RecordChainWindow::ComprobarClick() {
    m_checked = true;
    runGuarded(this, [&] {
        m_state->setText(QStringLiteral("Comprobando…"));
        std::optional<LedgerCheckReport> report;
        // Without sending, with the run's certificate open, the signatures
        // and the events are checked too, and the check is logged.
        const RunEvents events(m_session.appDir(), m_session.credentials().signer());
        const bool integrity = events.active() && m_session.credentials().isOpen();
        QStringList integrityLines;
        bool integrityOk = true;
        QList<ListedRow> recordRows, eventRows;
        BackgroundWork::run(this, QStringLiteral("Comprobando la cadena de registros…"), [&] {
            if (integrity) {
                const IntegrityReport found = events.checkIntegrity();
                report = found.records;
                integrityLines = found.lines();
                integrityOk = found.ok();
            }
            // No book yet: no invoice issued, no record.
            const auto db = BookDatabase::openIfPresent(m_session.appDir());
            if (!db)
                return;
            if (!integrity)
                report = LedgerCheck::run(*db);
            recordRows = ChainListing::records(*db);
            eventRows = ChainListing::events(*db);
        });
        fill(m_records, recordRows);
        fill(m_events, eventRows);
        showAlarm();
        if (integrity) {
            m_state->setText(integrityLines.join(u'\n'));
            m_state->setStyleSheet(
                integrityOk ? QString() : QStringLiteral("color: #a00000; font-weight: bold;"));
        }
        if (!report || report->chains.isEmpty()) {
            if (!integrity)
                m_state->setText(
                    QStringLiteral("El libro no guarda ningún registro de facturación."));
            m_count->setText(QStringLiteral("0"));
            m_last->clear();
            return;
        }
        QStringList states, counts, lasts;
        const bool several = report->chains.size() > 1;
        for (const ChainReport& chain : report->chains) {
            const QString who = several ? QStringLiteral("NIF %1, instalación %2: ")
                                              .arg(chain.chain.issuerNif, chain.chain.installation)
                                        : QString();
            states << who + chain.summary;
            counts << who + QString::number(chain.count);
            lasts << who + (chain.lastHuella.isEmpty() ? QStringLiteral("—") : chain.lastHuella);
        }
        if (!integrity) {
            m_state->setText(states.join(u'\n'));
            m_state->setStyleSheet(
                report->ok() ? QString() : QStringLiteral("color: #a00000; font-weight: bold;"));
        }
        m_count->setText(counts.join(u'\n'));
        m_last->setText(lasts.join(u'\n'));
    });
}

void RecordChainWindow::fill(QTableWidget* table, const QList<ListedRow>& rows) {
    table->setRowCount(int(rows.size()));
    const QBrush wrong(QColor(0xa0, 0, 0));
    for (int i = 0; i < rows.size(); ++i) {
        const ListedRow& row = rows[i];
        const QStringList texts = {QString::number(row.sequence), row.what, row.generatedAt,
                                   row.check.linkText(), row.check.orderText()};
        for (int column = 0; column < texts.size(); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if ((column == 3 && !row.check.linkOk()) || (column == 4 && !row.check.orderOk()))
                item->setForeground(wrong);
            table->setItem(i, column, item);
        }
    }
    table->resizeColumnToContents(0);
}
