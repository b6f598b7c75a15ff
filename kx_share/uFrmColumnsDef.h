#pragma once
// "表格列自定义": the operator orders, sizes and shows or hides the columns of one grid; the
// layout is kept per grid key in "ColsDef.xml" beside the program.
#include <QDialog>

class QStandardItemModel;
class QTableView;
class TGridView;

class TFrmColumnsDef : public QDialog {
    Q_OBJECT
public:
    TFrmColumnsDef(const QString& gridKey, TGridView* view, QWidget* parent = nullptr);

    QStandardItemModel* Rows() const { return m_rows; }
    QTableView* Grid() const { return m_grid; }

    // The buttons.
    void btnOkClick();      // "确定(&O)": writes the layout and closes with 1
    void btnCancelClick();  // "取消(&Ｃ)": closes with 2, writes nothing
    void btnDefaultClick(); // "恢复默认值": the grid's current columns again
    void btnUpClick();      // "上移"
    void btnDownClick();    // "下移"

private:
    void swapRows(int a, int b);

    QString m_key;
    TGridView* m_view;
    QStandardItemModel* m_rows;
    QTableView* m_grid;
};
