#include "app/uAcercaDe.h"

TFormAcercaDe::TFormAcercaDe(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormAcercaDe"));
    setWindowTitle(QStringLiteral("Acerca de ...."));
}
