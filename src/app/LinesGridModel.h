#pragma once

#include "app/LineColumn.h"
#include "invoice/AmountLimits.h"
#include "invoice/InvoiceLine.h"

#include <QAbstractTableModel>
#include <optional>

class Memoria;

// The columns of the lines grid over the lines table. Numbers show as
// "1.234,50"; while a cell is edited it holds the plain number with a decimal
// comma ("1234,5"). The treatment shows its code ("E6") and is edited as its
// number in VatTreatment.
class LinesGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LinesGridModel(Memoria& lines, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The field a column shows, as the refusal message names it.
    static QString fieldName(int column);
    static bool isNumeric(int column);
    // The Spanish message for a text typed into a numeric cell, empty when
    // the text is acceptable (an empty cell reads as 0).
    static QString cellProblem(int column, const QString& text);
    // What a typed numeric cell means: empty is 0; nothing when refused.
    static std::optional<Decimal> parseCell(int column, const QString& text);
    static AmountLimits::NumberField numberField(int column);
    static int columnWidth(int column);

private:
    Memoria& m_lines;
};
