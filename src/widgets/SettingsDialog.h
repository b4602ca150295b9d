#pragma once

#include <QDialog>
#include <functional>

class QAbstractButton;

// What the settings windows have in common: centred on their first showing,
// a handler run on every showing that is not the window coming back from
// minimised, Escape that closes nothing (only the buttons and the close box
// close them), and buttons whose handlers run inside the error guard.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    // Runs, guarded, each time the window is shown; nothing by default.
    virtual void shown() {}
    // Runs handler inside the error guard whenever button is clicked.
    void onClicked(QAbstractButton* button, std::function<void()> handler);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_centred = false;
};
