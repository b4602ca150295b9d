#include "WindowTestCase.h"

#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "app/uRegistro.h"
#include "common/AppError.h"
#include "widgets/SettingsDialog.h"

#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

namespace {

// Counts its showings and throws from its button when asked to.
class ProbeDialog : public SettingsDialog {
public:
    ProbeDialog() {
        m_button = new QPushButton(QStringLiteral("x"), this);
        onClicked(m_button, [this] {
            ++clicks;
            if (failClick)
                throw AppError(QStringLiteral("No se pudo"));
        });
    }
    QPushButton* button() const { return m_button; }
    int showings = 0;
    int clicks = 0;
    bool failClick = false;

protected:
    void shown() override { ++showings; }

private:
    QPushButton* m_button;
};

} // namespace

// What the settings windows share: Escape closes none of them but the
// administration window, each showing runs the window's handler, and a
// failing button reaches the error box.
class tst_SettingsDialog : public WindowTestCase {
    Q_OBJECT
private slots:
    void init() { startWindowTest(); }
    void cleanup() { endWindowTest(); }

    // Escape drops nothing typed into a settings window; the administration
    // window, which only hands centres to the invoice, takes it as Cancelar.
    void escapeClosesOnlyTheAdministrationWindow_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<bool>("closes");
        QTest::newRow("issuer data") << 0 << false;
        QTest::newRow("administration") << 1 << true;
        QTest::newRow("AutoFirma") << 2 << false;
    }
    void escapeClosesOnlyTheAdministrationWindow() {
        QFETCH(int, window);
        QFETCH(bool, closes);
        std::unique_ptr<QDialog> w;
        if (window == 0)
            w = std::make_unique<TFormRegistro>(m_dir.path());
        else if (window == 1)
            w = std::make_unique<TFormAdmon>(m_dir.path());
        else
            w = std::make_unique<TFormAutoFirma>(m_dir.path());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QCOMPARE(w->isVisible(), !closes);
        QCOMPARE(w->result(), int(QDialog::Rejected));
        if (auto* admon = qobject_cast<TFormAdmon*>(w.get()))
            QCOMPARE(admon->Tag(), 0);
        QVERIFY(m_prompts.errors().isEmpty());
    }

    void eachShowingRunsTheHandler() {
        ProbeDialog d;
        d.show();
        QCOMPARE(d.showings, 1);
        d.hide();
        d.show();
        QCOMPARE(d.showings, 2);
    }

    void aFailingButtonReachesTheErrorBox() {
        ProbeDialog d;
        d.show();
        d.button()->click();
        QCOMPARE(d.clicks, 1);
        QVERIFY(m_prompts.errors().isEmpty());
        d.failClick = true;
        d.button()->click();
        QCOMPARE(d.clicks, 2);
        QCOMPARE(m_prompts.errors(), QStringList{QStringLiteral("No se pudo.")});
        QVERIFY(d.isVisible());
    }
};

QTEST_MAIN(tst_SettingsDialog)
#include "tst_SettingsDialog.moc"
