#pragma once
// The paged list window that master-data lists, document lists and reports are made of: a
// tool row (buttons found by id), a title strip with the keyword box "搜索关键字：", a body
// the member supplies (one grid, or a grid over its lines), and the record label with
// "下一页", "剩余页" and "暂 停" under it. It keeps the saved search conditions and lays out
// each page request: the list's own parameters, the conditions, the call parameters, the
// parameters after them, "curpage". Members state their tools, their rights table, their body
// and the hooks they need; every service method comes from the module's parameters.
#include "uFormParts.h"
#include "uGridPrint.h"
#include "ufrmBase.h"

#include <QStringList>
#include <QTextBrowser>

#include <initializer_list>

class QBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class TGridView;
class TKxPager;
class TMasterDetailLink;
class TPClientDataSet;
class TRequest;
class TResponse;

// The picture of a marketplace item beside a list of orders, refunds or goods: a link to the
// item's page around its picture, the SKU's properties under it. Marketplace texts are data,
// never markup; only web pictures are shown, an address without a host being the service's
// own (the simulated marketplace serves its pictures from there). Pictures are fetched once
// per address while the program runs.
class TKxPicturePanel : public QTextBrowser {
    Q_OBJECT
public:
    explicit TKxPicturePanel(QWidget* parent = nullptr);

    // The page for an item: `itemPage` followed by the item id is the item's page; the picture
    // is shown as `picPath` + "_120x120.jpg". No item id: an empty page.
    static QString Page(const QString& itemPage, const QString& numIid, const QString& picPath, const QString& properties);
    void ShowItem(const QString& itemPage, const QString& numIid, const QString& picPath, const QString& properties);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

class TKxPagedList : public TfrmBase {
    Q_OBJECT
public:
    // `recordText` is the record label until the first page arrives.
    TKxPagedList(const QString& recordText, QWidget* owner);

    TGridView* Grid() const { return m_grid; }
    TPClientDataSet* ListData() const { return m_list; }
    TKxPager* Pager() const { return m_pager; }
    QLabel* TitleLabel() const { return m_title; }
    QLabel* RecordLabel() const { return m_recordLabel; }
    QLineEdit* KeywordEdit() const { return m_keyword; }
    QPushButton* Button(const QString& text) const; // by caption
    QPushButton* Tool(const char* id) const;
    QStringList SavedConditions() const { return m_conditions; }
    int CurPage() const;
    int PageCount() const;
    // What "打 印" and "预 览" put on the page: the module's title, the saved conditions
    // (with the list's captions), the footer sums when shown. A member may add to it.
    virtual TGridPrintOptions PrintOptions() const;

    // One page of the list. With conditions, they become the saved ones. Page -1 is the
    // opening call (0 when the form has call parameters); page 1 starts the list anew, later
    // pages are appended. False when the call failed: the list stays as it was.
    bool Search(const QStringList* conditions, int page);

    // The buttons every paged list has, by their handlers' names.
    void dxBL_SearchClick();
    void dxBL_RefreshClick();
    void dxBL_ExportClick();
    void dxBL_PrintClick();
    void dxBL_PreviewClick();
    virtual void dxBL_ColumnsClick();
    void btnNextClick();
    void btnRemainClick();
    void btnPauseClick();

protected:
    // The tool row, in order; a tool without a handler closes the window.
    void AddTools(const QList<TKxAction>& tools);
    // More tools after the tool `afterId` (a member's own buttons amid a base's row).
    void InsertTools(const char* afterId, std::initializer_list<TKxAction> tools);
    // The part between the title strip and the pager bar (the main grid when not called).
    void SetBody(QWidget* body);
    // Rights on the tool row, and "查 询" only with a search scheme: hidden without one, or
    // disabled when `hideSearch` is false.
    void ApplyRights(const QList<TKxRight>& rights, bool hideSearch = true);
    // The title strip gets "moduletitle".
    void ShowTitle();

    // Runs once, the first time the window is shown.
    virtual void FormOpen() = 0;
    // The method that returns a page of the list.
    virtual QString SearchMethod() const;
    // Runs before every page request.
    virtual void BeforeSearch() {}
    // Parameters sent before the conditions.
    virtual void AddSearchParams(TRequest*) {}
    // Parameters sent after the call parameters, before "curpage".
    virtual void AddParamsAfterCallParams(TRequest*) {}
    // Runs after every page that arrived.
    virtual void AfterSearch(int /*page*/) {}
    // The answer value that holds the list's rows.
    virtual QString ListValueName() const { return QStringLiteral("xmldata"); }
    // Reads what else a page's answer holds, before the pager counts it (page -1 as 0).
    virtual void PageArrived(TResponse* /*response*/, int /*page*/) {}

    // A list with lines: every page's answer value `valueName` is added to `detail` (page 1
    // starts it anew), and `detail` shows the lines whose `detailField` is the current row's
    // `masterField`.
    void SetDetail(TPClientDataSet* detail, const QString& valueName, const QString& masterField, const QString& detailField);
    // Shows the current row's lines again (the row moved, the list was filtered).
    void RefreshDetail();
    // Runs whenever the current row's lines were shown anew.
    virtual void DetailShown() {}
    // Opens `module` as a dialog given `lines` as its parameters and fixed conditions, and frees
    // it afterwards. Nothing without a module name.
    void ShowLinkedModule(const QString& module, const QStringList& lines);
    // The module of parameter "module" for the current row of `rows`, given the row's values of
    // the fields parameter "keyfields" names (";" between them) as lines name=value. Nothing
    // while the list is empty or either parameter is missing.
    void ShowKeyFieldsModule(TPClientDataSet* rows);

    void showEvent(QShowEvent* event) override;

    QList<QPushButton*> m_buttons;

private:
    TPClientDataSet* m_list;
    TGridView* m_grid;
    QLabel* m_title;
    QLabel* m_recordLabel;
    QLineEdit* m_keyword;
    TKxPager* m_pager;
    QBoxLayout* m_tools;
    QBoxLayout* m_layout;
    QWidget* m_body = nullptr;
    QStringList m_conditions;
    bool m_opened = false;
    TPClientDataSet* m_detail = nullptr;
    TMasterDetailLink* m_detailLink = nullptr;
    QString m_detailValue;
};
