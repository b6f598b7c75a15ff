#pragma once
// The operator's sign-in: shop, operator and password. Closing it without a successful
// login ends the program, at start-up and when a menu entry opens it again later.
#include "ufrmBase.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// The feedback page of the maker, opened by "更新及反馈".
extern const QString KxFeedbackUrl;

class TFrmLogon : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmLogon(QWidget* owner = nullptr);

    QComboBox* cxComboBox1; // shops
    QComboBox* cxComboBox2; // operators
    QLineEdit* cxTextEdit1; // password
    QPushButton* cxButton1; // update and feedback
    QPushButton* cxButton2; // log in

    void cxButton2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void FormClose(QCloseEvent* event) override;

private:
    void FormShow();
    bool FillList(QComboBox* box, const QString& method, const QString& codeField, const QString& textField,
                  const QString& defaultText, const QString& defaultCode);
    bool LoadSubNicks();
    bool m_shown = false;
};
