#include "app/LinesGridModel.h"

#include "invoice/AmountLimits.h"
#include "invoice/Memoria.h"

#include <QBrush>
#include <QColor>

namespace {

struct ColumnInfo {
    const char* field;
    const char* title;
    int width;
};

const ColumnInfo Columns[LineColumnCount] = {
    {"Descripcion", "DESCRIPCIÓN", 455},
    {"Cantidad", "CANT.", 55},
    {"Precio", "PRECIO", 60},
    {"Importe", "IMPORTE", 80},
    {"Dto", "DTO %", 50},
    {"DESCUENTO", "DTO \u20ac", 70},
    {"Total", "TOTAL", 80},
    {"iva", "I.V.A. %", 55},
    {"CALIFICACION", "CALIF.", 50},
};

// Amounts: "##,##0.00".
QString money(const Decimal& value) {
    return value.displayText(2, 2);
}

// Quantities, prices and rates show every decimal they have, at least two.
QString exact(const Decimal& value) {
    return value.displayText(2, Decimal::Scale);
}

// The general form: every decimal, decimal comma, no grouping.
QString general(const Decimal& value) {
    return value.editText();
}

Decimal numberAt(const InvoiceLine& line, LineColumn column) {
    switch (column) {
    case LineColumn::Cantidad:
        return line.quantity;
    case LineColumn::Precio:
        return line.price;
    case LineColumn::Importe:
        return line.amount;
    case LineColumn::Dto:
        return line.discountPct;
    case LineColumn::Descuento:
        return line.discountAmount;
    case LineColumn::Total:
        return line.total;
    case LineColumn::Iva:
        return line.vatRate;
    case LineColumn::Descripcion:
    case LineColumn::Calificacion:
        break;
    }
    return Decimal();
}

} // namespace

LinesGridModel::LinesGridModel(Memoria& lines, QObject* parent)
    : QAbstractTableModel(parent), m_lines(lines) {
    // The table reports after the fact; the view only needs to hear of it.
    connect(&lines, &Memoria::rowsReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&lines, &Memoria::rowInserted, this, [this](int row) {
        beginInsertRows({}, row, row);
        endInsertRows();
    });
    // A removed row may have been in the middle; rebuild the view instead of
    // letting it guess positions that no longer exist.
    connect(&lines, &Memoria::rowRemoved, this, [this](int) {
        beginResetModel();
        endResetModel();
    });
    connect(&lines, &Memoria::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount())
            emit dataChanged(index(row, 0), index(row, LineColumnCount - 1));
        emit headerDataChanged(Qt::Vertical, 0, qMax(0, rowCount() - 1));
    });
    connect(&lines, &Memoria::currentChanged, this, [this](int) {
        if (rowCount() > 0)
            emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    });
}

int LinesGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_lines.rowCount();
}

int LinesGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LineColumnCount;
}

QString LinesGridModel::fieldName(int column) {
    return QLatin1String(Columns[qBound(0, column, LineColumnCount - 1)].field);
}

bool LinesGridModel::isNumeric(int column) {
    return column != static_cast<int>(LineColumn::Descripcion) &&
           column != static_cast<int>(LineColumn::Calificacion);
}

int LinesGridModel::columnWidth(int column) {
    return Columns[column].width;
}

AmountLimits::NumberField LinesGridModel::numberField(int column) {
    using AmountLimits::NumberField;
    switch (static_cast<LineColumn>(column)) {
    case LineColumn::Cantidad:
        return NumberField::Cantidad;
    case LineColumn::Precio:
        return NumberField::Precio;
    case LineColumn::Importe:
        return NumberField::Importe;
    case LineColumn::Dto:
        return NumberField::Dto;
    case LineColumn::Descuento:
        return NumberField::Descuento;
    case LineColumn::Total:
        return NumberField::Total;
    case LineColumn::Iva:
    case LineColumn::Descripcion:
    case LineColumn::Calificacion:
        break;
    }
    return NumberField::Iva;
}

QString LinesGridModel::cellProblem(int column, const QString& text) {
    if (!isNumeric(column) || text.trimmed().isEmpty())
        return QString();
    return AmountLimits::typedProblem(numberField(column), text, ValueForms::readTypedNumber(text));
}

std::optional<Decimal> LinesGridModel::parseCell(int column, const QString& text) {
    if (text.trimmed().isEmpty())
        return Decimal();
    if (!cellProblem(column, text).isEmpty())
        return std::nullopt;
    return ValueForms::readTypedNumber(text).value;
}

QVariant LinesGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_lines.rowCount())
        return {};
    const InvoiceLine& line = m_lines.rowLine(index.row());
    const auto column = static_cast<LineColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const bool edit = role == Qt::EditRole;
        if (column == LineColumn::Descripcion)
            return line.description;
        if (column == LineColumn::Calificacion)
            return edit ? QVariant(int(line.treatment)) : vatTreatmentCode(line.treatment);
        if (column == LineColumn::Descuento && !line.discountAmountSet)
            return QString();
        const Decimal value = numberAt(line, column);
        if (edit)
            return general(value);
        switch (column) {
        case LineColumn::Cantidad:
        case LineColumn::Precio:
        case LineColumn::Dto:
        case LineColumn::Iva:
            return exact(value);
        default:
            return money(value);
        }
    }
    case Qt::ToolTipRole:
        if (column == LineColumn::Calificacion)
            return vatTreatmentCaption(line.treatment);
        return {};
    case Qt::TextAlignmentRole:
        if (column == LineColumn::Calificacion)
            return int(Qt::AlignCenter);
        return int(Qt::AlignVCenter |
                   (column == LineColumn::Descripcion ? Qt::AlignLeft : Qt::AlignRight));
    default:
        return {};
    }
}

QVariant LinesGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= LineColumnCount)
            return {};
        if (role == Qt::DisplayRole)
            return QString::fromUtf8(Columns[section].title);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return {};
    }
    // The row indicator: where the cursor is and whether the line is edited.
    if (role == Qt::DisplayRole) {
        if (section != m_lines.currentRow())
            return QString();
        switch (m_lines.state()) {
        case Memoria::State::Insert:
            return QStringLiteral("*");
        case Memoria::State::Edit:
            return QStringLiteral("I");
        default:
            return QStringLiteral("\u25b6");
        }
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags LinesGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool LinesGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_lines.rowCount())
        return false;
    if (index.row() != m_lines.currentRow())
        m_lines.moveTo(index.row());
    const InvoiceLine* current = m_lines.currentLine();
    if (!current)
        return false;
    InvoiceLine line = *current;
    const auto column = static_cast<LineColumn>(index.column());
    const QString text = value.toString();
    if (column == LineColumn::Descripcion) {
        if (text == line.description)
            return true;
        line.description = text.left(InvoiceLine::DescriptionSize);
    } else if (column == LineColumn::Calificacion) {
        bool isNumber = false;
        const int chosen = value.toInt(&isNumber);
        const std::optional<VatTreatment> treatment =
            isNumber && chosen >= 0 && chosen < VatTreatmentCount
                ? std::optional(VatTreatment(chosen))
                : vatTreatmentFromCode(text);
        if (!treatment)
            return false;
        if (*treatment == line.treatment)
            return true;
        line.treatment = *treatment;
        // Only a taxed line has a rate.
        if (*treatment != VatTreatment::S1)
            line.vatRate = Decimal();
    } else {
        // An unchanged cell is no edit: leaving it must not start one.
        if (data(index, Qt::EditRole).toString() == text)
            return true;
        const auto number = parseCell(index.column(), text);
        if (!number)
            return false;
        if (column == LineColumn::Descuento) {
            line.discountAmountSet = !text.trimmed().isEmpty();
            line.discountAmount = *number;
        } else {
            Decimal* target = nullptr;
            switch (column) {
            case LineColumn::Cantidad:
                target = &line.quantity;
                break;
            case LineColumn::Precio:
                target = &line.price;
                break;
            case LineColumn::Importe:
                target = &line.amount;
                break;
            case LineColumn::Dto:
                target = &line.discountPct;
                break;
            case LineColumn::Total:
                target = &line.total;
                break;
            case LineColumn::Iva:
                target = &line.vatRate;
                break;
            default:
                return false;
            }
            *target = *number;
            // An exempt line is never taxed: another rate clears the mark.
            if (column == LineColumn::Iva && !number->isZero())
                line.treatment = VatTreatment::S1;
        }
    }
    m_lines.setLine(line);
    return true;
}
