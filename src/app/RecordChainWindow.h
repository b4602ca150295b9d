#pragma once

#include <QDialog>

class InvoiceSession;
class QLabel;
class QPushButton;
class QTableWidget;
struct ListedRow;

// Ayuda > "Registro de facturación": how the chain of billing records of the
// book stands, checked as orvane-cli records verify checks it (every
// fingerprint computed again, every link and sequence number): how many
// records, the last fingerprint, and "cadena correcta" or the first fault
// with its sequence number and invoice. The check runs beside the window;
// "Comprobar de nuevo" runs it again. An integrity alarm that is on is shown
// in red, and "Resolver la alarma…" resolves it with a note. Below, every
// record and every event, each with "enlace correcto / incorrecto" and
// "orden temporal correcto / incorrecto" as it stands with its neighbours.
class RecordChainWindow : public QDialog {
    Q_OBJECT
public:
    explicit RecordChainWindow(InvoiceSession& session, QWidget* parent = nullptr);

    void ComprobarClick(); // checks the chain and shows what was found
    // Asks a note and resolves the integrity alarm with it (the mode without
    // sending); the resolution is logged, signed with the run's certificate.
    void ResolverAlarmaClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showAlarm();
    static void fill(QTableWidget* table, const QList<ListedRow>& rows);

    InvoiceSession& m_session;
    QLabel* m_alarm = nullptr;
    QPushButton* m_resolve = nullptr;
    QTableWidget* m_records = nullptr;
    QTableWidget* m_events = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_last = nullptr;
    QPushButton* m_check = nullptr;
    bool m_checked = false;
};
