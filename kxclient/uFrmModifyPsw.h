#pragma once
// The operator changes his own password; the service judges the old one.
#include "ufrmBase.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TFrmModifyPsw : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmModifyPsw(QWidget* owner = nullptr);

    QLabel* LabelOperName;
    QLineEdit* cxTextEdit1; // old
    QLineEdit* cxTextEdit2; // new
    QLineEdit* cxTextEdit3; // confirmation
    QPushButton* cxButton1; // change
    QPushButton* cxButton2; // quit

    void cxButton1Click();

protected:
    void showEvent(QShowEvent* event) override;
};
