#pragma once

#include <QGroupBox>

class Memoria;
class QCheckBox;
class QDateEdit;
class QLineEdit;

// "Expediente": the file reference, its date and the VAT exemption of the
// current line of the grid.
class FileReferencePanel : public QGroupBox {
    Q_OBJECT
public:
    FileReferencePanel(Memoria& lines, QWidget* parent = nullptr);

    QList<QWidget*> tabOrder() const;

private:
    void showCurrentLine();
    template <typename Change> void changeLine(Change change);

    Memoria& m_lines;
    QLineEdit* m_reference;
    QCheckBox* m_exempt;
    QDateEdit* m_date;
    bool m_showing = false;
};
