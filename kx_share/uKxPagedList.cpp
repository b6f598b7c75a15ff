#include "uKxPagedList.h"

#include "uGridPrint.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uCallModule.h"
#include "uConfig.h"
#include "uHttpWeb.h"
#include "uMasterDetail.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <httplib.h>

#include <QDateTime>
#include <QHBoxLayout>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace {
// A picture address as the panel fetches it: one without a host is the service's; only web
// addresses are taken.
QString pictureUrl(const QString& picPath)
{
    QString url = picPath.trimmed();
    if (url.startsWith(u'/') && !url.startsWith(QLatin1String("//")))
        url = QUrl(KxServiceUrl()).resolved(QUrl(url)).toString();
    return KxIsWebUrl(url) ? url : QString();
}

// One picture fetched; a failed fetch is tried again after a while, not on every repaint.
struct TFetched {
    QImage image;
    qint64 at = 0;
};
constexpr qint64 kRetrySecs = 30;

QImage fetchPicture(const QUrl& url)
{
    static QHash<QString, TFetched> fetched;
    const QString key = url.toString();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto it = fetched.constFind(key);
    if (it != fetched.constEnd() && (!it->image.isNull() || now - it->at < kRetrySecs))
        return it->image;
    TFetched f;
    f.at = now;
    const TKxProxy proxy = KxSystemProxy(key);
    httplib::Client client(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString().toStdString());
    client.set_connection_timeout(3, 0);
    client.set_read_timeout(5, 0);
    client.set_follow_location(true);
    if (!proxy.host.isEmpty())
        client.set_proxy(proxy.host.toStdString(), proxy.port);
    const QByteArray target = url.path(QUrl::FullyEncoded).toUtf8() + (url.hasQuery() ? "?" + url.query(QUrl::FullyEncoded).toUtf8() : QByteArray());
    if (const httplib::Result res = client.Get(target.toStdString()); res && res->status == 200)
        f.image = QImage::fromData(QByteArray::fromStdString(res->body));
    fetched.insert(key, f);
    return f.image;
}
}

TKxPicturePanel::TKxPicturePanel(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    document()->setDocumentMargin(5);
    setStyleSheet(QStringLiteral("QTextBrowser { background: white; }"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QString TKxPicturePanel::Page(const QString& itemPage, const QString& numIid, const QString& picPath, const QString& properties)
{
    if (numIid.isEmpty())
        return QString();
    const QString link = (itemPage + QString::fromLatin1(QUrl::toPercentEncoding(numIid))).toHtmlEscaped();
    const QString url = pictureUrl(picPath);
    const QString picture = url.isEmpty() ? QString() : (url + QStringLiteral("_120x120.jpg")).toHtmlEscaped();
    return QStringLiteral("<div align=\"center\"><a href=\"") + link + QStringLiteral("\"  target=\"_blank\"><img src=\"") + picture
           + QStringLiteral("\" style=\"border:0px; \"></a><div>") + properties.toHtmlEscaped() + QStringLiteral("</div></div>");
}

void TKxPicturePanel::ShowItem(const QString& itemPage, const QString& numIid, const QString& picPath, const QString& properties)
{
    setHtml(Page(itemPage, numIid, picPath, properties));
}

QVariant TKxPicturePanel::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::ImageResource && KxIsWebUrl(name.toString()))
        return fetchPicture(name);
    return QTextBrowser::loadResource(type, name);
}

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
    m_pager->FollowRows(m_list);
    KxHighlightKeyword(m_grid, m_keyword);
}

void TKxPagedList::AddTools(const QList<TKxAction>& tools)
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

void TKxPagedList::InsertTools(const char* afterId, std::initializer_list<TKxAction> tools)
{
    KxInsertButtons(this, m_tools, afterId, tools, m_buttons);
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

void TKxPagedList::ApplyRights(const QList<TKxRight>& rights, bool hideSearch)
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
    const auto arrived = [this](TResponse* r, int p) {
        if (m_detail) {
            if (p == 1)
                m_detail->Close();
            m_detail->KXAppendData(r->GetParamUtf8(m_detailValue));
        }
        PageArrived(r, p);
    };
    if (!KxSearchPage(this, SearchMethod(), m_conditions, page, m_list, m_pager,
                      [this](TRequest* r) { AddSearchParams(r); }, [this](TRequest* r) { AddParamsAfterCallParams(r); },
                      ListValueName(), arrived))
        return false;
    AfterSearch(page);
    if (!m_pager->Running())
        RefreshDetail();
    return true;
}

void TKxPagedList::SetDetail(TPClientDataSet* detail, const QString& valueName, const QString& masterField, const QString& detailField)
{
    m_detail = detail;
    m_detailValue = valueName;
    m_detailLink = new TMasterDetailLink(m_list, masterField, detail, detailField, this);
    // While "剩余页" runs, the lines are shown once at the end, not for every row it passes.
    connect(m_list, &TPClientDataSet::currentRowChanged, this, [this] {
        if (!m_pager->Running())
            RefreshDetail();
    });
}

void TKxPagedList::RefreshDetail()
{
    if (!m_detailLink)
        return;
    m_detailLink->Refresh();
    DetailShown();
}

void TKxPagedList::ShowLinkedModule(const QString& module, const QStringList& lines)
{
    if (module.isEmpty())
        return;
    std::unique_ptr<TfrmBase> form(CallModule(this, module, lines));
    if (!form)
        return;
    form->FixedConditions() << lines;
    // A dialog over the list, whether or not the module is modal by itself.
    KxUi().ShowModal(form.get());
}

void TKxPagedList::ShowKeyFieldsModule(TPClientDataSet* rows)
{
    const QString module = GetParam(QStringLiteral("module")), keys = GetParam(QStringLiteral("keyfields"));
    if (m_list->RecordCount() == 0 || module.isEmpty() || keys.isEmpty() || rows->RecordCount() == 0)
        return;
    QStringList lines;
    for (const QString& name : keys.split(u';', Qt::SkipEmptyParts))
        if (const TField* f = rows->FindField(name.trimmed()))
            lines << name.trimmed() + QLatin1Char('=') + f->AsString();
    ShowLinkedModule(module, lines);
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
