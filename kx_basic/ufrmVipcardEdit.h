#pragma once
// The edit dialog of a member card, bound to the list's current row; entering cards in a row
// keeps the holder's sex.
#include "ufrmMasterEdit.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;

class TfrmVipcardEdit : public TfrmMasterEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmVipcardEdit(QWidget* owner = nullptr);

    QLineEdit* Edit(const QString& field) const;
    QComboBox* SexBox() const { return m_sex; }
    QDateEdit* BirthdayEdit() const { return m_birthday; }
    QCheckBox* InUseBox() const { return m_inUse; }
    QComboBox* CategoryBox() const { return m_category; }
    QPlainTextEdit* MemoEdit() const { return m_memo; }

protected:
    void BindEditors() override;

private:
    QList<QPair<QString, QLineEdit*>> m_edits;
    QComboBox* m_sex;
    QDateEdit* m_birthday;
    QCheckBox* m_inUse;
    QComboBox* m_category;
    QPlainTextEdit* m_memo;
};
