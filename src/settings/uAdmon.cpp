#include "settings/uAdmon.h"

TFormAdmon::TFormAdmon(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormAdmon"));
    setWindowTitle(QStringLiteral("Datos Administración"));
}

void TFormAdmon::setCentres(const AdministrationCentres& centres) { m_centres = centres; }

AdministrationCentres TFormAdmon::centres() const { return m_centres; }
