#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The frameless rename dialog. The caller fills nameEdit, runs exec() and reads cancelled and the
// entered name afterwards.
class MyInput : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(MyInput)

public:
    explicit MyInput(QWidget *parent);

    QLabel *titleLabel = nullptr;
    QLineEdit *nameEdit = nullptr;
    QPushButton *closeButton = nullptr;
    QPushButton *okButton = nullptr;
    bool cancelled = true;

public slots:
    void slotOK();
    void slotClose();
};
