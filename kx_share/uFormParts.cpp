#include "uFormParts.h"

#include "uFrmSearch.h"
#include "uGridView.h"
#include "uUiHooks.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "ufrmBase.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionViewItem>

void KxAddButtons(QWidget* owner, QBoxLayout* layout, std::initializer_list<TKxAction> actions,
                  QList<QPushButton*>& buttons)
{
    for (const TKxAction& a : actions) {
        auto* b = new QPushButton(QString::fromUtf8(a.text), owner);
        b->setObjectName(QString::fromLatin1(a.id));
        if (a.run)
            QObject::connect(b, &QPushButton::clicked, owner, a.run);
        else
            QObject::connect(b, &QPushButton::clicked, owner, &QWidget::close);
        layout->addWidget(b);
        buttons << b;
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

void KxApplyRights(TfrmBase* form, const QList<QPushButton*>& buttons, std::initializer_list<TKxRight> rights)
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
                      web.Response()->GetParam(QStringLiteral("recordcount")), into->RecordCount());
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
