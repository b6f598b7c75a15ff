#include "uKxPagedList.h"

#include "uGridPrint.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUtils.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TKxPagedList::TKxPagedList(const QString& recordText, QWidget* owner)
    : TfrmBase(owner)
    , m_list(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
    , m_title(new QLabel(this))
    , m_recordLabel(new QLabel(recordText, this))
    , m_keyword(new QLineEdit(this))
    , m_pager(new TKxPager(this))
    , m_tools(new QHBoxLayout)
    , m_layout(new QVBoxLayout(this))
{
    auto* strip = new QHBoxLayout;
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 4);
    m_title->setFont(titleFont);
    strip->addWidget(m_title);
    strip->addStretch();
    strip->addWidget(new QLabel(QStringLiteral("搜索关键字："), this));
    strip->addWidget(m_keyword);

    auto* paging = new QHBoxLayout;
    paging->addWidget(m_recordLabel);
    paging->addStretch();
    KxAddButtons(this, paging,
                 {{KxTool::Next, "下一页", [this] { btnNextClick(); }},
                  {KxTool::Remain, "剩余页", [this] { btnRemainClick(); }},
                  {KxTool::Pause, "暂 停", [this] { btnPauseClick(); }}},
                 m_buttons);

    m_layout->addLayout(m_tools);
    m_layout->addLayout(strip);
    m_layout->addWidget(m_grid, 1);
    m_layout->addLayout(paging);

    m_grid->SetDataSet(m_list);
    m_pager->SetFetchPage([this](int page) { return Search(nullptr, page); });
    m_pager->Bind(m_recordLabel, nullptr, nullptr, nullptr);
    KxHighlightKeyword(m_grid, m_keyword);
}

void TKxPagedList::AddTools(std::initializer_list<TKxAction> tools)
{
    const qsizetype pager = m_buttons.size();
    KxAddButtons(this, m_tools, tools, m_buttons);
    m_tools->addStretch();
    // The focus goes as the eye does: the tools, the keyword, the rows, the pager.
    QList<QWidget*> chain;
    for (qsizetype i = pager; i < m_buttons.size(); ++i)
        chain << m_buttons[i];
    chain << m_keyword << m_grid;
    for (qsizetype i = 0; i < pager; ++i)
        chain << m_buttons[i];
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void TKxPagedList::SetBody(QWidget* body)
{
    m_layout->removeWidget(m_grid);
    m_layout->insertWidget(2, body, 1);
}

QPushButton* TKxPagedList::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

QPushButton* TKxPagedList::Tool(const char* id) const
{
    return KxFindTool(m_buttons, id);
}

int TKxPagedList::CurPage() const
{
    return m_pager->CurPage();
}

int TKxPagedList::PageCount() const
{
    return m_pager->PageCount();
}

void TKxPagedList::ApplyRights(std::initializer_list<TKxRight> rights, bool hideSearch)
{
    KxApplyRights(this, m_buttons, rights);
    if (QPushButton* search = Tool(KxTool::Search)) {
        const bool scheme = !GetParam(QStringLiteral("searchfile")).isEmpty();
        if (hideSearch)
            search->setVisible(scheme);
        else
            search->setEnabled(scheme);
    }
}

void TKxPagedList::ShowTitle()
{
    m_title->setText(GetParam(QStringLiteral("moduletitle")));
}

QString TKxPagedList::SearchMethod() const
{
    return GetParam(QStringLiteral("search"));
}

void TKxPagedList::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        FormOpen();
    }
}

bool TKxPagedList::Search(const QStringList* conditions, int page)
{
    if (conditions)
        m_conditions = *conditions;
    BeforeSearch();
    if (!KxSearchPage(this, SearchMethod(), m_conditions, page, m_list, m_pager,
                      [this](TRequest* r) { AddSearchParams(r); }, [this](TRequest* r) { AddParamsAfterCallParams(r); },
                      ListValueName(), [this](TResponse* r, int p) { PageArrived(r, p); }))
        return false;
    AfterSearch(page);
    return true;
}

void TKxPagedList::dxBL_SearchClick()
{
    QStringList conditions;
    if (KxAskSearchConditions(this, &conditions))
        Search(&conditions, 1);
}

void TKxPagedList::dxBL_RefreshClick()
{
    Search(nullptr, 1);
}

void TKxPagedList::dxBL_ExportClick()
{
    ExportPagedGridToExcel(m_grid, m_pager);
}

TGridPrintOptions TKxPagedList::PrintOptions() const
{
    TGridPrintOptions o;
    o.Title = GetParam(QStringLiteral("moduletitle")).trimmed();
    if (o.Title.isEmpty())
        o.Title = windowTitle();
    o.Footers = m_grid->FooterVisible();
    // Conditions read with the list's captions where it has one for the name.
    const QStringList captions = GetParam(QStringLiteral("fieldlabels")).split(u';');
    for (const QString& line : m_conditions) {
        const qsizetype eq = line.indexOf(u'=');
        QString name = line.left(eq);
        for (const QString& pair : captions)
            if (pair.section(u'=', 0, 0).compare(name, Qt::CaseInsensitive) == 0 && !pair.section(u'=', 1).trimmed().isEmpty()) {
                name = pair.section(u'=', 1).trimmed();
                break;
            }
        o.Conditions << (eq < 0 ? line : name + QStringLiteral("：") + line.mid(eq + 1));
    }
    return o;
}

void TKxPagedList::dxBL_PrintClick()
{
    KxPrintGrid(m_grid, PrintOptions());
}

void TKxPagedList::dxBL_PreviewClick()
{
    KxPreviewGrid(m_grid, PrintOptions());
}

void TKxPagedList::dxBL_ColumnsClick()
{
    SetGridColumnVisible(windowTitle(), m_grid);
}

void TKxPagedList::btnNextClick()
{
    m_pager->NextPage();
}

void TKxPagedList::btnRemainClick()
{
    if (m_pager->RemainingPages() > 0)
        m_grid->viewport()->update();
}

void TKxPagedList::btnPauseClick()
{
    m_pager->Pause();
}
