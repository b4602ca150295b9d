#include "book/BookSchema.h"

namespace BookSchema {

namespace {

// Tables and columns are plain English words, the history's kinds Spanish
// (the words the window shows): an accountant opening the book with the
// sqlite3 program reads them directly. Amounts are INTEGER cents, dates ISO
// (yyyy-MM-dd), times ISO 8601 with their UTC offset. Nothing is ever
// deleted: triggers refuse deleting kept rows and changing stored bytes.
const char* const Version1 = R"sql(
CREATE TABLE book (
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL
) WITHOUT ROWID;

-- One row per version of an invoice; the version in force has is_current 1.
CREATE TABLE invoices (
    id INTEGER PRIMARY KEY,
    issuer_tax_id TEXT NOT NULL,
    series TEXT NOT NULL,
    number TEXT NOT NULL,
    series_number TEXT NOT NULL,  -- series-number, or the number alone without series
    version INTEGER NOT NULL,
    is_current INTEGER NOT NULL CHECK (is_current IN (0, 1)),
    issue_date TEXT NOT NULL,
    due_date TEXT,
    customer_tax_id TEXT NOT NULL,
    customer_name TEXT NOT NULL,
    base_cents INTEGER NOT NULL,
    vat_cents INTEGER NOT NULL,
    withholding_cents INTEGER NOT NULL,
    total_cents INTEGER NOT NULL,
    stored_at TEXT NOT NULL,
    number_order TEXT NOT NULL,  -- sorts numbers by their value: A-9 before A-10
    search_text TEXT NOT NULL    -- number, customer and tax id, lower case, no accents
);
CREATE UNIQUE INDEX invoices_current_number
    ON invoices (issuer_tax_id, series, number) WHERE is_current = 1;
CREATE UNIQUE INDEX invoices_current_series_number
    ON invoices (issuer_tax_id, series_number) WHERE is_current = 1;
CREATE INDEX invoices_by_series_number ON invoices (issuer_tax_id, series_number);
CREATE INDEX invoices_by_series ON invoices (issuer_tax_id, series, issue_date) WHERE is_current = 1;
CREATE INDEX invoices_by_number ON invoices (number_order) WHERE is_current = 1;
CREATE INDEX invoices_by_date ON invoices (issue_date) WHERE is_current = 1;
CREATE INDEX invoices_by_customer ON invoices (customer_name) WHERE is_current = 1;

-- The whole invoice as the program wrote it; none for imported documents.
CREATE TABLE invoice_values (
    invoice_id INTEGER PRIMARY KEY REFERENCES invoices (id),
    value TEXT NOT NULL
);

-- The taxable base and VAT of each rate, as the document states them.
CREATE TABLE vat_groups (
    invoice_id INTEGER NOT NULL REFERENCES invoices (id),
    position INTEGER NOT NULL,
    rate TEXT NOT NULL,  -- exact decimal, point: 21.00
    base_cents INTEGER NOT NULL,
    vat_cents INTEGER NOT NULL,
    PRIMARY KEY (invoice_id, position)
) WITHOUT ROWID;

-- The exact bytes of each document: the one written (xml) and each signed copy (xsig).
CREATE TABLE documents (
    id INTEGER PRIMARY KEY,
    invoice_id INTEGER NOT NULL REFERENCES invoices (id),
    kind TEXT NOT NULL CHECK (kind IN ('xml', 'xsig')),
    file_name TEXT NOT NULL,
    sha256 TEXT NOT NULL,
    stored_at TEXT NOT NULL,
    bytes BLOB NOT NULL
);
CREATE INDEX documents_by_invoice ON documents (invoice_id, kind);

-- What happened to each invoice: emitida, firmada, sustituida, importada, ...
CREATE TABLE history (
    id INTEGER PRIMARY KEY,
    invoice_id INTEGER NOT NULL REFERENCES invoices (id),
    at TEXT NOT NULL,
    kind TEXT NOT NULL,
    detail TEXT NOT NULL DEFAULT ''
);
CREATE INDEX history_by_invoice ON history (invoice_id);

-- Customers of issued invoices; a public administration's tax id serves
-- many units, so its three centre codes are part of the key.
CREATE TABLE customers (
    id INTEGER PRIMARY KEY,
    tax_id TEXT NOT NULL,
    managing_body TEXT NOT NULL DEFAULT '',
    accounting_office TEXT NOT NULL DEFAULT '',
    processing_unit TEXT NOT NULL DEFAULT '',
    name TEXT NOT NULL,
    details TEXT NOT NULL,
    updated_at TEXT NOT NULL,
    search_name TEXT NOT NULL,
    UNIQUE (tax_id, managing_body, accounting_office, processing_unit)
);

CREATE TRIGGER invoices_kept BEFORE DELETE ON invoices
    BEGIN SELECT RAISE(ABORT, 'invoices are never deleted'); END;
CREATE TRIGGER invoices_fixed BEFORE UPDATE OF id, issuer_tax_id, series, number,
    series_number, version, issue_date, due_date, customer_tax_id, customer_name, base_cents,
    vat_cents, withholding_cents, total_cents, stored_at ON invoices
    BEGIN SELECT RAISE(ABORT, 'an invoice version is never changed'); END;
CREATE TRIGGER invoice_values_kept BEFORE DELETE ON invoice_values
    BEGIN SELECT RAISE(ABORT, 'invoice values are never deleted'); END;
CREATE TRIGGER invoice_values_fixed BEFORE UPDATE ON invoice_values
    BEGIN SELECT RAISE(ABORT, 'invoice values are never changed'); END;
CREATE TRIGGER vat_groups_kept BEFORE DELETE ON vat_groups
    BEGIN SELECT RAISE(ABORT, 'VAT groups are never deleted'); END;
CREATE TRIGGER vat_groups_fixed BEFORE UPDATE ON vat_groups
    BEGIN SELECT RAISE(ABORT, 'VAT groups are never changed'); END;
CREATE TRIGGER documents_kept BEFORE DELETE ON documents
    BEGIN SELECT RAISE(ABORT, 'documents are never deleted'); END;
CREATE TRIGGER documents_fixed BEFORE UPDATE ON documents
    BEGIN SELECT RAISE(ABORT, 'documents are never changed'); END;
CREATE TRIGGER history_kept BEFORE DELETE ON history
    BEGIN SELECT RAISE(ABORT, 'history is never deleted'); END;
CREATE TRIGGER history_fixed BEFORE UPDATE ON history
    BEGIN SELECT RAISE(ABORT, 'history is never changed'); END;
)sql";

// The billing records, one chain per issuer and installation: each row holds
// the record's exact bytes, and the columns repeat what the bytes say so that
// the book can be listed and searched without reading them. The chain's head
// is its last row. The sending state (state to incident) is all that ever
// changes.
const char* const Version2 = R"sql(
CREATE TABLE billing_records (
    sequence INTEGER NOT NULL,       -- 1, 2, 3... in order of generation, altas and anulaciones mixed
    issuer_nif TEXT NOT NULL,
    installation TEXT NOT NULL,      -- NumeroInstalacion: made once per book
    kind TEXT NOT NULL CHECK (kind IN ('alta', 'anulación')),
    invoice_id INTEGER REFERENCES invoices (id),  -- the book's invoice it concerns, if any
    series_number TEXT NOT NULL,     -- NumSerieFactura as written in the record
    issue_date TEXT NOT NULL,        -- its FechaExpedicionFactura, ISO (yyyy-MM-dd)
    generated_at TEXT NOT NULL,      -- FechaHoraHusoGenRegistro as written
    huella TEXT NOT NULL,
    previous_huella TEXT NOT NULL,   -- '' for the first record of the chain
    state TEXT NOT NULL DEFAULT 'pendiente' CHECK (state IN ('pendiente', 'enviado',
        'aceptado', 'aceptado con errores', 'rechazado')),
    attempts INTEGER NOT NULL DEFAULT 0,
    last_error TEXT NOT NULL DEFAULT '',
    csv TEXT NOT NULL DEFAULT '',    -- the tax agency's receipt
    incident INTEGER NOT NULL DEFAULT 0 CHECK (incident IN (0, 1)),  -- sent late: Incidencia=S
    bytes BLOB NOT NULL,             -- the record exactly as stored; last, so the other
                                     -- columns are read without it
    PRIMARY KEY (issuer_nif, installation, sequence),
    -- Two records can never name the same predecessor, nor can a chain start twice.
    UNIQUE (issuer_nif, installation, previous_huella)
);
CREATE INDEX billing_records_by_invoice ON billing_records (invoice_id);
CREATE INDEX billing_records_by_series_number ON billing_records (series_number);
-- The text begins with the local date and time, so a period is a range of it.
CREATE INDEX billing_records_by_time ON billing_records (issuer_nif, installation, generated_at);

CREATE TRIGGER billing_records_kept BEFORE DELETE ON billing_records
    BEGIN SELECT RAISE(ABORT, 'billing records are never deleted'); END;
CREATE TRIGGER billing_records_fixed BEFORE UPDATE OF sequence, issuer_nif, installation, kind,
    invoice_id, series_number, issue_date, generated_at, huella, previous_huella, bytes
    ON billing_records
    BEGIN SELECT RAISE(ABORT, 'a billing record is never changed'); END;
)sql";

// The event log kept while working without sending each record (NO
// VERI*FACTU): one chain per issuer and installation as for the records,
// each row the signed event's exact bytes. And the integrity alarm: raised by
// a check that found a fault, kept until the user resolves it with a note
// (only that ever changes: its text gains the resolution).
const char* const Version3 = R"sql(
CREATE TABLE events (
    sequence INTEGER NOT NULL,       -- 1, 2, 3... in order of generation
    issuer_nif TEXT NOT NULL,
    installation TEXT NOT NULL,
    type TEXT NOT NULL,              -- TipoEvento: 01 ... 10, 90
    generated_at TEXT NOT NULL,      -- FechaHoraHusoGenEvento as written
    huella TEXT NOT NULL,
    previous_huella TEXT NOT NULL,   -- '' for the first event of the chain
    bytes BLOB NOT NULL,             -- the signed event exactly as stored
    PRIMARY KEY (issuer_nif, installation, sequence),
    UNIQUE (issuer_nif, installation, previous_huella)
);
CREATE INDEX events_by_time ON events (issuer_nif, installation, generated_at);
CREATE INDEX events_by_type ON events (issuer_nif, installation, type, sequence);

CREATE TABLE integrity_alarms (
    id INTEGER PRIMARY KEY,
    raised_at TEXT NOT NULL,
    resolved INTEGER NOT NULL DEFAULT 0 CHECK (resolved IN (0, 1)),
    alarm TEXT NOT NULL              -- what was found, and how it was resolved (JSON)
);

CREATE TRIGGER events_kept BEFORE DELETE ON events
    BEGIN SELECT RAISE(ABORT, 'events are never deleted'); END;
CREATE TRIGGER events_fixed BEFORE UPDATE ON events
    BEGIN SELECT RAISE(ABORT, 'an event is never changed'); END;
CREATE TRIGGER integrity_alarms_kept BEFORE DELETE ON integrity_alarms
    BEGIN SELECT RAISE(ABORT, 'integrity alarms are never deleted'); END;
CREATE TRIGGER integrity_alarms_fixed BEFORE UPDATE OF id, raised_at ON integrity_alarms
    BEGIN SELECT RAISE(ABORT, 'an integrity alarm is only ever resolved'); END;
CREATE TRIGGER integrity_alarms_resolved_once BEFORE UPDATE ON integrity_alarms
    WHEN OLD.resolved = 1
    BEGIN SELECT RAISE(ABORT, 'a resolved integrity alarm is never changed'); END;
)sql";

// When the next message may go to the tax agency, kept across restarts: one
// row, absent until the book first sends (a book that never sent sends at
// once).
const char* const Version4 = R"sql(
CREATE TABLE sending_schedule (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    next_allowed TEXT NOT NULL,      -- UTC, ISO 8601; '' when there is no wait
    wait_seconds INTEGER NOT NULL DEFAULT 0,
    failures INTEGER NOT NULL DEFAULT 0,
    held INTEGER NOT NULL DEFAULT 0 CHECK (held IN (0, 1))
);
)sql";

// Corrective invoices: each version of a corrective names the version of the
// invoice it corrects, as it stood when the corrective was issued.
const char* const Version5 = R"sql(
CREATE TABLE corrections (
    invoice_id INTEGER PRIMARY KEY REFERENCES invoices (id),  -- the corrective
    corrected_id INTEGER NOT NULL REFERENCES invoices (id)    -- the invoice it corrects
);
CREATE INDEX corrections_by_corrected ON corrections (corrected_id);
CREATE TRIGGER corrections_kept BEFORE DELETE ON corrections
    BEGIN SELECT RAISE(ABORT, 'corrections are never deleted'); END;
CREATE TRIGGER corrections_fixed BEFORE UPDATE ON corrections
    BEGIN SELECT RAISE(ABORT, 'corrections are never changed'); END;
)sql";

} // namespace

const QList<Migration>& migrations() {
    static const QList<Migration> list = {
        {1, Version1}, {2, Version2}, {3, Version3}, {4, Version4}, {5, Version5}};
    return list;
}

int latestVersion() {
    return migrations().back().version;
}

} // namespace BookSchema
