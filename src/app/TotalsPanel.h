#pragma once

#include <QComboBox>
#include <QGroupBox>

// The withholding rate list: its text can be typed; closing the drop-down
// list is reported once the chosen item has been taken.
class RateCombo : public QComboBox {
    Q_OBJECT
public:
    explicit RateCombo(QWidget* parent = nullptr);
    void hidePopup() override;

signals:
    void closedUp();
    void left();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

// "Totales Factura": the six totals boxes and the withholding rate list.
class TotalsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit TotalsPanel(QWidget* parent = nullptr);

    RateCombo* rateList() const { return m_rate; }
    QList<QWidget*> tabOrder() const { return m_tabOrder; }

private:
    RateCombo* m_rate = nullptr;
    QList<QWidget*> m_tabOrder;
};
