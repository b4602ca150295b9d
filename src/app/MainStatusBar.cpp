#include "app/MainStatusBar.h"

#include "app/RecordStatus.h"

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
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("RecordNotice"));
    m_notice->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    m_notice->setWordWrap(false);
    m_notice->hide();
    addPermanentWidget(m_notice);
    addPermanentWidget(m_records = new RecordStatus(this));
}

void MainStatusBar::setNotice(const QString& text) {
    m_notice->setText(text);
    m_notice->setToolTip(text);
    m_notice->setVisible(!text.isEmpty());
}

QString MainStatusBar::notice() const {
    return m_notice->text();
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
