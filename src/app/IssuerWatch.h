#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class InvoiceRecord;
class QWidget;

// Keeps the invoice's issuer in step with "Mis datos": remembers the issuer
// as Registro.Ini filled it, and after a window that may store other issuer
// data, brings that data into the invoice, asking first when the issuer on
// screen was changed by hand or came from a file.
class IssuerWatch {
public:
    IssuerWatch(InvoiceRecord& record, const QString& appDir)
        : m_record(record), m_appDir(appDir) {}

    // The invoice's issuer is what Registro.Ini holds now.
    void remember();

    // Runs runWindow; true when the stored issuer changed and the invoice
    // took it. parent asks the question.
    bool follow(QWidget* parent, const std::function<void()>& runWindow);

private:
    InvoiceRecord& m_record;
    QString m_appDir;
    QStringList m_loadedIssuer; // the issuer's boxes as Registro.Ini filled them
};
