#include "FakePrompts.h"

#include "widgets/DateBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

// A typed date that does not exist, or one no invoice has (before 1900, more
// than ten years ahead), is refused with a message that names the box, and
// the date held before comes back; a real date is taken as typed. Leaving the
// box, Enter and a command run while typing all end the typing the same way.
class tst_DateBox : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_prompts = std::make_unique<FakePrompts>();
        m_window = std::make_unique<QWidget>();
        auto* column = new QVBoxLayout(m_window.get());
        m_box = new DateBox(QStringLiteral("Fecha Vencimiento"), m_window.get());
        m_box->setClock([] { return QDate(2026, 6, 15); });
        m_box->setDate(QDate(2027, 1, 15));
        m_next = new QLineEdit(m_window.get());
        column->addWidget(m_box);
        column->addWidget(m_next);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void cleanup() {
        m_window.reset();
        m_prompts.reset();
    }

    void typedDates_data() {
        QTest::addColumn<QString>("typed"); // day, month and year digits
        QTest::addColumn<QDate>("kept");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("31 February") << "31022027" << QDate(2027, 1, 15)
                                     << "La fecha 31/02/2027 no existe: febrero de 2027 tiene 28 "
                                        "días. Se ha dejado en «Fecha Vencimiento» la fecha que "
                                        "tenía, 15/01/2027; escriba una fecha que exista.";
        QTest::newRow("29 February, common year")
            << "29022027" << QDate(2027, 1, 15) << "febrero de 2027 tiene 28 días";
        QTest::newRow("31 April") << "31042026" << QDate(2027, 1, 15) << "abril de 2026 tiene 30";
        QTest::newRow("29 February, leap year") << "29022028" << QDate(2028, 2, 29) << "";
        QTest::newRow("31 December") << "31122026" << QDate(2026, 12, 31) << "";
        QTest::newRow("2026-001 typed in day order")
            << "20026001" << QDate(2027, 1, 15)
            << "La fecha 20/02/6001 no parece la que quería escribir: escriba una fecha entre el "
               "01/01/1900 y el 15/06/2036. Se ha dejado en «Fecha Vencimiento» la fecha que "
               "tenía, 15/01/2027.";
        QTest::newRow("ten years ahead") << "15062036" << QDate(2036, 6, 15) << "";
        QTest::newRow("a day later") << "16062036" << QDate(2027, 1, 15) << "no parece la que";
        QTest::newRow("1 January 1900") << "01011900" << QDate(1900, 1, 1) << "";
        QTest::newRow("31 December 1899") << "31121899" << QDate(2027, 1, 15) << "entre el 01/01";
    }
    // Leaving with Tab and pressing Enter end the typing the same way.
    void typedDates() {
        QFETCH(QString, typed);
        QFETCH(QDate, kept);
        QFETCH(QString, message);
        for (const char* way : {"tab", "enter", "command"}) {
            m_prompts->reset();
            m_box->setDate(QDate(2027, 1, 15));
            QSignalSpy changes(m_box, &QDateEdit::dateChanged);
            typeInto(typed);
            if (!message.isEmpty())
                QCOMPARE(
                    m_box->text(),
                    QStringLiteral("%1/%2/%3").arg(typed.left(2), typed.mid(2, 2), typed.mid(4)));
            if (qstrcmp(way, "command") == 0)
                QCOMPARE(m_box->commitTyped(), message.isEmpty());
            else
                QTest::keyClick(m_box, qstrcmp(way, "tab") == 0 ? Qt::Key_Tab : Qt::Key_Return);
            QApplication::processEvents();

            QCOMPARE(m_box->date(), kept);
            // Whoever follows the box last heard of the date it shows.
            QVERIFY(!changes.isEmpty());
            QCOMPARE(changes.last().first().toDate(), kept);
            if (message.isEmpty()) {
                QVERIFY(m_prompts->shown.isEmpty());
                continue;
            }
            QCOMPARE(m_prompts->kinds(), QStringList{"warn"});
            QCOMPARE(m_prompts->shown.first().caption, QStringLiteral("Fecha no válida"));
            QVERIFY2(m_prompts->shown.first().text.contains(message),
                     qPrintable(m_prompts->shown.first().text));
            // The person is back in the box to write the date again.
            QCOMPARE(QApplication::focusWidget(), m_box);
        }
    }

    void impossibleDateMessage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("impossible");
        QTest::newRow("30 February") << "30/02/2024" << true;
        QTest::newRow("31 June") << "31/06/2025" << true;
        QTest::newRow("29 February 1900") << "29/02/1900" << true;
        QTest::newRow("29 February 2000") << "29/02/2000" << false;
        QTest::newRow("a real date") << "28/02/2027" << false;
        QTest::newRow("day 32: not a date at all") << "32/01/2027" << false;
        QTest::newRow("month 13") << "10/13/2027" << false;
        QTest::newRow("year still being typed") << "31/02/20" << false;
        QTest::newRow("blank") << " " << false;
    }
    void impossibleDateMessage() {
        QFETCH(QString, text);
        QFETCH(bool, impossible);
        QCOMPARE(!DateBox::impossibleDateMessage(text).isEmpty(), impossible);
    }

private:
    void typeInto(const QString& digits) {
        m_box->setFocus(Qt::TabFocusReason);
        m_box->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(m_box, digits);
    }

    std::unique_ptr<FakePrompts> m_prompts;
    std::unique_ptr<QWidget> m_window;
    DateBox* m_box = nullptr;
    QLineEdit* m_next = nullptr;
};

QTEST_MAIN(tst_DateBox)
#include "tst_DateBox.moc"
