#include "app/MainStatusBar.h"

#include <QLabel>
#include <QProgressBar>

MainStatusBar::MainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(true);
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("BusyIndicator"));
    m_busy->setRange(0, 0); // no known end: the bar moves to and fro
    m_busy->setTextVisible(false);
    m_busy->setFixedWidth(120);
    m_busy->setMaximumHeight(14);
    m_busy->hide();
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("StatusText"));
    // The paths shown can be selected and copied.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setMinimumWidth(0);
    addWidget(m_busy);
    addWidget(m_text, 1);
}

void MainStatusBar::report(const QString& text) {
    m_text->setText(text);
    m_text->setToolTip(text);
}

QString MainStatusBar::text() const {
    return m_text->text();
}

void MainStatusBar::setBusy(bool busy, const QString& text) {
    m_busy->setVisible(busy);
    if (!text.isEmpty())
        report(text);
}
