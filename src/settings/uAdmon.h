#pragma once

#include "settings/ConcellosCatalogue.h"

#include <QDialog>

// "Datos Administración": the three centres of a public administration, with
// the catalogue of stored administrations.
class TFormAdmon : public QDialog {
    Q_OBJECT
public:
    explicit TFormAdmon(const QString& appDir, QWidget* parent = nullptr);

    void setCentres(const AdministrationCentres& centres);
    AdministrationCentres centres() const;

    // 25 when accepted with the tick button, 0 otherwise.
    int Tag() const { return m_tag; }

private:
    QString m_appDir;
    AdministrationCentres m_centres;
    int m_tag = 0;
};
