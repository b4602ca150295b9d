#include "WindowTestCase.h"

#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "app/uPrincipal.h"
#include "widgets/CheckedDateEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace WindowTestKit;

// The boxes people type into: a date the calendar does not have is refused
// with a message; every box of the settings windows has a label whose
// accelerator reaches it.
class tst_WindowBoxes : public WindowTestCase {
    Q_OBJECT
private slots:
    void init() { startWindowTest(); }
    void cleanup() { endWindowTest(); }

    void impossibleDatesAreRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEnter"); // otherwise Tab leaves the box
        QTest::addColumn<QDate>("kept");
        const QDate before(2026, 12, 10);
        QTest::newRow("31 February, Enter") << "31/02/2027" << true << before;
        QTest::newRow("31 February, Tab") << "31/02/2027" << false << before;
        QTest::newRow("29 February, common year") << "29/02/2027" << false << before;
        QTest::newRow("31 April") << "31/04/2026" << true << before;
        QTest::newRow("month 13") << "10/13/2026" << false << before;
        QTest::newRow("29 February, leap year") << "29/02/2028" << true << QDate(2028, 2, 29);
        QTest::newRow("30 April") << "30/04/2026" << false << QDate(2026, 4, 30);
    }
    void impossibleDatesAreRefused() {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        QFETCH(QDate, kept);
        QWidget window;
        auto* box = new CheckedDateEdit(&window);
        box->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        box->setDate(QDate(2026, 12, 10));
        auto* next = new QLineEdit(&window);
        next->move(0, 40);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        box->setFocus(Qt::TabFocusReason);
        QVERIFY(box->hasFocus());

        auto* edit = box->findChild<QLineEdit*>();
        QVERIFY(edit);
        edit->setText(typed);
        QTest::keyClick(box, byEnter ? Qt::Key_Return : Qt::Key_Tab);

        QCOMPARE(box->date(), kept);
        QCOMPARE(edit->text(), kept.toString(QStringLiteral("dd/MM/yyyy")));
        const QStringList warnings = m_prompts.textsOf(QStringLiteral("warn"));
        if (kept.toString(QStringLiteral("dd/MM/yyyy")) == typed) {
            QVERIFY(warnings.isEmpty());
        } else {
            QCOMPARE(
                warnings,
                QStringList{
                    QStringLiteral("La fecha %1 no existe. Se mantiene 10/12/2026.").arg(typed)});
        }
    }

    // Typed key by key into the invoice date, as a person does.
    void invoiceDateRefusesTypedImpossibleDate() {
        auto window = openWindow(m_dir.path());
        auto* box = window->findChild<QDateEdit*>(QStringLiteral("FechaFactura"));
        QVERIFY(qobject_cast<CheckedDateEdit*>(box));
        box->setDate(QDate(2026, 12, 10));
        window->activateWindow();
        box->setFocus(Qt::TabFocusReason);
        box->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(box, QStringLiteral("31"));
        box->setSelectedSection(QDateTimeEdit::MonthSection);
        QTest::keyClicks(box, QStringLiteral("02"));
        box->setSelectedSection(QDateTimeEdit::YearSection);
        QTest::keyClicks(box, QStringLiteral("2027"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(m_prompts.textsOf(QStringLiteral("warn")).size(), 1);
        QVERIFY(box->date() != QDate(2027, 2, 28));
        QVERIFY(box->date().isValid());
    }

    void everyBoxHasALabel_data() {
        QTest::addColumn<QString>("window");
        QTest::newRow("administration") << "admon";
        QTest::newRow("signing") << "autofirma";
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
