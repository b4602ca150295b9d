#include "app/MainMenus.h"

#include "app/uPrincipal.h"
#include "widgets/DialogKit.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <algorithm>
#include <iterator>

namespace {

// The menu bar and its shortcuts. A command with a picture also has a button
// in the bar, with a short caption under the picture; its tooltip is the
// menu's text and shortcut. Adding a command is one line here and a handler.
struct MenuEntry {
    TForm2::Menu menu;
    const char* name;
    const char* text;     // with its accelerator
    const char* shortcut; // portable text, "" for none
    const char* picture;  // button picture, "" for no button
    const char* button;   // caption under the picture
    void (TForm2::*handler)();
    bool separatorBefore = false;
};

using M = TForm2::Menu;
const MenuEntry MenuEntries[] = {
    {M::Archivo, "actionNuevaFactura", "&Nueva factura", "Ctrl+N", "", "", &TForm2::newInvoice},
    {M::Archivo, "actionAbrir", "&Abrir…", "Ctrl+O", "", "", &TForm2::openInvoiceFile},
    {M::Archivo, "actionCapturarDatos", "&Capturar datos", "Ctrl+I", "import", "Capturar",
     &TForm2::AdvSmoothButton2Click},
    {M::Archivo, "actionGuardarBorrador", "&Guardar borrador", "Ctrl+S", "", "", &TForm2::saveDraft,
     true},
    {M::Archivo, "actionGenerarFactura", "G&enerar factura", "Ctrl+G", "document", "Generar",
     &TForm2::Button2Click},
    {M::Archivo, "actionSalir", "&Salir", "Ctrl+Q", "exit", "Salir", &TForm2::AdvSmoothButton4Click,
     true},
    {M::Factura, "actionComprobarFactura", "C&omprobar factura", "Ctrl+K", "check", "Comprobar",
     &TForm2::checkInvoice},
    {M::Factura, "actionFirmarFactura", "&Firmar factura", "Ctrl+F", "sign", "Firmar",
     &TForm2::Button4Click},
    {M::Factura, "actionComprobarFirma", "&Comprobar firma…", "Ctrl+Shift+F", "", "",
     &TForm2::ComprobarFirmaClick},
    {M::Factura, "actionValidar", "&Validar", "Ctrl+L", "validate", "Validar",
     &TForm2::VALIDARClick},
    {M::Factura, "VerImprimir", "Ver / &Imprimir", "Ctrl+P", "print", "Ver / Imprimir",
     &TForm2::VerImprimirClick, true},
    {M::Factura, "AbrirFacturaXml", "Abrir factura &XML…", "Ctrl+Shift+P", "", "",
     &TForm2::AbrirFacturaXmlClick},
    {M::Factura, "actionLibroFacturas", "&Libro de facturas", "Ctrl+B", "", "",
     &TForm2::LibroFacturasClick, true},
    {M::Configuracion, "actionMisDatos", "&Mis datos", "", "", "", &TForm2::editIssuerSettings},
    {M::Configuracion, "actionAdministraciones", "&Administraciones", "", "", "",
     &TForm2::editAdministrations},
    {M::Configuracion, "actionFirma", "&Firma", "", "", "", &TForm2::editSigningSettings},
    {M::Configuracion, "actionRegistroFacturacion", "&Registro de facturación", "", "", "",
     &TForm2::editRecordSettings},
    {M::Ayuda, "actionAcercaDe", "&Acerca de", "F1", "contact", "Acerca de", &TForm2::Button5Click},
    {M::Ayuda, "actionDeclaracionResponsable", "&Declaración responsable", "", "", "",
     &TForm2::DeclaracionResponsableClick},
    {M::Ayuda, "actionEstadoRegistros", "&Registro de facturación", "Ctrl+Shift+R", "", "",
     &TForm2::RegistroFacturacionClick},
};

// Commands that work on the invoice on screen: what is being typed is taken
// first. Those that replace or close it ask first instead (mayLeaveInvoice).
void (TForm2::*const CommitFirst[])() = {&TForm2::saveDraft, &TForm2::Button2Click,
                                         &TForm2::VerImprimirClick, &TForm2::Button4Click,
                                         &TForm2::checkInvoice};

QAction* makeAction(const MenuEntry& entry, QObject* parent) {
    auto* action = new QAction(QString::fromUtf8(entry.text), parent);
    action->setObjectName(QLatin1String(entry.name));
    const QKeySequence shortcut(QString::fromLatin1(entry.shortcut));
    QString hint = action->text().remove(u'&');
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The shortcut works wherever the focus is in this window.
        action->setShortcutContext(Qt::WindowShortcut);
        hint += QStringLiteral(" (%1)").arg(shortcut.toString(QKeySequence::NativeText));
    }
    action->setToolTip(hint);
    if (*entry.picture) {
        action->setIcon(
            QIcon(QStringLiteral(":/mainwindow/%1.svg").arg(QLatin1String(entry.picture))));
        action->setIconText(QString::fromUtf8(entry.button));
    }
    return action;
}

} // namespace

QList<QAction*> MainMenus::build(TForm2& window, QMenu* (&menus)[4],
                                 const std::function<bool()>& commitPending) {
    static const char* const titles[] = {"&Archivo", "&Factura", "&Configuración", "A&yuda"};
    static const char* const names[] = {"menuArchivo", "menuFactura", "menuConfiguracion",
                                        "menuAyuda"};
    for (int i = 0; i < 4; ++i) {
        menus[i] = window.menuBar()->addMenu(QString::fromUtf8(titles[i]));
        menus[i]->setObjectName(QLatin1String(names[i]));
    }
    QList<QAction*> actions;
    for (const MenuEntry& entry : MenuEntries) {
        QMenu* target = menus[static_cast<int>(entry.menu)];
        if (entry.separatorBefore)
            target->addSeparator();
        QAction* action = makeAction(entry, &window);
        const auto handler = entry.handler;
        const bool commitFirst = std::find(std::begin(CommitFirst), std::end(CommitFirst),
                                           handler) != std::end(CommitFirst);
        QObject::connect(action, &QAction::triggered, &window,
                         [&window, handler, commitFirst, commitPending] {
                             if (commitFirst && !commitPending())
                                 return;
                             (window.*handler)();
                         });
        target->addAction(action);
        window.addAction(action);
        actions << action;
    }
    return actions;
}

QWidget* MainMenus::buildButtonBar(QWidget* parent, const QWidget& window) {
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("Panel1"));
    DialogKit::makeWhite(bar);
    bar->setFixedHeight(60);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    struct Button {
        const char* name;
        const char* action;
        int spaceBefore; // 0, or a gap; -1 for all the spare width
    };
    // The invoice's four steps where they always were, then the two that look at it.
    const Button buttons[] = {
        {"AdvSmoothButton2", "actionCapturarDatos", 0},
        {"AdvSmoothButton3", "actionGenerarFactura", 0},
        {"AdvSmoothButton1", "actionFirmarFactura", 0},
        {"AdvSmoothButton5", "actionValidar", 0},
        {"ComprobarButton", "actionComprobarFactura", 24},
        {"VerImprimirButton", "VerImprimir", 0},
        {"AdvSmoothButton6", "actionAcercaDe", -1},
        {"AdvSmoothButton4", "actionSalir", 0},
    };
    for (const Button& b : buttons) {
        if (b.spaceBefore < 0)
            row->addStretch(1);
        else if (b.spaceBefore > 0)
            row->addSpacing(b.spaceBefore);
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(b.name));
        auto* action = window.findChild<QAction*>(QLatin1String(b.action));
        Q_ASSERT(action);
        button->setDefaultAction(action);
        // A caption under each picture: no one has to guess what a picture does.
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(32, 32));
        button->setFixedSize(100, 58);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAccessibleName(action->toolTip());
        row->addWidget(button);
    }
    return bar;
}
