#include "invoice/UnsavedChanges.h"

#include "invoice/InvoiceRecord.h"

UnsavedChanges::UnsavedChanges(InvoiceRecord& record, QObject* parent) : QObject(parent) {
    connect(&record, &InvoiceRecord::textChanged, this, &UnsavedChanges::changed);
    connect(&record, &InvoiceRecord::personTypeChanged, this, &UnsavedChanges::changed);
    connect(&record, &InvoiceRecord::datesChanged, this, &UnsavedChanges::changed);
    connect(&record, &InvoiceRecord::administrationChanged, this, &UnsavedChanges::changed);
    Memoria& lines = record.lines();
    connect(&lines, &Memoria::rowChanged, this, &UnsavedChanges::changed);
    connect(&lines, &Memoria::afterPost, this, &UnsavedChanges::changed);
    connect(&lines, &Memoria::afterDelete, this, &UnsavedChanges::changed);
}

void UnsavedChanges::changed() {
    if (m_paused == 0)
        markModified();
}

void UnsavedChanges::markModified() {
    if (m_modified)
        return;
    m_modified = true;
    emit modifiedChanged(true);
}

void UnsavedChanges::markSaved() {
    if (!m_modified)
        return;
    m_modified = false;
    emit modifiedChanged(false);
}
