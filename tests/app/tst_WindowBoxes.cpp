#include "WindowTestCase.h"

#include "app/uAdmon.h"
#include "app/uAutoFirma.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace WindowTestKit;

// Every box of the settings windows has a label whose accelerator reaches it.
class tst_WindowBoxes : public WindowTestCase {
    Q_OBJECT
private slots:
    void init() { startWindowTest(); }
    void cleanup() { endWindowTest(); }

    void everyBoxHasALabel_data() {
        QTest::addColumn<QString>("window");
        QTest::newRow("administration") << "admon";
    }
    void everyBoxHasALabel() {
        QFETCH(QString, window);
        std::unique_ptr<QWidget> w;
        if (window == QLatin1String("admon"))
            w = std::make_unique<TFormAdmon>(m_dir.path());
        else
            w = std::make_unique<TFormAutoFirma>(m_dir.path());
        w->show();

        QList<QWidget*> boxes;
        for (QLineEdit* e : w->findChildren<QLineEdit*>())
            if (!qobject_cast<QComboBox*>(e->parentWidget()) && e->isVisible())
                boxes << e;
        for (QComboBox* c : w->findChildren<QComboBox*>())
            if (c->isVisible())
                boxes << c;
        QVERIFY(boxes.size() >= 4);

        QSet<QChar> accelerators;
        QSet<QWidget*> labelled;
        QSet<QWidget*> reachable;
        for (QLabel* label : w->findChildren<QLabel*>()) {
            if (!label->buddy())
                continue;
            labelled << label->buddy();
            const qsizetype amp = label->text().indexOf(u'&');
            if (amp < 0 || amp + 1 >= label->text().size())
                continue;
            const QChar key = label->text().at(amp + 1).toUpper();
            QVERIFY2(!accelerators.contains(key), qPrintable(label->text()));
            accelerators << key;
            reachable << label->buddy();
        }
        for (QWidget* box : boxes)
            QVERIFY2(labelled.contains(box), qPrintable(box->objectName()));

        // Alt with a label's letter puts the keyboard in its box.
        for (QLabel* label : w->findChildren<QLabel*>()) {
            const qsizetype amp = label->text().indexOf(u'&');
            if (!label->buddy() || amp < 0)
                continue;
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.get()));
            const QChar key = label->text().at(amp + 1).toUpper();
            QTest::keyClick(w.get(), key.toLatin1(), Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), label->buddy());
        }
    }
};

QTEST_MAIN(tst_WindowBoxes)
#include "tst_WindowBoxes.moc"
