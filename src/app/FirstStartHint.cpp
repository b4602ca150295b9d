#include "app/FirstStartHint.h"

#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

FirstStartHint::FirstStartHint(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("FirstStartHint"));
    setText(QStringLiteral("Escriba sus datos en Configuración > Mis datos (botón «Editar mis "
                           "datos…»): cada factura empieza con ellos."));
    setStyleSheet(QStringLiteral("QLabel { background: #fff4c2; color: #4a3b00; padding: 4px 8px; "
                                 "border-bottom: 1px solid #e0c870; }"));
    hide();
}

void FirstStartHint::follow(const QString& appDir) {
    const IssuerSettings issuer = IssuerSettings::read(IniFile(AppFiles::registroIni(appDir)));
    // What the window loads as the issuer: a kind and a name.
    setVisible(issuer.personLetter().isEmpty() || issuer.name.trimmed().isEmpty());
}
