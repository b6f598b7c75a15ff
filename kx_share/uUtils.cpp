#include "uUtils.h"
#include "uLocalFiles.h"

#include "uFrmColumnsDef.h"
#include "uGridPrint.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "uLocalXml.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uXlsWriter.h"
#include "ufrmBase.h"
#include "wire/uClock.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>

QString RandomStr;

namespace {

// The caption a caption string gives a name: the first pair of that name, trimmed.
QString captionFor(const QString& captions, const QString& name)
{
    for (const QString& line : captions.split(u';')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

bool isNumeric(TFieldType t)
{
    return t == ftInteger || t == ftLargeint || t == ftDecimal || t == ftFloat;
}

QString colsDefPath()
{
    return KxUserFile(QStringLiteral("ColsDef.xml"));
}

} // namespace

void TableViewDispay(TGridView* view, const QString& captions)
{
    for (int i = 0; i < view->ColumnCount(); ++i) {
        TGridColumn* c = view->Column(i);
        const QString caption = captionFor(captions, c->FieldName);
        if (!caption.isEmpty())
            c->Caption = caption;
    }
    view->ColumnsChanged();
}

void DisTableViewDispay(TGridView* view, const QString& hiddenFields)
{
    for (const QString& name : hiddenFields.split(u';')) {
        if (name.isEmpty())
            continue;
        for (int i = 0; i < view->ColumnCount(); ++i)
            if (view->Column(i)->FieldName == name) {
                view->Column(i)->Visible = false;
                break;
            }
    }
    view->ColumnsChanged();
}

void RemoveGridColumns(TGridView* view, const QString& fields)
{
    for (const QString& name : fields.split(u';', Qt::SkipEmptyParts)) {
        for (int i = 0; i < view->ColumnCount(); ++i)
            if (view->Column(i)->FieldName == name) {
                view->GridModel()->RemoveColumn(i);
                break;
            }
    }
    view->ColumnsChanged();
}

void FormViewDispay(QWidget* container, const QString& captions)
{
    for (QWidget* w : container->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty())
            continue;
        const QString caption = captionFor(captions, w->objectName());
        if (caption.isEmpty())
            continue;
        if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(caption + QStringLiteral("："));
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            check->setText(caption);
    }
}

void SetGridColumn(TPClientDataSet* dataSet, TGridView* view)
{
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        const TField* f = dataSet->Fields(i);
        if (f->FieldName() == u"md5_key" || view->ColumnByField(f->FieldName()))
            continue;
        TGridColumn* c = view->AddColumn(f->FieldName());
        c->ReadOnly = true;
        if (isNumeric(f->DataType()))
            c->Editor = TGridEditor::Amount;
    }
    view->ColumnsChanged();
}

void GetGridColumnVisible(const QString& key, TGridView* view)
{
    QDomDocument doc;
    QString error;
    if (!KxLoadLocalXml(colsDefPath(), &doc, &error)) {
        KxShowError(error);
        return;
    }
    const QDomElement grid = doc.documentElement().firstChildElement(KxEncodeXmlName(key.trimmed()));
    if (grid.isNull())
        return;
    int k = 0;
    for (QDomElement e = grid.firstChildElement(); !e.isNull(); e = e.nextSiblingElement(), ++k) {
        const QString caption = KxDecodeXmlName(e.tagName()).trimmed().toUpper();
        // Every column of that caption, in the order they stand before this step.
        const QList<TGridColumn*> cols = view->GridModel()->Columns();
        for (TGridColumn* c : cols) {
            if (c->Caption.trimmed().toUpper() != caption)
                continue;
            view->MoveColumn(view->IndexOfColumn(c), qMin(k, view->ColumnCount() - 1));
            bool ok = false;
            if (e.hasAttribute(QStringLiteral("Width"))) {
                const int w = e.attribute(QStringLiteral("Width")).trimmed().toInt(&ok);
                if (ok) {
                    c->Width = w;
                    c->WidthFixed = true;
                }
            }
            if (e.hasAttribute(QStringLiteral("Visible"))) {
                const QString v = e.attribute(QStringLiteral("Visible")).trimmed();
                c->Visible = v.compare(u"true", Qt::CaseInsensitive) == 0 || v == u"1" || v == u"-1";
            }
        }
    }
    view->ColumnsChanged();
}

void SetGridColumnVisible(const QString& key, TGridView* view)
{
    TFrmColumnsDef dlg(key, view, view->window());
    if (KxUi().ShowModal(&dlg) == mrOk)
        GetGridColumnVisible(key, view);
}

void ExportGridToExcel(TGridView* grid, bool expand, bool saveAll, bool native, const QString& extension)
{
    QString fileName = KxUi().GetSaveFileName(grid->window(), QStringLiteral("导出记录到Excel文件"), QString(),
                                              KxFileDialogFilter(QStringLiteral("Excel 文件(*.xls)|*.xls")));
    if (fileName.isEmpty())
        return;
    if (!extension.isEmpty() && QFileInfo(fileName).suffix().isEmpty())
        fileName += u'.' + extension;
    // Password columns never leave the program.
    QList<TGridColumn*> cols;
    for (TGridColumn* c : grid->VisibleColumns())
        if (c->Editor != TGridEditor::Password)
            cols << c;
    QList<TXlsWriter::Column> header;
    for (const TGridColumn* c : cols)
        header.append({c->Caption, c->Width, c->Editor == TGridEditor::Amount});
    TXlsWriter xls(header);

    TGridModel* m = grid->GridModel();
    TPClientDataSet* ds = m->DataSet();
    QList<int> rows;
    if (saveAll || !grid->selectionModel()) {
        for (int r = 0; r < m->rowCount(); ++r)
            rows << r;
    } else {
        for (const QModelIndex& i : grid->selectionModel()->selectedRows())
            rows << i.row();
        std::sort(rows.begin(), rows.end());
    }
    for (int r : rows) {
        QList<QVariant> values;
        for (const TGridColumn* c : cols) {
            const TField* f = m->FieldOf(c);
            if (!f || ds->IsNullAt(r, f)) {
                values << QVariant();
            } else if (c->Editor == TGridEditor::Lookup) {
                values << m->CellText(r, c);
            } else if (f->DataType() == ftBoolean) {
                values << ds->ValueAt(r, f).toBool();
            } else if (isNumeric(f->DataType())) {
                bool ok = false;
                const double d = ds->DisplayTextAt(r, f).toDouble(&ok);
                values << (ok ? QVariant(d) : QVariant(ds->DisplayTextAt(r, f)));
            } else {
                values << m->CellText(r, c);
            }
        }
        xls.AddRow(values);
    }
    QString error;
    if (!xls.Save(fileName, &error))
        KxShowError(QStringLiteral("导出文件 %1 失败：%2").arg(fileName, error));
}

void ExportPagedGridToExcel(TGridView* grid, TKxPager* pager)
{
    if (pager->HasNextPage()) {
        const QString question = QStringLiteral("共 %1 条，已载入 %2 条，是否全部导出？")
                                     .arg(pager->RecordCount())
                                     .arg(grid->GridModel()->rowCount());
        if (KxAskYesNo(question))
            pager->RemainingPages();
    }
    ExportGridToExcel(grid, true, true, true, QStringLiteral("xls"));
}

QString KxFileDialogFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    if (parts.size() < 2)
        return filter;
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = parts[i + 1].trimmed().replace(u';', u' ');
        const QString text = parts[i].trimmed();
        // A description that already names its patterns keeps them once.
        out << (text.contains(u'(' + patterns + u')') ? text : text + QStringLiteral(" (") + patterns + u')');
    }
    return out.join(QStringLiteral(";;"));
}

void GridPrint(TGridView* grid)
{
    KxPrintGrid(grid, {grid->window()->windowTitle(), grid->FooterVisible()});
}

void GridPreview(TGridView* grid)
{
    KxPreviewGrid(grid, {grid->window()->windowTitle(), grid->FooterVisible()});
}

void SetTreeView(QTreeWidget* tree, TPClientDataSet* dataSet)
{
    QTreeWidgetItem* root = tree->topLevelItem(0);
    if (!root) {
        root = new QTreeWidgetItem(tree, {QStringLiteral("所有类别")});
        root->setData(0, KxTreeImageRole, 0);
        root->setIcon(0, tree->style()->standardIcon(QStyle::SP_DirIcon));
    }
    struct Category {
        qint64 parent, id;
        QString name;
    };
    QList<Category> cats;
    if (dataSet->Active()) {
        TField* parent = dataSet->FieldByName(QStringLiteral("parent_id"));
        TField* child = dataSet->FieldByName(QStringLiteral("child_id"));
        TField* name = dataSet->FieldByName(QStringLiteral("child_name"));
        const int count = dataSet->RecordCount();
        for (int i = 0; i < count && !dataSet->Eof(); ++i, dataSet->Next())
            cats.append({parent->AsLargeInt(), child->AsLargeInt(), name->AsString()});
    }
    // Every category after its parent; children keep their order, and a child listed before
    // its parent stays where it is.
    for (qsizetype i = 0; i + 1 < cats.size(); ++i) {
        qsizetype j = i + 1;
        for (qsizetype k = i + 1; k < cats.size(); ++k)
            if (cats[k].parent == cats[i].id) {
                cats.move(k, j);
                ++j;
            }
    }
    // The items are built apart from the tree and join it at once: thousands of categories
    // inserted one by one into a shown tree cost a model update each.
    const QIcon icon = tree->style()->standardIcon(QStyle::SP_FileIcon);
    QList<QTreeWidgetItem*> tops;
    const auto parentOf = [root](QTreeWidgetItem* item) { return item->parent() ? item->parent() : root; };
    QTreeWidgetItem* cursor = root;
    for (const Category& c : cats) {
        QTreeWidgetItem* at = cursor;
        while (at != root && at->data(0, KxTreeIdRole).toLongLong() != c.parent)
            at = parentOf(at);
        auto* item = new QTreeWidgetItem(QStringList{c.name});
        item->setData(0, KxTreeIdRole, c.id);
        item->setData(0, KxTreeImageRole, 1);
        item->setIcon(0, icon);
        if (at == root)
            tops << item;
        else
            at->addChild(item);
        cursor = item;
    }
    root->addChildren(tops);
    root->setExpanded(true);
}

void UnionCDS(TPClientDataSet* dataSet, const QString& packet)
{
    TPClientDataSet answer;
    if (!packet.trimmed().isEmpty() && answer.SetKXXMLData(packet) && answer.RecordCount() > 0) {
        const TBookmark here = dataSet->GetBookmark();
        dataSet->DisableControls();
        const bool filtered = dataSet->Filtered();
        dataSet->SetFiltered(false);

        // Lines carry their header's key: with a "seq" on both sides a line is matched by key
        // and seq; otherwise the rows of one key pair up in order. Each local row takes at
        // most one answer row, and an empty key matches nothing.
        const TField* key = dataSet->FieldByName(QStringLiteral("md5_key"));
        const TField* answerKey = answer.FieldByName(QStringLiteral("md5_key"));
        const TField* seq = dataSet->FindField(QStringLiteral("seq"));
        const TField* answerSeq = seq ? answer.FindField(QStringLiteral("seq")) : nullptr;
        if (!answerSeq)
            seq = nullptr;
        auto matchKey = [](const TField* k, const TField* s) {
            QString text = k->AsString().trimmed().toLower();
            if (!text.isEmpty() && s)
                text += u'\x1f' + s->AsString().trimmed();
            return text;
        };
        QHash<QString, QList<int>> local;
        for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
            const QString k = matchKey(key, seq);
            if (!k.isEmpty())
                local[k].append(dataSet->RecNo());
        }
        QList<QPair<TField*, const TField*>> copies;
        for (int i = 0; i < answer.FieldCount(); ++i)
            if (TField* target = dataSet->FindField(answer.Fields(i)->FieldName()))
                if (target->FieldKind() == fkData)
                    copies.append(qMakePair(target, static_cast<const TField*>(answer.Fields(i))));
        for (answer.First(); !answer.Eof(); answer.Next()) {
            auto it = local.find(matchKey(answerKey, answerSeq));
            if (it == local.end() || it->isEmpty())
                continue;
            dataSet->SetRecNo(it->takeFirst());
            dataSet->Edit();
            for (const auto& [target, source] : copies)
                target->SetValue(source->Value());
            dataSet->Post();
        }

        dataSet->SetFiltered(filtered);
        dataSet->EnableControls();
        if (!dataSet->IsEmpty() && dataSet->BookmarkValid(here))
            dataSet->GotoBookmark(here);
    }
    dataSet->MergeChangeLog();
}

QString GetMd5_Key()
{
    // Keys made within one millisecond are told apart by a running number after the stamp
    // instead of waiting for the clock to move: a grid filling a thousand rows would otherwise
    // wait a second, and a stopped clock forever.
    static QString lastStamp;
    static int sameStamp = 0;
    const QString stamp = KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss zzz"));
    if (stamp != lastStamp || RandomStr.isEmpty()) {
        lastStamp = stamp;
        sameStamp = 0;
        RandomStr = stamp;
    } else {
        RandomStr = stamp + QLatin1Char(' ') + QString::number(++sameStamp);
    }
    return QString::fromLatin1(QCryptographicHash::hash(RandomStr.toUtf8(), QCryptographicHash::Md5).toHex());
}

void KxTickAll(TPClientDataSet* dataSet, const QString& field, bool invert)
{
    TField* f = dataSet->Active() ? dataSet->FindField(field) : nullptr;
    if (!f || dataSet->IsEmpty())
        return;
    dataSet->DisableControls();
    for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
        dataSet->Edit();
        f->SetAsBoolean(invert ? !f->AsBoolean() : true);
        dataSet->Post();
    }
    dataSet->First();
    dataSet->EnableControls();
}
