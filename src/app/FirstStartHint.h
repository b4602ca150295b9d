#pragma once

#include <QLabel>

// A one-line banner over the invoice for as long as Registro.Ini holds no
// issuer: where a first-time user writes the data every invoice starts from.
class FirstStartHint : public QLabel {
    Q_OBJECT
public:
    explicit FirstStartHint(QWidget* parent = nullptr);

    // Shows the banner when the Registro.Ini of appDir names no issuer.
    void follow(const QString& appDir);
};
