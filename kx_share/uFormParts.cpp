#include "uFormParts.h"

#include "uFrmSearch.h"
#include "uGridView.h"
#include "uUiHooks.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUtils.h"
#include "ufrmBase.h"

#include <exception>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QBoxLayout>
#include <QIcon>
#include <QShortcut>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionViewItem>

namespace {

struct TToolLook {
    const char* id;
    const char* icon; // a name of the icon theme
    QKeySequence key;
};

const TToolLook& toolLook(const char* id)
{
    static const TToolLook none{"", nullptr, {}};
    static const TToolLook looks[] = {
        {KxTool::Search, "edit-find", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {KxTool::Refresh, "view-refresh", QKeySequence(Qt::Key_F5)},
        {KxTool::New, "document-new", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {KxTool::Edit, "document-edit", {}},
        {KxTool::Insert, "list-add", {}},
        {KxTool::Delete, "edit-delete", QKeySequence(Qt::Key_Delete)},
        {KxTool::Save, "document-save", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {KxTool::Audit, "dialog-ok-apply", {}},
        {KxTool::Export, "x-office-spreadsheet", {}},
        {KxTool::Print, "document-print", {}},
        {KxTool::Preview, "document-print-preview", {}},
        {KxTool::PrintReport, "insert-table", {}},
        {KxTool::Columns, "view-list-details", {}},
        {KxTool::Exit, "application-exit", QKeySequence(Qt::Key_Escape)},
        {KxTool::Next, "go-next", {}},
        {KxTool::Remain, "go-last", {}},
        {KxTool::Pause, "media-playback-pause", {}},
    };
    for (const TToolLook& l : looks)
        if (qstrcmp(l.id, id) == 0)
            return l;
    return none;
}

// The grid whose cell editor holds the focus, if any.
TGridView* editingGrid()
{
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto* grid = qobject_cast<TGridView*>(w))
            return grid->Editing() ? grid : nullptr;
    return nullptr;
}

class TEnterMovesOn : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* box = qobject_cast<QComboBox*>(watched);
        auto* w = qobject_cast<QWidget*>(watched);
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !w || (box && box->view()->isVisible()))
            return false;
        QWidget* n = w->nextInFocusChain();
        while (n && n != w && (!n->isEnabled() || !n->isVisible() || !(n->focusPolicy() & Qt::TabFocus)))
            n = n->nextInFocusChain();
        if (n)
            n->setFocus(Qt::TabFocusReason);
        return true;
    }
};

} // namespace

void KxMakeDialog(TfrmBase* form)
{
    form->InitModule(QStringLiteral("<response><modal>true</modal></response>"));
}

void KxEnterMovesOn(QWidget* editor)
{
    static TEnterMovesOn* filter = new TEnterMovesOn(qApp);
    editor->installEventFilter(filter);
}

QKeySequence KxToolKey(const char* id)
{
    return toolLook(id).key;
}

void KxAddButtons(QWidget* owner, QBoxLayout* layout, const QList<TKxAction>& actions,
                  QList<QPushButton*>& buttons)
{
    for (const TKxAction& a : actions) {
        auto* b = new QPushButton(QString::fromUtf8(a.text), owner);
        b->setObjectName(QString::fromLatin1(a.id));
        b->setFixedHeight(KxToolHeight);
        b->setAutoDefault(false);
        const TToolLook& look = toolLook(a.id);
        if (look.icon)
            b->setIcon(QIcon::fromTheme(QString::fromLatin1(look.icon)));
        if (a.run)
            QObject::connect(b, &QPushButton::clicked, owner, a.run);
        else
            QObject::connect(b, &QPushButton::clicked, owner, &QWidget::close);
        if (!look.key.isEmpty()) {
            b->setToolTip(QStringLiteral("%1 (%2)").arg(b->text(), look.key.toString(QKeySequence::NativeText)));
            auto* key = new QShortcut(look.key, owner);
            key->setContext(Qt::WidgetWithChildrenShortcut);
            const bool esc = look.key == QKeySequence(Qt::Key_Escape);
            const bool del = look.key == QKeySequence(Qt::Key_Delete);
            QObject::connect(key, &QShortcut::activated, b, [b, owner, esc, del] {
                // Delete removes rows only from the rows: in a drop-down of the header it
                // must not take a line away.
                if (del && !qobject_cast<QAbstractItemView*>(QApplication::focusWidget()))
                    return;
                if (TGridView* grid = esc ? editingGrid() : nullptr) {
                    // Leaving the cell is all Esc does there.
                    grid->CancelEdit();
                    grid->setFocus();
                    return;
                }
                if (b->isEnabled() && b->isVisibleTo(owner))
                    b->click();
            });
        }
        layout->addWidget(b);
        buttons << b;
    }
}

void KxInsertButtons(QWidget* owner, QBoxLayout* layout, const char* afterId, std::initializer_list<TKxAction> actions,
                     QList<QPushButton*>& buttons)
{
    QHBoxLayout made;
    QList<QPushButton*> added;
    KxAddButtons(owner, &made, actions, added);
    QPushButton* after = KxFindTool(buttons, afterId);
    int at = after ? layout->indexOf(after) + 1 : layout->count();
    qsizetype listAt = after ? buttons.indexOf(after) + 1 : buttons.size();
    for (QPushButton* b : added) {
        made.removeWidget(b);
        layout->insertWidget(at++, b);
        buttons.insert(listAt++, b);
    }
}

QPushButton* KxFindButton(const QList<QPushButton*>& buttons, const QString& text)
{
    for (QPushButton* b : buttons)
        if (b->text() == text)
            return b;
    return nullptr;
}

QPushButton* KxFindTool(const QList<QPushButton*>& buttons, const char* id)
{
    const QString name = QString::fromLatin1(id);
    for (QPushButton* b : buttons)
        if (b->objectName() == name)
            return b;
    return nullptr;
}

void KxApplyRights(TfrmBase* form, const QList<QPushButton*>& buttons, const QList<TKxRight>& rights)
{
    for (const TKxRight& r : rights) {
        const bool granted = form->GetPower(QString::fromLatin1(r.key));
        for (const char* id : r.tools)
            if (QPushButton* b = KxFindTool(buttons, id))
                b->setEnabled(granted);
    }
}

void KxHighlightKeyword(TGridView* grid, QLineEdit* keyword)
{
    QObject::connect(keyword, &QLineEdit::textChanged, grid->viewport(), qOverload<>(&QWidget::update));
    grid->AddOnCustomDrawCell([key = QPointer<QLineEdit>(keyword)](const QModelIndex&, TGridColumn* column,
                                                                    QStyleOptionViewItem& option) {
        const QString text = key ? key->text().trimmed() : QString();
        if (text.isEmpty() || !column || column->Editor == TGridEditor::Password
            || !option.text.contains(text, Qt::CaseSensitive))
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, Qt::red);
        option.palette.setColor(QPalette::HighlightedText, Qt::red);
    });
}

bool KxSearchPage(TfrmBase* form, const QString& method, const QStringList& conditions, int page,
                  TPClientDataSet* into, TKxPager* pager, const std::function<void(TRequest*)>& prepare,
                  const std::function<void(TRequest*)>& afterCall, const QString& listName,
                  const std::function<void(TResponse*, int)>& arrived)
{
    THttpWeb web;
    web.setModule(method);
    if (prepare)
        prepare(web.Request());
    web.Request()->AddParamLines(conditions);
    web.Request()->AddParamLines(form->FixedConditions());
    if (afterCall)
        afterCall(web.Request());
    if (page == -1 && !form->FixedConditions().isEmpty())
        page = 0;
    web.Request()->AddParams(QStringLiteral("curpage"), QString::number(page));
    if (!web.SendData())
        return false;
    if (page == -1)
        page = 0;
    if (page == 1)
        into->Close();
    into->KXAppendData(web.Response()->GetParamUtf8(listName));
    if (arrived)
        arrived(web.Response(), page);
    pager->PageLoaded(page, web.Response()->GetParam(QStringLiteral("pagecount")),
                      web.Response()->GetParam(QStringLiteral("recordcount")), into->UnfilteredCount());
    return true;
}

bool KxAskSearchConditions(TfrmBase* form, QStringList* conditions)
{
    TFrmSearch search(form);
    if (!search.InitSearch(form->GetParam(QStringLiteral("searchfile"))))
        return false;
    search.SetTitle(form->windowTitle() + QStringLiteral("查询"));
    if (KxUi().ShowModal(&search) != mrOk)
        return false;
    *conditions = search.Conditions();
    return true;
}

namespace {
bool postPending(TPClientDataSet* ds)
{
    return !(ds->State() == dsEdit || ds->State() == dsInsert) || ds->Post();
}
}

bool KxSaveDelta(const QString& method, TPClientDataSet* dataSet)
{
    if (!postPending(dataSet))
        return false;
    THttpWeb web;
    web.setModule(method);
    web.Request()->AddFiles(QStringLiteral("delta"), dataSet->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")))
        return false;
    try {
        if (!web.SendData())
            return false;
        UnionCDS(dataSet, web.Response()->GetParam(QStringLiteral("xmldata")));
        KxShowInfo(QStringLiteral("数据提交成功！"));
        return true;
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
        return false;
    }
}

TKxSaveResult KxSaveMasterDetail(const QString& method, TPClientDataSet* master, TPClientDataSet* detail)
{
    if (!postPending(master) || !postPending(detail))
        return TKxSaveResult::Failed;
    const bool masterChanged = master->Active() && master->ChangeCount() > 0;
    const bool detailChanged = detail->Active() && detail->ChangeCount() > 0;
    if (!masterChanged && !detailChanged)
        return TKxSaveResult::Unchanged;
    THttpWeb web;
    web.setModule(method);
    if (masterChanged)
        web.Request()->AddFiles(QStringLiteral("deltamaster"), master->GetKXXMLDelta());
    if (detailChanged)
        web.Request()->AddFiles(QStringLiteral("deltadetail"), detail->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")))
        return TKxSaveResult::Cancelled;
    try {
        if (!web.SendData())
            return TKxSaveResult::Failed;
        UnionCDS(master, web.Response()->GetParam(QStringLiteral("xmlmaster")));
        UnionCDS(detail, web.Response()->GetParam(QStringLiteral("xmldetail")));
        KxShowInfo(QStringLiteral("数据提交成功！"));
        return TKxSaveResult::Saved;
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
        return TKxSaveResult::Failed;
    }
}
