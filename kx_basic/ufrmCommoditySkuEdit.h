#pragma once
// One product's marketplace items and SKUs: added through the item picker, removed, and saved
// as one change log; the focused item's picture beside them.
#include "ufrmBase.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TGridView;
class TKxPicturePanel;
class TKxRecordBinder;
class TPClientDataSet;
class TfrmMasterList;

class TfrmCommoditySkuEdit : public TfrmBase {
    Q_OBJECT
public:
    // For `list`'s current product; its "search" loads the mappings, its "update" saves them.
    explicit TfrmCommoditySkuEdit(TfrmMasterList* list, QWidget* owner = nullptr);
    Q_INVOKABLE explicit TfrmCommoditySkuEdit(QWidget* owner = nullptr);

    TPClientDataSet* Mappings() const { return m_mappings; }
    TGridView* Grid() const { return m_grid; }
    TKxPicturePanel* Picture() const { return m_picture; }
    QLineEdit* CodeEdit() const { return m_code; }

    // Loads the product's mappings (on show).
    bool LoadMappings();
    void btnAddClick();    // "添 加"
    void btnDeleteClick(); // "删 除"
    void btnSaveClick();   // "提交存盘"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    QString listParam(const char* name) const;

    TfrmMasterList* m_list = nullptr;
    TPClientDataSet* m_mappings;
    TGridView* m_grid;
    TKxPicturePanel* m_picture;
    TKxRecordBinder* m_binder;
    QLineEdit* m_code;
    QPlainTextEdit* m_name;
    bool m_loaded = false;
};
