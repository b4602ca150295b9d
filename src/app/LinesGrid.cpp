#include "app/LinesGrid.h"

#include "app/LinesGridModel.h"
#include "invoice/Memoria.h"
#include "invoice/VatTreatment.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"
#include "widgets/TypedLengthLimit.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>

QWidget* LinesDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const {
    m_index = index;
    if (index.column() == static_cast<int>(LineColumn::Calificacion)) {
        auto* list = new QComboBox(parent);
        list->setObjectName(QStringLiteral("CalificacionLinea"));
        for (int i = 0; i < VatTreatmentCount; ++i)
            list->addItem(vatTreatmentCaption(VatTreatment(i)), i);
        // The choice is the line's as soon as it is made: Enter then stores
        // the line as in any other cell.
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, list] { emit const_cast<LinesDelegate*>(this)->commitData(list); });
        m_editor = nullptr;
        m_list = list;
        return list;
    }
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    if (LinesGridModel::isNumeric(index.column()))
        editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    else
        new TypedLengthLimit(editor, InvoiceLine::DescriptionSize);
    m_editor = editor;
    m_list = nullptr;
    return editor;
}

void LinesDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index.data(Qt::EditRole).toInt());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void LinesDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                 const QModelIndex& index) const {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, list->currentIndex(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

bool LinesDelegate::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
            (keyEvent->modifiers() & Qt::ControlModifier)) {
            emit leavePressed(key == Qt::Key_Tab && !(keyEvent->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit enterPressed();
            return true;
        }
        if (key == Qt::Key_Escape) {
            emit escapePressed();
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

LinesGrid::LinesGrid(Memoria& lines, QWidget* parent)
    : QTableView(parent), m_lines(lines), m_model(new LinesGridModel(lines, this)),
      m_delegate(new LinesDelegate(this)) {
    setObjectName(QStringLiteral("SMDBGrid1"));
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAlternatingRowColors(false);
    setWordWrap(false);
    horizontalHeader()->setFixedHeight(24);
    horizontalHeader()->setHighlightSections(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setDefaultSectionSize(17);
    verticalHeader()->setMinimumSectionSize(17);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(16);
    for (int column = 0; column < LineColumnCount; ++column)
        setColumnWidth(column, LinesGridModel::columnWidth(column));
    // The description takes whatever width the window has to spare; it never
    // gets narrower than a useful minimum, where the grid scrolls sideways.
    horizontalHeader()->setMinimumSectionSize(40);
    horizontalHeader()->setSectionResizeMode(static_cast<int>(LineColumn::Descripcion),
                                             QHeaderView::Stretch);
    // The rows follow the cursor.
    setAutoScroll(true);

    connect(m_delegate, &LinesDelegate::enterPressed, this, [this] {
        if (commitOpenEditor())
            SMDBGrid1KeyPress();
    });
    connect(m_delegate, &LinesDelegate::escapePressed, this, &LinesGrid::cancelLine);
    connect(m_delegate, &LinesDelegate::leavePressed, this, &LinesGrid::leaveGrid);
    connect(&lines, &Memoria::currentChanged, this, &LinesGrid::followCurrentLine);
    // Lines read in (an import, a draft) are shown from the first one.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_lines.count() > 0 && !m_lines.isEditing())
            runGuarded(this, [&] { m_lines.moveTo(0); });
        followCurrentLine(m_lines.currentRow());
    });
    connect(qApp, &QApplication::focusChanged, this, &LinesGrid::focusMoved);
}

QLineEdit* LinesGrid::activeEditor() const {
    // A closed editor lingers until it is deleted; only an open one counts.
    return state() == QAbstractItemView::EditingState ? m_delegate->openEditor() : nullptr;
}

bool LinesGrid::refuses(const QModelIndex& index, QWidget* editor) {
    const auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit || !index.isValid() || !LinesGridModel::isNumeric(index.column()))
        return false;
    const QString message = LinesGridModel::cellProblem(index.column(), edit->text());
    if (message.isEmpty())
        return false;
    if (!m_reporting) {
        const QScopedValueRollback reporting(m_reporting, true);
        Prompts::instance().errorBox(this, withFullStop(message));
    }
    return true;
}

void LinesGrid::commitData(QWidget* editor) {
    if (refuses(m_delegate->editorIndex(), editor)) {
        // The cell keeps the typed text until it is corrected or cancelled.
        m_refused = true;
        return;
    }
    runGuarded(this, [&] { QTableView::commitData(editor); });
}

void LinesGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (m_refused) {
        m_refused = false;
        editor->setFocus();
        return;
    }
    QTableView::closeEditor(editor, hint);
}

bool LinesGrid::commitOpenEditor() {
    QLineEdit* editor = activeEditor();
    if (!editor)
        return true;
    if (refuses(m_delegate->editorIndex(), editor)) {
        editor->setFocus();
        return false;
    }
    QTableView::commitData(editor);
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

QString LinesGrid::openEditorProblem() const {
    const QLineEdit* editor = activeEditor();
    const QModelIndex index = m_delegate->editorIndex();
    if (!editor || !index.isValid() || !LinesGridModel::isNumeric(index.column()))
        return {};
    return LinesGridModel::cellProblem(index.column(), editor->text());
}

void LinesGrid::dropOpenEditor() {
    if (QLineEdit* editor = activeEditor())
        QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    else if (QWidget* list = m_delegate->openList(); list && state() == EditingState)
        QTableView::closeEditor(list, QAbstractItemDelegate::RevertModelCache);
}

void LinesGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (m_syncing) {
        QTableView::currentChanged(current, previous);
        if (current.isValid())
            m_lastColumn = current.column();
        return;
    }
    // A refused number keeps the cursor in its cell.
    QLineEdit* editor = activeEditor();
    if (editor && previous.isValid() && m_delegate->editorIndex() == previous &&
        refuses(previous, editor)) {
        {
            const QScopedValueRollback syncing(m_syncing, true);
            selectionModel()->setCurrentIndex(previous, QItemSelectionModel::ClearAndSelect);
        }
        editor->setFocus();
        return;
    }
    QTableView::currentChanged(current, previous);
    if (!current.isValid())
        return;
    m_lastColumn = current.column();
    if (previous.isValid() && current.column() != previous.column())
        SMDBGrid1ColExit();
    if (current.row() != m_lines.currentRow()) {
        const QScopedValueRollback syncing(m_syncing, true);
        runGuarded(this, [&] { m_lines.moveTo(current.row()); });
    }
    // Moving may have dropped or stored a line: follow where the table is.
    followCurrentLine(m_lines.currentRow());
}

void LinesGrid::followCurrentLine(int row) {
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex here = currentIndex();
    if (here.isValid() && here.row() == row)
        return;
    // A new line is typed from its description.
    const bool newLine = m_lines.state() == Memoria::State::Insert && row == m_lines.count();
    const int column = newLine          ? static_cast<int>(LineColumn::Descripcion)
                       : here.isValid() ? here.column()
                                        : m_lastColumn;
    const QScopedValueRollback syncing(m_syncing, true);
    setCurrentIndex(m_model->index(row, column));
}

void LinesGrid::goToColumn(int column) {
    const int row = currentIndex().isValid() ? currentIndex().row() : m_lines.currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    setCurrentIndex(m_model->index(row, column));
}

void LinesGrid::SMDBGrid1KeyPress() {
    const QModelIndex here = currentIndex();
    if (!here.isValid())
        return;
    const int next = here.column() + 1;
    if (next > static_cast<int>(LineColumn::Total)) {
        runGuarded(this, [&] {
            if (m_lines.isEditing())
                m_lines.post();
        });
        goToColumn(static_cast<int>(LineColumn::Descripcion));
    } else {
        goToColumn(next);
    }
}

void LinesGrid::SMDBGrid1ColExit() {
    if (m_lines.isEditing())
        m_lines.provisionalFigures();
}

void LinesGrid::SMDBGrid1DblClick() {
    runGuarded(this, [&] {
        if (!Prompts::instance().confirm(this, AppTitle,
                                         QStringLiteral("¿Desea eliminar la línea?")))
            return;
        dropOpenEditor();
        m_lines.deleteCurrent();
    });
}

void LinesGrid::cancelLine() {
    dropOpenEditor();
    runGuarded(this, [&] { m_lines.cancel(); });
}

void LinesGrid::appendLine() {
    // An untouched new line is already there to be filled.
    if (m_lines.state() == Memoria::State::Insert && !m_lines.isModified())
        return;
    if (!commitOpenEditor())
        return;
    runGuarded(this, [&] { m_lines.append(); });
}

void LinesGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SMDBGrid1KeyPress();
        return;
    case Qt::Key_Escape:
        cancelLine();
        return;
    case Qt::Key_Insert:
        appendLine();
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        // Ctrl+Tab and Ctrl+Shift+Tab always leave the grid, wherever the cell.
        if (event->modifiers() & Qt::ControlModifier) {
            leaveGrid(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
            return;
        }
        // Tab walks the cells; past the last one (or before the first) it
        // leaves the grid, so the keyboard never gets stuck in it.
        const QModelIndex here = currentIndex();
        const bool back = event->key() == Qt::Key_Backtab;
        const bool atEnd = !here.isValid() || (back ? here.row() == 0 && here.column() == 0
                                                    : here.row() == m_model->rowCount() - 1 &&
                                                          here.column() == LineColumnCount - 1);
        if (atEnd) {
            QWidget::focusNextPrevChild(!back); // the view's own would send Tab here again
            return;
        }
        break;
    }
    case Qt::Key_Down:
        if (event->modifiers() == Qt::NoModifier &&
            (m_model->rowCount() == 0 || currentIndex().row() == m_model->rowCount() - 1)) {
            appendLine();
            return;
        }
        break;
    case Qt::Key_Delete:
        // The grid's own delete combination.
        if (event->modifiers() & Qt::ControlModifier) {
            SMDBGrid1DblClick();
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

void LinesGrid::leaveGrid(bool forward) {
    // An open cell is taken first; a refused number keeps the cursor in it.
    if (!commitOpenEditor())
        return;
    QWidget::focusNextPrevChild(forward); // the view's own would stay among the cells
}

void LinesGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    SMDBGrid1DblClick();
}

void LinesGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    // An empty grid offers a line to type into; it goes again if left untouched.
    if (m_lines.isOpen() && m_lines.rowCount() == 0 && event->reason() != Qt::PopupFocusReason &&
        event->reason() != Qt::ActiveWindowFocusReason)
        runGuarded(this, [&] { m_lines.append(); });
    // Tab from the boxes above comes in at the description, as one reads.
    else if (event->reason() == Qt::TabFocusReason && currentIndex().isValid())
        goToColumn(static_cast<int>(LineColumn::Descripcion));
}

void LinesGrid::focusMoved(QWidget* from, QWidget* to) {
    if (!to || to == this || isAncestorOf(to))
        return;
    if (!from || (from != this && !isAncestorOf(from)))
        return;
    // Another window taking the focus (a message box) is not leaving the grid.
    if (to->window() != window())
        return;
    if (m_lines.state() == Memoria::State::Insert && !m_lines.isModified())
        runGuarded(this, [&] { m_lines.cancel(); });
}
