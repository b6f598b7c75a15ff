#pragma once
// One bundle: the bundle product (taken from an online goods item) and its components with
// their quantities. Saving computes each component's share of the bundle's sale and wholesale
// value and sends the bundle and its components in one request.
#include "ufrmBase.h"

class QLineEdit;
class QPushButton;
class TGridColumn;
class TGridView;
class TKxRecordBinder;
class TPClientDataSet;
class TfrmMasterList;

class TfrmPackCommodityEdit : public TfrmBase {
    Q_OBJECT
public:
    // Over `list`: its "detailsearch" loads a bundle, its "update" saves one.
    explicit TfrmPackCommodityEdit(TfrmMasterList* list, QWidget* owner = nullptr);
    Q_INVOKABLE explicit TfrmPackCommodityEdit(QWidget* owner = nullptr);

    // Loads bundle `code` (empty: a new one). False when the call failed.
    bool LoadBundle(const QString& code);

    TPClientDataSet* Master() const { return m_master; }
    TPClientDataSet* Components() const { return m_detail; }
    TGridView* Grid() const { return m_grid; }
    QLineEdit* Edit(const QString& field) const;
    QPushButton* Button(const QString& text) const;

    void btnInsertClick(); // "插   入"
    void btnDeleteClick(); // "删   除"
    void btnSaveClick();   // "保   存"
    void btnCancelClick(); // "取   消"

    // The pick buttons and Enter of the master boxes.
    void GoodsButtonClick();
    void GoodsCodeEntered();
    void ColorButtonClick();
    void SizeButtonClick();
    // The component code column: its pick button on line `row`, and a code typed there.
    void ComponentButtonClick(int row);
    void ComponentCodeEntered(int row);
    // A quantity typed on line `row`: on to the next line, or a new one after the last.
    void QuantityEntered(int row);
    // Fills the current line from the first product and appends a line for each further one;
    // no product empties the line and says so.
    void FillComponents(TPClientDataSet* products);
    // Each component's share of the bundle's sale and wholesale value. False (and said so)
    // when a quantity is not above zero.
    bool ComputeShares();

private:
    void build();
    bool ensureMaster();
    void appendLine();
    void fillFromGoods(TPClientDataSet* goods);
    void pickProperty(const QString& module, const QString& field);
    void focusCell(int recIndex, const QString& field);
    void cellEdited(int row, TGridColumn* column);
    QString listParam(const char* name) const;

    TfrmMasterList* m_list = nullptr;
    TPClientDataSet* m_master;
    TPClientDataSet* m_detail;
    TKxRecordBinder* m_binder;
    TGridView* m_grid;
    QList<QPair<QString, QLineEdit*>> m_edits;
    QList<QPushButton*> m_buttons;
    bool m_placing = false;
};
