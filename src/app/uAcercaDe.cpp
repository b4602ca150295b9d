#include "app/uAcercaDe.h"

#include "common/AppVersion.h"

#include "app/uAutoFirma.h"
#include "app/uRegistro.h"
#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"

#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QSvgRenderer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The supplier's logo, drawn at its height and scaled to fit the width.
QPixmap logoPixmap(int maxWidth, int height, qreal ratio) {
    QSvgRenderer renderer(DialogKit::resourcePath(QStringLiteral("logo.svg")));
    if (!renderer.isValid())
        return {};
    QSizeF size = renderer.defaultSize();
    size.scale(maxWidth, height, Qt::KeepAspectRatio);
    QPixmap pixmap((size * ratio).toSize());
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    return pixmap;
}

} // namespace

TFormAcercaDe::TFormAcercaDe(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_appDir(appDir) {
    setObjectName(QStringLiteral("FormAcercaDe"));
    setWindowTitle(QStringLiteral("Acerca de ...."));
    DialogKit::frameDialog(this, 777, 503);
    DialogKit::makeWhite(this);
    buildLayout();
}

QStringList TFormAcercaDe::contactLines() {
    QFile file(DialogKit::resourcePath(QStringLiteral("contacto.txt")));
    QStringList lines;
    if (file.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

void TFormAcercaDe::buildLayout() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 6, 0, 0);
    column->setSpacing(0);

    auto* title = new QLabel(
        QStringLiteral("Solución muy simple y fácil para generación de Factura Electrónica "
                       "Española."),
        this);
    title->setObjectName(QStringLiteral("Label1"));
    title->setFont(DialogKit::windowFont(12));
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    column->addSpacing(41);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setAlignment(Qt::AlignCenter);
    logo->setFixedHeight(293);
    logo->setPixmap(logoPixmap(777, 293, devicePixelRatioF()));
    column->addWidget(logo);

    auto* contact = new QLabel(contactLines().join(QLatin1Char('\n')), this);
    contact->setObjectName(QStringLiteral("Label2"));
    contact->setFont(DialogKit::windowFont(12));
    contact->setAlignment(Qt::AlignCenter);
    contact->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(contact, 1);

    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->setFixedHeight(65);
    DialogKit::makeWhite(bar);
    auto* buttons = new QHBoxLayout(bar);
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->setSpacing(0);
    AdvSmoothButton2 =
        DialogKit::pictureButton(bar, QStringLiteral("AdvSmoothButton2"), QStringLiteral("at-sign"),
                                 QStringLiteral("AutoFirma"), QSize(70, 61));
    AdvSmoothButton1 = DialogKit::pictureButton(bar, QStringLiteral("AdvSmoothButton1"),
                                                QStringLiteral("handshake"),
                                                QStringLiteral("Datos de Registro"), QSize(70, 61));
    AdvSmoothButton4 = DialogKit::pictureButton(bar, QStringLiteral("AdvSmoothButton4"),
                                                QStringLiteral("exit"), QString(), QSize(70, 61));
    AdvSmoothButton4->setAccessibleName(QStringLiteral("Salir"));
    buttons->addWidget(AdvSmoothButton2);
    buttons->addSpacing(281);
    buttons->addWidget(AdvSmoothButton1);
    // The version, once, in the free space of the button bar.
    auto* version = new QLabel(GetVersionText(), bar);
    version->setObjectName(QStringLiteral("LabelVersion"));
    version->setFont(DialogKit::windowFont(10));
    version->setAlignment(Qt::AlignCenter);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    buttons->addWidget(version, 1);
    buttons->addWidget(AdvSmoothButton4);
    column->addWidget(bar);

    connect(AdvSmoothButton2, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton2Click(); }); });
    connect(AdvSmoothButton1, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton1Click(); }); });
    connect(AdvSmoothButton4, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { AdvSmoothButton4Click(); }); });
}

void TFormAcercaDe::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_centred && !event->spontaneous()) {
        DialogKit::centreOnScreen(this);
        m_centred = true;
    }
}

void TFormAcercaDe::AdvSmoothButton2Click() {
    TFormAutoFirma window(m_appDir, this, m_programs);
    window.exec();
}

void TFormAcercaDe::AdvSmoothButton1Click() {
    TFormRegistro window(m_appDir, this);
    window.exec();
}

void TFormAcercaDe::AdvSmoothButton4Click() {
    close();
}
