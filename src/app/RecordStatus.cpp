#include "app/RecordStatus.h"

#include <QHBoxLayout>
#include <QLabel>

RecordStatus::RecordStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RecordStatus"));
    m_alarm = new QLabel(this);
    m_alarm->setObjectName(QStringLiteral("IntegrityAlarm"));
    m_alarm->setStyleSheet(QStringLiteral("color: white; background: #c00000; font-weight: bold; "
                                          "padding: 0 4px;"));
    m_alarm->hide();
    m_mode = new QLabel(this);
    m_mode->setObjectName(QStringLiteral("RecordMode"));
    m_mode->hide();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_alarm);
    layout->addWidget(m_mode);
}

void RecordStatus::setMode(const QString& mode, bool noCertificate) {
    m_mode->setText(noCertificate ? mode + QStringLiteral(" (sin certificado: no se emite)")
                                  : mode);
    m_mode->setToolTip(noCertificate
                           ? QStringLiteral("Sin la contraseña del certificado no se puede firmar "
                                            "ni emitir ninguna factura en esta sesión")
                           : QStringLiteral("Modo del registro de facturación"));
    m_mode->setStyleSheet(noCertificate ? QStringLiteral("color: #a00000; font-weight: bold;")
                                        : QStringLiteral("font-weight: bold;"));
    m_mode->setVisible(!mode.isEmpty());
}

void RecordStatus::setAlarm(const QString& text) {
    // The whole text in the tooltip; the bar keeps a short form.
    m_alarm->setText(text.isEmpty() ? QString() : QStringLiteral("ALARMA DE INTEGRIDAD"));
    m_alarm->setToolTip(text);
    m_alarm->setVisible(!text.isEmpty());
}

QString RecordStatus::mode() const {
    return m_mode->isHidden() ? QString() : m_mode->text();
}

QString RecordStatus::alarm() const {
    return m_alarm->toolTip();
}
