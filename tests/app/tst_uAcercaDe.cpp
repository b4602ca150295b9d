#include "WindowTestCase.h"
#include "app/uAcercaDe.h"
#include "app/uAutoFirma.h"
#include "app/uRegistro.h"
#include "signing/InstalledPrograms.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

class FakePrograms final : public InstalledPrograms {
public:
    QStringList displayNames() const override { return {QStringLiteral("AutoFirma")}; }
};

// Runs inside the nested loop of a modal window: notes which window is
// modal on top, lets the caller look at it, then presses its close button.
class ModalProbe : public QObject {
public:
    std::function<void(QDialog*)> inspect;
    QString closeButton;
    QString seenClass;
    bool seenModal = false;

    void start() {
        QTimer::singleShot(0, this, [this] { poll(0); });
    }

private:
    void poll(int attempt) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (attempt < 200)
                QTimer::singleShot(10, this, [this, attempt] { poll(attempt + 1); });
            return;
        }
        seenClass = QString::fromLatin1(dialog->metaObject()->className());
        seenModal = dialog->isModal();
        if (inspect)
            inspect(dialog);
        if (auto* button = dialog->findChild<QToolButton*>(closeButton))
            button->click();
        else
            dialog->reject();
    }
};

} // namespace

class tst_uAcercaDe : public WindowTestCase {
    Q_OBJECT

private slots:
    void init() { startWindowTest(); }
    void cleanup() { endWindowTest(); }

    void showsProductAndSupplier() {
        TFormAcercaDe w(m_dir.path());
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Acerca de ...."));
        QCOMPARE(w.size(), QSize(777, 503));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Solución muy simple y fácil para generación de Factura "
                                "Electrónica Española."));
        // Our own logo and contact text, four lines, from the resources.
        const QLabel* logo = w.findChild<QLabel*>(QStringLiteral("Image1"));
        QVERIFY(!logo->pixmap().isNull());
        QCOMPARE(logo->height(), 293);
        QCOMPARE(TFormAcercaDe::contactLines().size(), 4);
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 TFormAcercaDe::contactLines().join(u'\n'));
    }

    void pictureButtons_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("hint");
        QTest::newRow("AutoFirma") << "AdvSmoothButton2"
                                   << "AutoFirma";
        QTest::newRow("issuer data") << "AdvSmoothButton1"
                                     << "Datos de Registro";
        QTest::newRow("exit") << "AdvSmoothButton4"
                              << "";
    }
    void pictureButtons() {
        QFETCH(QString, name);
        QFETCH(QString, hint);
        TFormAcercaDe w(m_dir.path());
        auto* button = w.findChild<QToolButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->toolTip(), hint);
        QCOMPARE(button->size(), QSize(70, 61));
        QVERIFY(button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }

    // Each settings window opens modally on top and is gone once closed.
    void opensSettingsWindows_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("caption");
        QTest::newRow("AutoFirma") << "AdvSmoothButton2"
                                   << "TFormAutoFirma"
                                   << "Firma";
        QTest::newRow("issuer data") << "AdvSmoothButton1"
                                     << "TFormRegistro"
                                     << "Registro Aplicación";
    }
    void opensSettingsWindows() {
        QFETCH(QString, button);
        QFETCH(QString, windowClass);
        QFETCH(QString, caption);
        FakePrograms programs;
        TFormAcercaDe w(m_dir.path());
        w.setInstalledPrograms(&programs);
        w.show();

        ModalProbe probe;
        probe.closeButton = QStringLiteral("AdvSmoothButton3"); // "Cerrar" in both
        QString seenCaption;
        QPointer<QDialog> opened;
        probe.inspect = [&](QDialog* dialog) {
            seenCaption = dialog->windowTitle();
            opened = dialog;
            QCOMPARE(dialog->parentWidget(), &w);
        };
        probe.start();
        w.findChild<QToolButton*>(button)->click(); // returns when the window closed

        QCOMPARE(probe.seenClass, windowClass);
        QVERIFY(probe.seenModal);
        QCOMPARE(seenCaption, caption);
        QVERIFY(opened.isNull()); // destroyed
        QVERIFY(w.isVisible());
        QVERIFY(m_prompts.errors().isEmpty());
    }

    void exitButtonCloses() {
        TFormAcercaDe w(m_dir.path());
        w.show();
        w.findChild<QToolButton*>(QStringLiteral("AdvSmoothButton4"))->click();
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(tst_uAcercaDe)
#include "tst_uAcercaDe.moc"
