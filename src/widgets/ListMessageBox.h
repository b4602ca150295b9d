#pragma once

#include <QDialog>
#include <QMessageBox>

// A message too long for a message box on a small screen, such as the
// check's list of findings: its opening line and a closing question stay in
// view, the list between them scrolls (and can be selected and copied), and
// the buttons are always on the screen.
class ListMessageBox : public QDialog {
    Q_OBJECT
public:
    ListMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                   QWidget* parent = nullptr);

    // Details the person opens with "Mostrar los detalles…"; none when empty.
    void setDetails(const QString& details);

    // Whether text needs this box rather than a plain message box.
    static bool needed(const QString& text);

    // Shows the box and returns the button pressed (Escape: Cancel, or the
    // only button).
    QMessageBox::StandardButton ask();

private:
    class QDialogButtonBox* m_box = nullptr;
    class QPlainTextEdit* m_details = nullptr;
    QMessageBox::StandardButtons m_buttons;
    QMessageBox::StandardButton m_pressed = QMessageBox::NoButton;
};
