#pragma once

#include <QObject>

class InvoiceRecord;

// Whether the invoice holds changes that no draft or document has kept yet.
// Every change of a field, a date, a tick, a person type or a line counts;
// the totals follow the lines, so they do not. Loading a whole invoice (start, import,
// draft) runs inside a Pause and ends with markSaved().
class UnsavedChanges : public QObject {
    Q_OBJECT
public:
    explicit UnsavedChanges(InvoiceRecord& record, QObject* parent = nullptr);

    bool isModified() const { return m_modified; }
    void markSaved();
    void markModified();

    // Changes made while a Pause lives are not counted.
    class Pause {
    public:
        explicit Pause(UnsavedChanges& changes) : m_changes(changes) { ++m_changes.m_paused; }
        ~Pause() { --m_changes.m_paused; }
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        UnsavedChanges& m_changes;
    };

signals:
    void modifiedChanged(bool modified);

private:
    void changed();

    bool m_modified = false;
    int m_paused = 0;
};
