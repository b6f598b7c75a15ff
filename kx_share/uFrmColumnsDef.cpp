#include "uFrmColumnsDef.h"
#include "uLocalFiles.h"

#include "uGridView.h"
#include "uLocalXml.h"
#include "uUiHooks.h"
#include "ufrmBase.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
enum { colNo, colName, colWidth, colVisible };
}

TFrmColumnsDef::TFrmColumnsDef(const QString& gridKey, TGridView* view, QWidget* parent)
    : QDialog(parent), m_key(gridKey), m_view(view), m_rows(new QStandardItemModel(0, 4, this)), m_grid(new QTableView(this))
{
    setWindowTitle(QStringLiteral("表格列自定义"));
    m_rows->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("名称"), QStringLiteral("宽度"), QStringLiteral("是否显示")});
    m_grid->setModel(m_rows);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    // Every column in view: the name takes what the others leave.
    QHeaderView* h = m_grid->horizontalHeader();
    h->setStretchLastSection(false);
    h->setSectionResizeMode(QHeaderView::ResizeToContents);
    h->setSectionResizeMode(colName, QHeaderView::Stretch);
    h->setMinimumSectionSize(48);

    auto* buttons = new QVBoxLayout;
    auto add = [&](const QString& text, void (TFrmColumnsDef::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    add(QStringLiteral("确定(&O)"), &TFrmColumnsDef::btnOkClick);
    add(QStringLiteral("取消(&Ｃ)"), &TFrmColumnsDef::btnCancelClick);
    add(QStringLiteral("恢复默认值"), &TFrmColumnsDef::btnDefaultClick);
    add(QStringLiteral("上移"), &TFrmColumnsDef::btnUpClick);
    add(QStringLiteral("下移"), &TFrmColumnsDef::btnDownClick);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(520, 400);
    btnDefaultClick();
}

void TFrmColumnsDef::btnDefaultClick()
{
    m_rows->removeRows(0, m_rows->rowCount());
    if (!m_view)
        return;
    for (int i = 0; i < m_view->ColumnCount(); ++i) {
        const TGridColumn* c = m_view->Column(i);
        auto* no = new QStandardItem(QString::number(i + 1));
        no->setEditable(false);
        auto* name = new QStandardItem(c->Caption.trimmed());
        name->setEditable(false);
        auto* width = new QStandardItem;
        width->setData(c->Width, Qt::EditRole);
        auto* visible = new QStandardItem;
        visible->setCheckable(true);
        visible->setEditable(false);
        visible->setCheckState(c->Visible ? Qt::Checked : Qt::Unchecked);
        m_rows->appendRow({no, name, width, visible});
    }
    if (m_rows->rowCount() > 0)
        m_grid->setCurrentIndex(m_rows->index(0, colName));
}

void TFrmColumnsDef::swapRows(int a, int b)
{
    for (int col : {colName, colWidth, colVisible}) {
        QStandardItem* x = m_rows->takeItem(a, col);
        QStandardItem* y = m_rows->takeItem(b, col);
        m_rows->setItem(a, col, y);
        m_rows->setItem(b, col, x);
    }
    m_grid->setCurrentIndex(m_rows->index(b, colName));
}

void TFrmColumnsDef::btnUpClick()
{
    const int row = m_grid->currentIndex().row();
    if (row > 0)
        swapRows(row, row - 1);
}

void TFrmColumnsDef::btnDownClick()
{
    const int row = m_grid->currentIndex().row();
    if (row >= 0 && row + 1 < m_rows->rowCount())
        swapRows(row, row + 1);
}

void TFrmColumnsDef::btnCancelClick()
{
    done(mrCancel);
}

void TFrmColumnsDef::btnOkClick()
{
    if (m_key.trimmed().isEmpty() || !m_view)
        return;
    const QString path = KxUserFile(QStringLiteral("ColsDef.xml"));
    QDomDocument doc;
    QString error;
    // An unreadable file is reported and left alone; nothing is written over it.
    if (!KxLoadLocalXml(path, &doc, &error)) {
        KxShowError(error);
        return;
    }
    if (doc.documentElement().isNull())
        doc.appendChild(doc.createElement(QStringLiteral("Root")));
    QDomElement root = doc.documentElement();
    const QString keyName = KxEncodeXmlName(m_key.trimmed());
    QDomElement grid = root.firstChildElement(keyName);
    if (grid.isNull())
        grid = root.appendChild(doc.createElement(keyName)).toElement();
    while (grid.hasChildNodes())
        grid.removeChild(grid.firstChild());
    for (int r = 0; r < m_rows->rowCount(); ++r) {
        const QString caption = m_rows->item(r, colName)->text().trimmed();
        if (caption.isEmpty()) {
            KxShowError(QStringLiteral("第 %1 列没有名称，列设置无法保存。").arg(r + 1));
            return;
        }
        QDomElement e = doc.createElement(KxEncodeXmlName(caption));
        e.setAttribute(QStringLiteral("Width"), m_rows->item(r, colWidth)->data(Qt::EditRole).toInt());
        e.setAttribute(QStringLiteral("Visible"), m_rows->item(r, colVisible)->checkState() == Qt::Checked ? QStringLiteral("True")
                                                                                                            : QStringLiteral("False"));
        grid.appendChild(e);
    }
    if (!KxSaveLocalXml(path, doc, &error)) {
        KxShowError(error);
        return;
    }
    done(mrOk);
}
