#include "FakePrompts.h"
#include "WindowTestKit.h"

#include "app/LinesGrid.h"
#include "app/uPrincipal.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLayout>
#include <QMenuBar>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace WindowTestKit;

// The window at the sizes people use: nothing overlaps, the button bar is
// always there, spare width goes to the lines' descriptions, and Tab walks
// the screen in reading order.
class MainWindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // A 1024 x 600 screen with a title bar holds the whole window.
    void minimumFitsASmallScreen() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        QVERIFY2(w->minimumWidth() <= 1010, qPrintable(QString::number(w->minimumWidth())));
        QVERIFY2(w->minimumHeight() <= 550, qPrintable(QString::number(w->minimumHeight())));
        QVERIFY(w->minimumSizeHint().height() <= 550 || w->minimumHeight() <= 550);
    }

    void nothingOverlaps_data() {
        QTest::addColumn<QSize>("size"); // empty: the minimum
        QTest::newRow("minimum") << QSize();
        QTest::newRow("1024x600 with a title bar") << QSize(1016, 560);
        QTest::newRow("1366x768 with a taskbar") << QSize(1366, 690);
        QTest::newRow("1920x1080") << QSize(1920, 1040);
        QTest::newRow("2560x1440") << QSize(2560, 1400);
    }
    void nothingOverlaps() {
        QFETCH(QSize, size);
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        const QSize target = size.isEmpty() ? w->minimumSize() : size;
        w->resize(target);
        settle(w.get());
        QCOMPARE(w->size(), target);

        // The group boxes of the invoice, where the scroll area puts them.
        const QList<QGroupBox*> boxes = w->findChildren<QGroupBox*>();
        QVERIFY(boxes.size() >= 6);
        for (QGroupBox* a : boxes) {
            QVERIFY2(a->isVisible(), qPrintable(a->objectName()));
            QVERIFY2(a->width() >= a->minimumSizeHint().width() - 1,
                     qPrintable(a->objectName() + QStringLiteral(" squeezed")));
            for (QGroupBox* b : boxes) {
                if (a == b || a->isAncestorOf(b) || b->isAncestorOf(a))
                    continue;
                QVERIFY2(
                    !onWindow(a).intersects(onWindow(b)),
                    qPrintable(a->objectName() + QStringLiteral(" overlaps ") + b->objectName()));
            }
        }
        // Every toolbar button whole inside the window, none under another.
        const QRect client = w->rect();
        for (QToolButton* button : w->findChild<QWidget*>("Panel1")->findChildren<QToolButton*>()) {
            QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
            QVERIFY2(client.contains(onWindow(button)), qPrintable(button->objectName()));
        }
        QVERIFY(!onWindow(w->findChild<QWidget*>("Panel1"))
                     .intersects(onWindow(w->findChild<QScrollArea*>("InvoiceScroll"))));
        // Totals keep a sensible width whatever the screen.
        QVERIFY(w->findChild<QGroupBox*>("GroupBox3")->width() <= 480);
    }

    void spareWidthGoesToTheDescriptions() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        auto* grid = w->findChild<LinesGrid*>("SMDBGrid1");
        w->resize(1366, 690);
        settle(w.get());
        const int narrow = grid->columnWidth(0);
        const int quantity = grid->columnWidth(1);
        w->resize(1920, 1040);
        settle(w.get());
        QCOMPARE(grid->columnWidth(0), narrow + 554);
        QCOMPARE(grid->columnWidth(1), quantity);
    }

    // Tab goes top to bottom, left to right.
    void tabFollowsTheScreen() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        const QStringList order{
            // Issuer (its boxes only show "Mis datos"), then customer
            "EditarMisDatos", "RadioButton3", "Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6",
            "Edit26", "Edit28", "CheckBox1", "RadioButton5", "Edit8", "Edit7", "Edit9", "Edit10",
            "Edit12", "Edit11", "Edit27",
            // Lines and the current line's file
            "SMDBGrid1", "DBEdit1", "DBCheckBox1", "RzDBDateTimeEdit1",
            // Payment, then totals
            "Edit13", "Edit14", "Edit15", "Edit16", "Edit17", "Edit24", "Edit25", "FechaFactura",
            "FechaVencimiento", "eBruto", "eDto", "eBase", "eIva", "ComboBox1", "eIRPF", "eTotal",
            // Button bar
            "AdvSmoothButton2", "AdvSmoothButton3", "AdvSmoothButton1", "AdvSmoothButton5",
            "ComprobarButton", "VerImprimirButton", "AdvSmoothButton6", "AdvSmoothButton4"};
        QStringList chain{order.constFirst()};
        QWidget* first = w->findChild<QWidget*>(order.constFirst());
        for (QWidget* next = first->nextInFocusChain();
             next != first && chain.size() < order.size(); next = next->nextInFocusChain()) {
            if (order.contains(next->objectName()) && !chain.contains(next->objectName()))
                chain << next->objectName();
        }
        QCOMPARE(chain, order);
    }

private:
    static void settle(QWidget* w) {
        for (QLayout* layout : w->findChildren<QLayout*>())
            layout->activate();
        QApplication::processEvents();
        QApplication::processEvents();
    }
    static QRect onWindow(QWidget* widget) {
        return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(MainWindowLayoutTest)
#include "tst_MainWindowLayout.moc"
