#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

class LinesGridModel;
class Memoria;

// Cell editors of the lines grid: a plain line edit that hands Enter and Esc
// to the grid instead of acting on them itself; the treatment is chosen from
// a list that takes the choice into the line at once.
class LinesDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    QLineEdit* openEditor() const { return m_editor; }
    // The treatment's list while it is open.
    QWidget* openList() const { return m_list; }
    QModelIndex editorIndex() const { return m_index; }

signals:
    void enterPressed();
    void escapePressed();
    // Ctrl+Tab (forward) or Ctrl+Shift+Tab.
    void leavePressed(bool forward);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    mutable QPointer<QLineEdit> m_editor;
    mutable QPointer<QWidget> m_list;
    mutable QPersistentModelIndex m_index;
};

// SMDBGrid1: the invoice lines. Enter walks the line and stores it, leaving
// a column works the provisional figures out, a number that is not one is
// refused when its cell is left, a double click deletes a line.
class LinesGrid : public QTableView {
    Q_OBJECT
public:
    explicit LinesGrid(Memoria& lines, QWidget* parent = nullptr);

    Memoria& lines() const { return m_lines; }

    // Enter in the grid.
    void SMDBGrid1KeyPress();
    // The cursor left a column.
    void SMDBGrid1ColExit();
    // Asks and deletes the current line.
    void SMDBGrid1DblClick();
    // Esc: the open cell and the line go back to what was stored.
    void cancelLine();
    // Down past the last line or Insert: a new line at the end.
    void appendLine();
    // The cell editor while a cell is being edited.
    QLineEdit* activeEditor() const;
    // Takes what an open cell editor holds into the line. False when the text
    // was refused (the person has been told).
    bool commitOpenEditor();
    // Why the open cell's text would be refused; empty when it would not (or
    // no cell is open).
    QString openEditorProblem() const;
    // Closes the open cell, its text dropped.
    void dropOpenEditor();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    bool refuses(const QModelIndex& index, QWidget* editor);
    void followCurrentLine(int row);
    void goToColumn(int column);
    void leaveGrid(bool forward);
    void focusMoved(QWidget* from, QWidget* to);

    Memoria& m_lines;
    LinesGridModel* m_model;
    LinesDelegate* m_delegate;
    bool m_syncing = false;
    bool m_refused = false;
    bool m_reporting = false;
    int m_lastColumn = 0;
};
