#pragma once
// The edit dialog of an online goods row: text, remark, prices, the deleted mark, the brand
// and the category, each bound to the list's current row.
#include "ufrmMasterEdit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class TfrmGoodsEdit : public TfrmMasterEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmGoodsEdit(QWidget* owner = nullptr);

    QLineEdit* Edit(const QString& field) const;
    QComboBox* BrandBox() const { return m_brand; }
    QComboBox* CategoryBox() const { return m_category; }
    QPlainTextEdit* MemoEdit() const { return m_memo; }
    QCheckBox* DeletedBox() const { return m_deleted; }

protected:
    void BindEditors() override;

private:
    QList<QPair<QString, QLineEdit*>> m_edits;
    QComboBox* m_brand;
    QComboBox* m_category;
    QPlainTextEdit* m_memo;
    QCheckBox* m_deleted;
};
