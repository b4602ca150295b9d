#pragma once

#include <QDialog>

// "Acerca de ....": the product, its supplier, and the way to the two
// settings windows.
class TFormAcercaDe : public QDialog {
    Q_OBJECT
public:
    explicit TFormAcercaDe(const QString& appDir, QWidget* parent = nullptr);

private:
    QString m_appDir;
};
