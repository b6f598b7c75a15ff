#include "ufrmDocEdit.h"

#include "TDecimal.h"
#include "uCallModule.h"
#include "uClock.h"
#include "uConfig.h"
#include "uFormParts.h"
#include "uFrmHistory.h"
#include "uFrmSelect.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <memory>

namespace {

bool isBlank(const TField* f)
{
    return !f || f->AsString().trimmed().isEmpty();
}

bool isZero(const TField* f)
{
    return !f || f->IsNull() || f->AsDecimal().IsZero();
}

// "field" or "field=productfield".
QPair<QString, QString> productMapping(const QString& entry)
{
    const int eq = entry.indexOf(QLatin1Char('='));
    return eq < 0 ? qMakePair(entry, entry) : qMakePair(entry.left(eq), entry.mid(eq + 1));
}

const QString kStatus = QStringLiteral("status");

} // namespace

TfrmDocEdit::TfrmDocEdit(const TKxDocEditDef& def, QWidget* owner)
    : TfrmBase(owner)
    , m_def(def)
    , m_master(new TPClientDataSet(this))
    , m_detail(new TPClientDataSet(this))
    , m_storage(new TPClientDataSet(this))
    , m_shop(new TPClientDataSet(this))
    , m_logistics(new TPClientDataSet(this))
    , m_status(new TPClientDataSet(this))
    , m_binder(new TKxRecordBinder(m_master, this))
    , m_grid(new TGridView(this))
    , m_statusLabel(new QLabel(this))
{
    resize(1120, 640);
    m_master->setObjectName(QStringLiteral("cdsMaster"));
    m_detail->setObjectName(QStringLiteral("cdsDetail"));
    m_grid->setObjectName(QStringLiteral("cxGridDetail"));

    auto* tools = new QHBoxLayout;
    m_tools = tools;
    KxAddButtons(this, tools,
                 {{KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
                  {KxTool::New, "新 建", [this] { dxBL_NewClick(); }},
                  {KxTool::Insert, "插 入", [this] { dxBL_InsertClick(); }},
                  {KxTool::Delete, "删 除", [this] { dxBL_DeleteClick(); }},
                  {KxTool::Save, "保 存", [this] { dxBL_SaveClick(); }},
                  {KxTool::Audit, "审 核", [this] { dxBL_AuditClick(); }},
                  {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
                  {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
                  {KxTool::PrintReport, "票据打印", [this] { dxBL_PrintReportClick(); }},
                  {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
                  {KxTool::Exit, "退 出", {}}},
                 m_buttons);
    tools->addStretch();
    Tool(KxTool::Audit)->setVisible(m_def.hasStatus);

    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("pnlHeader"));
    buildHeader(header);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(header);
    layout->addWidget(m_grid, 1);

    // "修改记录" on the window's and the lines' context menu: the saved document's history.
    auto* history = new QAction(QStringLiteral("修改记录"), this);
    history->setObjectName(QStringLiteral("actHistory"));
    connect(history, &QAction::triggered, this, [this] {
        const QString method = GetParam(QStringLiteral("history"));
        const QString id = m_master->Active() && !m_master->IsEmpty() ? m_master->FieldByName(m_def.idField)->AsString() : QString();
        if (!method.isEmpty())
            KxShowHistory(this, method, KxRecordArea(GetParam(QStringLiteral("update"))), id, windowTitle());
    });
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(m_grid)}) {
        w->addAction(history);
        w->setContextMenuPolicy(Qt::ActionsContextMenu);
    }

    // Lines: the code and the entry numbers are typed, the rest follows from the product.
    m_grid->SetDataSet(m_detail);
    m_grid->setSortingEnabled(false);
    for (const QString& name : m_def.lineFields) {
        TGridColumn* c = m_grid->AddColumn(name);
        c->Width = KxDocColumnWidth(name);
        c->ReadOnly = name != m_def.codeField && !m_def.entryFields.contains(name);
        if (name == m_def.codeField)
            c->Editor = TGridEditor::Button;
        else if (name == m_def.qtyField)
            c->Editor = TGridEditor::Integer;   // stock is kept in whole pieces
        else if (m_def.amountFields.contains(name))
            c->Editor = TGridEditor::Amount;
        // The quantity and the amounts are summed under the lines.
        if ((!m_def.qtyField.isEmpty() && name == m_def.qtyField)
            || std::any_of(m_def.amounts.begin(), m_def.amounts.end(), [&](const TKxLineAmount& a) { return a.field == name; }))
            c->Footer = TGridFooter::Sum;
    }
    m_grid->ColumnsChanged();
    m_grid->SetFooterVisible(true);
    // The numbers the operator types stand out: bold green, white on a selected line.
    m_grid->SetOnCustomDrawCell([this](const QModelIndex&, TGridColumn* column, QStyleOptionViewItem& option) {
        if (!column || !m_def.markedFields.contains(column->FieldName, Qt::CaseInsensitive))
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, QColor(0, 128, 0));
        option.palette.setColor(QPalette::HighlightedText, Qt::white);
    });
    connect(m_grid, &TGridView::ButtonClicked, this, [this](TGridColumn*, int row) {
        // The pick replaces the cell; what the editor holds must not be written back over it.
        m_grid->CancelEdit();
        ProductButtonClick(row);
    });
    connect(m_grid->GridModel(), &TGridModel::cellEdited, this, &TfrmDocEdit::cellEdited);
    connect(m_grid->GridModel(), &TGridModel::valueRefused, this, [this](int, TGridColumn* column, const QString& text) {
        const QString caption = column && !column->Caption.isEmpty() ? column->Caption : QStringLiteral("数量");
        KxShowInfo(QStringLiteral("【%1】不是正确的数字：%2").arg(caption, text.left(40)));
    });
    m_grid->installEventFilter(this);

    m_binder->SetBeforeWrite([this] { return ensureHeader(); });
    connect(m_detail, &TPClientDataSet::reset, this, &TfrmDocEdit::updateLocks);
    connect(m_detail, &TPClientDataSet::rowsInserted, this, &TfrmDocEdit::updateLocks);
    connect(m_detail, &TPClientDataSet::rowsRemoved, this, &TfrmDocEdit::updateLocks);
    // The header total follows the lines as they change, not only at save.
    connect(m_detail, &TPClientDataSet::rowChanged, this, &TfrmDocEdit::updateTotal);
    connect(m_detail, &TPClientDataSet::rowsRemoved, this, &TfrmDocEdit::updateTotal);
}

void TfrmDocEdit::buildHeader(QWidget* panel)
{
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    constexpr int kPairs = 3;
    int i = 0;
    for (const QString& field : m_def.headerFields) {
        auto* label = new QLabel(field, panel);
        label->setObjectName(field); // captions find their label by the field's name
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QWidget* box;
        const auto list = std::find_if(m_def.lists.begin(), m_def.lists.end(), [&](const TKxHeaderList& l) { return l.field == field; });
        if (list != m_def.lists.end()) {
            auto* combo = new QComboBox(panel);
            combo->setObjectName(QStringLiteral("cbx") + field);
            if (list->source == TKxHeaderList::Shops)
                m_binder->BindLookup(combo, field, m_shop, QStringLiteral("shopcode"), QStringLiteral("shopname"), list->nameField);
            else if (list->source == TKxHeaderList::Carriers)
                m_binder->BindLookup(combo, field, m_logistics, QStringLiteral("logistics_code"), QStringLiteral("logistics_name"),
                                     list->nameField);
            else
                m_binder->BindLookup(combo, field, m_storage, QStringLiteral("storageid"), QStringLiteral("storagename"),
                                     list->nameField);
            m_boxes.append({*list, combo});
            box = combo;
        } else {
            auto* edit = new QLineEdit(panel);
            edit->setObjectName(QStringLiteral("edt") + field);
            const bool typed = (!m_def.partyCode.isEmpty() && field == m_def.partyCode) || m_def.headerEdits.contains(field);
            edit->setReadOnly(!typed);
            // Tab walks only through what the operator types: party, storage, remark, lines.
            if (!typed)
                edit->setFocusPolicy(Qt::ClickFocus);
            if (!m_def.partyCode.isEmpty() && field == m_def.partyCode) {
                m_partyEdit = edit;
                QAction* pick = edit->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
                pick->setObjectName(QStringLiteral("actPickParty"));
                connect(pick, &QAction::triggered, this, &TfrmDocEdit::PartyButtonClick);
                connect(edit, &QLineEdit::returnPressed, this, &TfrmDocEdit::PartyEnter);
                edit->installEventFilter(this);
            }
            m_binder->BindEdit(edit, field);
            m_edits.append({field, edit});
            box = edit;
        }
        grid->addWidget(label, i / kPairs, (i % kPairs) * 2);
        grid->addWidget(box, i / kPairs, (i % kPairs) * 2 + 1);
        ++i;
    }
    // The state of the document, large and red beside the header.
    QFont big = m_statusLabel->font();
    big.setPointSizeF(qMax<qreal>(big.pointSizeF(), 9) * 2);
    big.setBold(true);
    m_statusLabel->setFont(big);
    m_statusLabel->setObjectName(QStringLiteral("lblStatus"));
    QPalette pal = m_statusLabel->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    m_statusLabel->setPalette(pal);
    m_statusLabel->setMinimumWidth(140);
    m_statusLabel->setAlignment(Qt::AlignCenter);
    m_statusLabel->setVisible(m_def.hasStatus);
    grid->addWidget(m_statusLabel, 0, kPairs * 2, qMax(1, (i + kPairs - 1) / kPairs), 1);
    m_binder->BindLabel(m_statusLabel, QStringLiteral("statusname"));
    // Texts of several lines side by side under the boxes.
    const int memoRow = (i + kPairs - 1) / kPairs;
    int m = 0;
    for (const QString& field : m_def.memoFields) {
        auto* label = new QLabel(field, panel);
        label->setObjectName(field);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        auto* memo = new QPlainTextEdit(panel);
        memo->setObjectName(QStringLiteral("mmo") + field);
        memo->setTabChangesFocus(true);
        memo->setFixedHeight(memo->fontMetrics().lineSpacing() * 3 + 12);
        m_binder->BindMemo(memo, field);
        m_memos.append({field, memo});
        grid->addWidget(label, memoRow, m * 2);
        grid->addWidget(memo, memoRow, m * 2 + 1, 1, m + 1 == m_def.memoFields.size() ? (kPairs - m) * 2 - 1 : 1);
        ++m;
    }
    for (int c = 0; c < kPairs; ++c)
        grid->setColumnStretch(c * 2 + 1, 1);
}

QPlainTextEdit* TfrmDocEdit::MemoEdit(const QString& field) const
{
    for (const auto& [name, memo] : m_memos)
        if (name == field)
            return memo;
    return nullptr;
}

void TfrmDocEdit::InsertTools(const char* afterId, std::initializer_list<TKxAction> tools)
{
    KxInsertButtons(this, m_tools, afterId, tools, m_buttons);
}

QLineEdit* TfrmDocEdit::HeaderEdit(const QString& field) const
{
    for (const auto& [name, edit] : m_edits)
        if (name == field)
            return edit;
    return nullptr;
}

QComboBox* TfrmDocEdit::HeaderBox(const QString& field) const
{
    for (const auto& [list, box] : m_boxes)
        if (list.field == field)
            return box;
    return nullptr;
}

QComboBox* TfrmDocEdit::StorageBox() const
{
    return m_boxes.isEmpty() ? nullptr : m_boxes.first().second;
}

QWidget* TfrmDocEdit::headerWidget(const QString& field) const
{
    if (QLineEdit* edit = HeaderEdit(field))
        return edit;
    return HeaderBox(field);
}

QPushButton* TfrmDocEdit::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

QPushButton* TfrmDocEdit::Tool(const char* id) const
{
    return KxFindTool(m_buttons, id);
}

QStringList TfrmDocEdit::productConditions() const
{
    QStringList lines;
    for (const TKxPickParam& p : m_def.productParams)
        lines << p.name + QLatin1Char('=')
                     + (p.headerField.isEmpty() ? p.value : m_master->FieldByName(p.headerField)->AsString().trimmed());
    return lines;
}

void TfrmDocEdit::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        // A window of its own opens in the middle of the screen, over the list it came from.
        if (isWindow())
            if (const QScreen* screen = this->screen())
                move(screen->availableGeometry().center() - rect().center());
        open();
    }
}

bool TfrmDocEdit::eventFilter(QObject* watched, QEvent* event)
{
    // The party box is read-only while the document has lines, checked each time it is entered.
    if (watched == m_partyEdit && event->type() == QEvent::FocusIn)
        updateLocks();
    const bool mayAdd = Tool(KxTool::Insert)->isEnabled();
    // Entering the grid of a document that has a header but no lines opens the first line, so
    // the operator can type (or scan) the first code straight away.
    if (watched == m_grid && event->type() == QEvent::FocusIn && m_detail->Active() && m_detail->IsEmpty()
        && m_master->Active() && !m_master->IsEmpty() && mayAdd) {
        appendLine(false);
        focusCell(0, m_def.codeField);
    }
    // Down on the last line opens a new one, as in any entry grid.
    if (watched == m_grid && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down
        && !m_grid->Editing() && mayAdd && m_detail->Active() && m_grid->currentIndex().row() == m_detail->RecordCount() - 1) {
        const TField* code = m_detail->FindField(m_def.codeField);
        if (!isBlank(code)) {
            appendLine(false);
            focusCell(m_detail->RecordCount() - 1, m_def.codeField);
            return true;
        }
    }
    return TfrmBase::eventFilter(watched, event);
}

bool TfrmDocEdit::Editable() const
{
    // An audited document is shown as it is: nothing on it can be saved any more.
    return !m_master->Active() || m_master->IsEmpty() || m_master->FieldByName(kStatus)->AsInteger() != 2;
}

void TfrmDocEdit::applyRights()
{
    if (auto* history = findChild<QAction*>(QStringLiteral("actHistory"), Qt::FindDirectChildrenOnly))
        history->setVisible(!GetParam(QStringLiteral("history")).isEmpty());
    KxApplyRights(this, m_buttons,
                  {{"isupdate", {KxTool::New, KxTool::Delete, KxTool::Insert, KxTool::Save}},
                   {"isaudit", {KxTool::Audit}},
                   {"isprint", {KxTool::Print, KxTool::Preview, KxTool::PrintReport}},
                   {"iscolumn", {KxTool::Columns}}});
    updateLocks();
}

void TfrmDocEdit::updateLocks()
{
    const bool open = Editable();
    const bool update = GetPower(QStringLiteral("isupdate"));
    for (const char* id : {KxTool::Insert, KxTool::Delete, KxTool::Save})
        Tool(id)->setEnabled(update && open);
    Tool(KxTool::Audit)->setEnabled(GetPower(QStringLiteral("isaudit")) && open);
    // Lines are typed only by those who may save them, and only while the document is open.
    m_grid->setEditTriggers(update && open ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                                 | QAbstractItemView::AnyKeyPressed
                                           : QAbstractItemView::NoEditTriggers);
    const bool hasLines = m_detail->Active() && !m_detail->IsEmpty();
    for (const QString& field : m_def.headerEdits)
        if (QLineEdit* edit = HeaderEdit(field))
            edit->setReadOnly(!open);
    for (const auto& [field, memo] : m_memos)
        memo->setReadOnly(!open);
    // Lines were chosen for the party and the storage; a document still without one must be
    // able to get it.
    if (m_partyEdit)
        m_partyEdit->setReadOnly(!open || (hasLines && !m_partyEdit->text().trimmed().isEmpty()));
    for (const auto& [list, box] : m_boxes)
        box->setEnabled(open && !(list.lockedWithLines && hasLines && !box->currentText().trimmed().isEmpty()));
}

void TfrmDocEdit::open()
{
    applyRights();
    FormViewDispay(this, GetParam(QStringLiteral("masterlabels")));
    TableViewDispay(m_grid, GetParam(QStringLiteral("detaillabels")));
    DisTableViewDispay(m_grid, GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), m_grid);
    const auto usesList = [this](TKxHeaderList::TSource source) {
        return std::any_of(m_def.lists.begin(), m_def.lists.end(), [&](const TKxHeaderList& l) { return l.source == source; });
    };
    if (usesList(TKxHeaderList::Storages)) {
        QStringList storageLines;
        if (!m_def.storageType.isEmpty())
            storageLines << QStringLiteral("storagetype=") + m_def.storageType;
        KxLoadLookupList(this, QStringLiteral("storage"), storageLines, m_storage);
    }
    if (usesList(TKxHeaderList::Shops))
        KxLoadLookupList(this, QStringLiteral("shop"), m_def.shopListParams, m_shop);
    if (usesList(TKxHeaderList::Carriers))
        KxLoadLookupList(this, QStringLiteral("logistics"), {}, m_logistics);
    for (const auto& [list, box] : m_boxes)
        m_binder->ReloadLookup(box);
    if (m_def.hasStatus)
        KxLoadLookupList(this, QStringLiteral("status"), {}, m_status);
    // The caller's id (the list's "receiveid=" entry) takes the place of the parameter.
    QString id = GetParam(m_def.idField);
    const QString prefix = m_def.idField + QLatin1Char('=');
    for (const QString& line : FixedConditions())
        if (line.startsWith(prefix))
            id = line.mid(prefix.size());
    LoadDocument(id);
    // The entry starts with the party, then the storage, then the lines.
    if (m_partyEdit)
        m_partyEdit->setFocus();
}

bool TfrmDocEdit::LoadDocument(const QString& id)
{
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("search")));
    web.Request()->AddParams(m_def.idField, id);
    // The id asked for is the document shown, not the one the window was opened with.
    const QString prefix = m_def.idField + QLatin1Char('=');
    for (const QString& line : FixedConditions())
        if (!line.startsWith(prefix))
            web.Request()->AddParamLines({line});
    if (!web.SendData())
        return false;
    m_loading = true;
    m_master->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmlmaster")));
    m_detail->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldetail")));
    prepareFields();
    m_loading = false;
    m_binder->Refresh();
    updateLocks();
    return true;
}

void TfrmDocEdit::prepareFields()
{
    if (!m_master->Active() || !m_detail->Active())
        return;
    if (m_def.hasStatus && !m_master->FindField(QStringLiteral("statusname")))
        m_master->AddLookupField(QStringLiteral("statusname"), ftString, 20, kStatus, m_status, kStatus,
                                 QStringLiteral("statusname"));
    if (KxAddLineAmounts(m_detail, m_def.qtyField, m_def.amounts, [this] { return m_def.moneyLines.Of(m_master); }))
        m_grid->ColumnsChanged();
    KxShowUnitPrices(m_grid, m_def.amounts, m_def.moneyLines.Of(m_master));
}

QString TfrmDocEdit::operatorStamp() const
{
    return QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
}

bool TfrmDocEdit::ensureHeader()
{
    if (!m_master->Active())
        return false;
    if (m_master->IsEmpty()) {
        QList<QPair<QString, QString>> values;
        if (!NewHeaderValues(values))
            return false;
        m_master->Append();
        m_master->FieldByName(QStringLiteral("md5_key"))->SetAsString(GetMd5_Key());
        for (const QString& field : m_def.shopFields)
            m_master->FieldByName(field)->SetAsString(gShopId);
        if (m_def.hasStatus)
            m_master->FieldByName(kStatus)->SetAsInteger(0);
        if (!m_def.totalField.isEmpty())
            m_master->FieldByName(m_def.totalField)->SetAsDecimal(TDecimal::FromInteger(0));
        for (const auto& [field, value] : m_def.defaults + values)
            m_master->FieldByName(field)->SetAsString(value);
        m_master->FieldByName(QStringLiteral("inputren"))->SetAsString(operatorStamp());
        m_master->FieldByName(QStringLiteral("inputtime"))->SetAsString(KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        return true;
    }
    if (m_master->State() == dsBrowse)
        m_master->Edit();
    return true;
}

bool TfrmDocEdit::checkHeader(TKxCheckAt at)
{
    for (const TKxHeaderCheck& check : m_def.checks) {
        if (!(check.at & at))
            continue;
        QWidget* box = headerWidget(check.field);
        auto* edit = qobject_cast<QLineEdit*>(box);
        auto* combo = qobject_cast<QComboBox*>(box);
        const QString text = edit ? edit->text() : combo ? combo->currentText() : m_master->FieldByName(check.field)->AsString();
        if (!text.trimmed().isEmpty())
            continue;
        KxShowInfo(check.message);
        if (edit)
            edit->setReadOnly(false);
        if (combo)
            combo->setEnabled(true);
        if (box)
            box->setFocus();
        return false;
    }
    return true;
}

// --- Party ----------------------------------------------------------------------------------

void TfrmDocEdit::PartyButtonClick()
{
    if (!m_partyEdit || m_partyEdit->isReadOnly())
        return;
    std::unique_ptr<TfrmBase> pick(CallModule(this, m_def.partyModule));
    if (!pick)
        return;
    pick->FixedConditions() << m_def.partyConditions;
    if (KxUi().ShowModal(pick.get()) != mrOk)
        return;
    TPClientDataSet chosen;
    pick->ResultStream()->seek(0);
    if (!chosen.LoadFromStream(pick->ResultStream()) || chosen.IsEmpty() || !ensureHeader())
        return;
    chosen.First();
    m_master->FieldByName(m_def.partyCode)->SetAsString(chosen.FieldByName(m_def.partyCode)->AsString());
    m_master->FieldByName(m_def.partyName)->SetAsString(chosen.FieldByName(m_def.partyName)->AsString());
    m_binder->Refresh();
}

void TfrmDocEdit::PartyEnter()
{
    if (!m_partyEdit || m_partyEdit->isReadOnly())
        return;
    TPClientDataSet rows;
    const TKxLookupResult found = KxLookup(this, m_def.partyModule,
                                           QStringList{m_def.partyCode + QLatin1Char('=') + m_partyEdit->text()} + m_def.partyConditions,
                                           &rows);
    // A call that failed was shown by the service client; the box keeps what was typed.
    if (found == TKxLookupResult::Failed || !ensureHeader())
        return;
    const bool hit = found == TKxLookupResult::Found;
    m_master->FieldByName(m_def.partyCode)->SetAsString(hit ? rows.FieldByName(m_def.partyCode)->AsString() : QString());
    m_master->FieldByName(m_def.partyName)->SetAsString(hit ? rows.FieldByName(m_def.partyName)->AsString() : QString());
    m_binder->Refresh();
}

// --- Lines ----------------------------------------------------------------------------------

void TfrmDocEdit::stampLine()
{
    m_detail->FieldByName(QStringLiteral("md5_key"))->SetAsString(m_master->FieldByName(QStringLiteral("md5_key"))->AsString());
    m_detail->FieldByName(m_def.idField)->SetAsString(m_master->FieldByName(m_def.idField)->AsString());
    for (const QString& field : m_def.lineFromHeader)
        m_detail->FieldByName(field)->SetAsString(m_master->FieldByName(field)->AsString());
    for (const auto& [field, value] : m_def.lineDefaults)
        m_detail->FieldByName(field)->SetAsString(value);
}

void TfrmDocEdit::appendLine(bool insertHere)
{
    if (!m_detail->Active() || !ensureHeader())
        return;
    const int count = m_detail->RecordCount();
    if (insertHere && count > 0)
        m_detail->Insert();
    else
        m_detail->Append();
    stampLine();
    m_detail->FieldByName(QStringLiteral("seq"))->SetAsInteger(count + 1);
    m_detail->Post();
    // A line inserted between others takes its place in the numbering at once, so the lines
    // keep the order the operator sees when the service orders them by number.
    if (insertHere && count > 0)
        renumber(1);
}

void TfrmDocEdit::renumber(int fromRecNo)
{
    if (!m_detail->Active() || m_detail->IsEmpty())
        return;
    const TBookmark here = m_detail->GetBookmark();
    m_detail->DisableControls();
    TField* seq = m_detail->FieldByName(QStringLiteral("seq"));
    for (int rec = qMax(1, fromRecNo); rec <= m_detail->RecordCount(); ++rec) {
        m_detail->SetRecNo(rec);
        if (seq->IsNull() || seq->AsInteger() != rec) {
            m_detail->Edit();
            seq->SetAsInteger(rec);
            m_detail->Post();
        }
    }
    m_detail->GotoBookmark(here);
    m_detail->EnableControls();
}

void TfrmDocEdit::placeProducts(TPClientDataSet* products)
{
    // Filling the code must not look the code up again.
    m_placing = true;
    bool first = true;
    for (products->First(); !products->Eof(); products->Next()) {
        if (first) {
            m_detail->Edit();
            first = false;
        } else {
            const int count = m_detail->RecordCount();
            m_detail->Append();
            stampLine();
            m_detail->FieldByName(QStringLiteral("seq"))->SetAsInteger(count + 1);
        }
        m_detail->FieldByName(m_def.codeField)->SetAsString(products->FieldByName(m_def.codeField)->AsString());
        FillLine(products);
        m_detail->Post();
    }
    m_placing = false;
    updateTotal();
}

void TfrmDocEdit::FillLine(const TPClientDataSet* products)
{
    for (const QString& entry : m_def.productFields) {
        const auto [field, source] = productMapping(entry);
        if (const TField* from = products->FindField(source))
            m_detail->FieldByName(field)->SetValue(from->IsNull() ? QVariant() : QVariant(from->AsString()));
    }
    for (const QString& f : m_def.entryFields)
        m_detail->FieldByName(f)->SetAsInteger(0);
}

void TfrmDocEdit::ClearLine()
{
    m_detail->FieldByName(m_def.codeField)->Clear();
    for (const QString& entry : m_def.productFields)
        m_detail->FieldByName(productMapping(entry).first)->Clear();
    for (const QString& f : m_def.entryFields)
        m_detail->FieldByName(f)->Clear();
}

void TfrmDocEdit::ProductButtonClick(int row)
{
    if (!checkHeader(KxCheckAtLines))
        return;
    std::unique_ptr<TfrmBase> pick(CallModule(this, m_def.productModule, {QStringLiteral("multiselect=true")}));
    if (!pick)
        return;
    pick->FixedConditions() << productConditions();
    if (KxUi().ShowModal(pick.get()) != mrOk)
        return;
    TPClientDataSet chosen;
    pick->ResultStream()->seek(0);
    if (!chosen.LoadFromStream(pick->ResultStream()) || chosen.IsEmpty())
        return;
    if (m_detail->IsEmpty())
        appendLine(false);
    else
        m_detail->SetRecNo(qBound(1, row + 1, m_detail->RecordCount()));
    m_detail->DisableControls();
    placeProducts(&chosen);
    renumber(1);
    m_detail->Last();
    m_detail->EnableControls();
    focusCell(m_detail->RecordCount() - 1, m_def.entryFields.value(0));
}

void TfrmDocEdit::CodeEntered(int row)
{
    if (!m_detail->Active() || row < 0 || row >= m_detail->RecordCount())
        return;
    m_detail->SetRecNo(row + 1);
    const QString code = m_detail->FieldByName(m_def.codeField)->AsString().trimmed();
    if (code.isEmpty() || !checkHeader(KxCheckAtLines))
        return;
    TPClientDataSet products;
    const TKxLookupResult found = KxLookup(this, m_def.productModule,
                                           QStringList{m_def.codeField + QLatin1Char('=') + code} + productConditions(), &products);
    // The service could not be asked (already shown): the line stays as typed.
    if (found == TKxLookupResult::Failed)
        return;
    m_detail->SetRecNo(row + 1);
    if (found == TKxLookupResult::NotFound) {
        m_placing = true;
        m_detail->Edit();
        ClearLine();
        m_detail->Post();
        m_placing = false;
        focusCell(row, m_def.codeField);
        KxShowInfo(QStringLiteral("此信息不存在,请重新输入！"));
        return;
    }
    if (m_def.scanAddsOne && scanOne(row, &products))
        return;
    placeProducts(&products);
    m_detail->SetRecNo(row + 1);
    focusCell(row, m_def.entryFields.value(0));
}

bool TfrmDocEdit::scanOne(int row, TPClientDataSet* products)
{
    const QString code = products->FieldByName(m_def.codeField)->AsString();
    int holder = -1;
    for (int i = 0; i < m_detail->RecordCount() && holder < 0; ++i)
        if (i != row && m_detail->DisplayTextAt(i, m_detail->FieldByName(m_def.codeField)).trimmed() == code)
            holder = i;
    m_placing = true;
    if (holder >= 0) {
        m_detail->SetRecNo(holder + 1);
        m_detail->Edit();
        TField* qty = m_detail->FieldByName(m_def.qtyField);
        qty->SetAsDecimal(qty->AsDecimal().Add(TDecimal::FromInteger(1)).value_or(qty->AsDecimal()));
        m_detail->Post();
        m_detail->SetRecNo(row + 1);
        m_detail->Edit();
        m_detail->FieldByName(m_def.codeField)->Clear();
        m_detail->Post();
        m_placing = false;
        updateTotal();
        focusCell(row, m_def.codeField);
        return true;
    }
    m_placing = false;
    placeProducts(products);
    m_placing = true;
    m_detail->SetRecNo(row + 1);
    m_detail->Edit();
    m_detail->FieldByName(m_def.qtyField)->SetAsInteger(1);
    m_detail->Post();
    m_placing = false;
    updateTotal();
    if (row + 1 == m_detail->RecordCount())
        appendLine(false);
    focusCell(m_detail->RecordCount() - 1, m_def.codeField);
    return true;
}

void TfrmDocEdit::EntryFieldEntered(int row, const QString& field)
{
    const TGridColumn* column = m_grid->ColumnByField(field);
    const int at = m_def.entryFields.indexOf(field);
    if (!m_detail->Active() || !column || at < 0 || m_grid->currentIndex().column() != m_grid->IndexOfColumn(column))
        return;
    const bool lastRow = row + 1 >= m_detail->RecordCount();
    if (m_def.entryFlow == TKxEntryFlow::Column) {
        if (!lastRow) {
            focusCell(row + 1, field);
            return;
        }
        appendLine(false);
        focusCell(m_detail->RecordCount() - 1, m_def.codeField);
        return;
    }
    const bool nextField = at + 1 < m_def.entryFields.size();
    if (nextField && (m_def.entryFlow == TKxEntryFlow::Across || lastRow)) {
        focusCell(row, m_def.entryFields.at(at + 1));
        return;
    }
    if (!lastRow) {
        focusCell(row + 1, m_def.entryFields.first());
        return;
    }
    appendLine(false);
    focusCell(m_detail->RecordCount() - 1, m_def.codeField);
}

void TfrmDocEdit::cellEdited(int row, TGridColumn* column)
{
    if (m_placing || !column)
        return;
    const QString field = column->FieldName;
    const bool code = field.compare(m_def.codeField, Qt::CaseInsensitive) == 0;
    if (!code && !m_def.entryFields.contains(field, Qt::CaseInsensitive))
        return;
    // After the editor has closed: the reaction moves the focus and may open another cell.
    QMetaObject::invokeMethod(this, [self = QPointer<TfrmDocEdit>(this), row, code, field] {
        if (!self)
            return;
        if (code) {
            self->CodeEntered(row);
        } else {
            self->LineEdited(row, field);
            self->EntryFieldEntered(row, field);
        }
    }, Qt::QueuedConnection);
}

void TfrmDocEdit::focusCell(int row, const QString& field)
{
    const TGridColumn* c = m_grid->ColumnByField(field);
    if (!c || row < 0 || row >= m_grid->model()->rowCount())
        return;
    m_detail->SetRecNo(row + 1);
    m_grid->setCurrentIndex(m_grid->model()->index(row, m_grid->IndexOfColumn(c)));
    m_grid->setFocus();
}

void TfrmDocEdit::dropEmptyLines()
{
    // The keyboard entry leaves an open line at the end; a line without product or numbers
    // carries nothing and would only be refused by the service.
    bool dropped = false;
    const TBookmark here = m_detail->GetBookmark();
    m_detail->DisableControls();
    for (int rec = m_detail->RecordCount(); rec >= 1; --rec) {
        m_detail->SetRecNo(rec);
        const bool numbers = std::any_of(m_def.entryFields.begin(), m_def.entryFields.end(),
                                         [&](const QString& f) { return !isZero(m_detail->FindField(f)); });
        if (isBlank(m_detail->FindField(m_def.codeField)) && !numbers) {
            m_detail->Delete();
            dropped = true;
        }
    }
    if (dropped)
        renumber(1);
    if (m_detail->BookmarkValid(here))
        m_detail->GotoBookmark(here);
    else if (!m_detail->IsEmpty())
        m_detail->Last();
    m_detail->EnableControls();
}

bool TfrmDocEdit::refuseZeroQuantities()
{
    // A line of nothing would be posted as a line of the document; a count sheet's 0 is a
    // count and is allowed by its definition.
    const TField* qty = m_def.qtyField.isEmpty() || !m_def.refuseZeroQty ? nullptr : m_detail->FindField(m_def.qtyField);
    if (!qty)
        return false;
    // Read by position, so that the cursor moves only to the line refused.
    for (int i = 0; i < m_detail->RecordCount(); ++i) {
        if (!m_detail->IsNullAt(i, qty))
            if (const auto value = TDecimal::Parse(m_detail->ValueAt(i, qty).toString()); value && !value->IsZero())
                continue;
        const QString code = m_detail->DisplayTextAt(i, m_detail->FieldByName(m_def.codeField)).trimmed();
        focusCell(i, m_def.qtyField);
        KxShowInfo(QStringLiteral("第%1行【%2】的数量为0，不能保存！").arg(i + 1).arg(code));
        return true;
    }
    return false;
}

TDecimal TfrmDocEdit::lineTotal()
{
    TDecimal sum = TDecimal::FromInteger(0);
    if (!m_detail->Active())
        return sum;
    const TField* amount = m_detail->FindField(m_def.totalOf);
    if (!amount)
        return sum;
    // Read by position: the cursor stays where the operator is typing.
    for (int i = 0; i < m_detail->RecordCount(); ++i)
        if (!m_detail->IsNullAt(i, amount))
            if (const auto value = TDecimal::Parse(m_detail->ValueAt(i, amount).toString()))
                sum = sum + *value;
    return sum;
}

void TfrmDocEdit::updateTotal()
{
    if (m_loading || m_placing || m_def.totalField.isEmpty() || !m_master->Active() || m_master->IsEmpty() || !Editable())
        return;
    TField* total = m_master->FieldByName(m_def.totalField);
    const TDecimal sum = lineTotal();
    if (!total->IsNull() && total->AsDecimal() == sum)
        return;
    const bool posting = m_master->State() == dsBrowse;
    if (posting)
        m_master->Edit();
    total->SetAsDecimal(sum);
    if (posting)
        m_master->Post();
    m_binder->Refresh();
}

bool TfrmDocEdit::HasUnsavedChanges()
{
    if (!m_master->Active() || !m_detail->Active())
        return false;
    if (!postPending() || m_master->ChangeCount() > 0)
        return true;
    const int changes = m_detail->ChangeCount();
    if (changes == 0)
        return false;
    int openLines = 0;
    const TBookmark here = m_detail->GetBookmark();
    m_detail->DisableControls();
    for (m_detail->First(); !m_detail->Eof(); m_detail->Next())
        if (m_detail->UpdateStatus() == usInserted && isBlank(m_detail->FindField(m_def.codeField))
            && std::all_of(m_def.entryFields.begin(), m_def.entryFields.end(),
                           [&](const QString& f) { return isZero(m_detail->FindField(f)); }))
            ++openLines;
    if (!m_detail->IsEmpty())
        m_detail->GotoBookmark(here);
    m_detail->EnableControls();
    return changes > openLines;
}

void TfrmDocEdit::FormClose(QCloseEvent* event)
{
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("单据有未保存的修改，确定不保存就退出吗？")))
        event->ignore();
}

void TfrmDocEdit::dxBL_InsertClick()
{
    if (!Editable() || !checkHeader(KxCheckAtInsert))
        return;
    appendLine(!m_def.insertAppends);
    focusCell(m_detail->RecNo() - 1, m_def.codeField);
}

void TfrmDocEdit::dxBL_DeleteClick()
{
    if (!m_detail->Active() || m_detail->IsEmpty() || !Editable())
        return;
    m_detail->Delete();
    if (!m_detail->IsEmpty())
        renumber(m_detail->RecNo());
}

// --- Document -------------------------------------------------------------------------------

void TfrmDocEdit::dxBL_RefreshClick()
{
    if (!m_master->Active() || m_master->IsEmpty())
        return;
    const QString id = m_master->FieldByName(m_def.idField)->AsString().trimmed();
    if (id.isEmpty())
        return;
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("单据有未保存的修改，确定不保存就刷新吗？")))
        return;
    LoadDocument(id);
}

void TfrmDocEdit::dxBL_NewClick()
{
    if (!m_master->Active() || !m_detail->Active())
        return;
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("单据有未保存的修改，确定不保存就新建吗？")))
        return;
    m_master->Cancel();
    m_master->EmptyDataSet();
    m_detail->EmptyDataSet();
    ensureHeader();
    KxShowUnitPrices(m_grid, m_def.amounts, false);
    m_binder->Refresh();
    updateLocks();
}

bool TfrmDocEdit::postPending()
{
    for (TPClientDataSet* ds : {m_master, m_detail})
        if ((ds->State() == dsEdit || ds->State() == dsInsert) && !ds->Post())
            return false;
    return true;
}

void TfrmDocEdit::dxBL_SaveClick()
{
    if (!m_master->Active() || m_master->IsEmpty() || !postPending())
        return;
    const bool closed = m_def.hasStatus && quint32(m_master->FieldByName(kStatus)->AsInteger()) >= 2;
    if (closed && m_def.statusFirst) {
        KxShowInfo(QStringLiteral("非新建状态的单据，不能再改动！"));
        return;
    }
    if (!checkHeader(KxCheckAtSave))
        return;
    if (closed) {
        KxShowInfo(QStringLiteral("非新建状态的单据，不能再改动！"));
        return;
    }
    if (!m_def.lockedFlag.isEmpty() && m_master->FieldByName(m_def.lockedFlag)->AsBoolean()) {
        KxShowInfo(m_def.lockedMessage);
        return;
    }
    dropEmptyLines();
    if (refuseZeroQuantities())
        return;
    m_master->Edit();
    if (m_def.hasStatus)
        m_master->FieldByName(kStatus)->SetAsInteger(1);
    if (!m_def.totalField.isEmpty())
        m_master->FieldByName(m_def.totalField)->SetAsDecimal(lineTotal());
    m_master->Post();
    if (m_master->ChangeCount() == 0 && m_detail->ChangeCount() == 0) {
        KxShowInfo(m_def.unchangedMessage);
        return;
    }
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("update")));
    if (m_master->ChangeCount() > 0)
        web.Request()->AddFiles(QStringLiteral("deltamaster"), m_master->GetKXXMLDelta());
    if (m_detail->ChangeCount() > 0)
        web.Request()->AddFiles(QStringLiteral("deltadetail"), m_detail->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")))
        return;
    try {
        if (!web.SendData())
            return;
        m_loading = true;
        UnionCDS(m_master, web.Response()->GetParam(QStringLiteral("xmlmaster")));
        // The answer holds every line of the saved document: it replaces the lines, since
        // lines share their header's row key and could not be told apart by it.
        const QByteArray lines = web.Response()->GetParamUtf8(QStringLiteral("xmldetail"));
        const int at = m_detail->RecNo();
        if (lines.trimmed().isEmpty() || !m_detail->SetKXXMLData(lines))
            m_detail->MergeChangeLog();
        else if (!m_detail->IsEmpty())
            m_detail->SetRecNo(qBound(1, at, m_detail->RecordCount()));
        prepareFields();
        m_loading = false;
        m_binder->Refresh();
        updateLocks();
        KxShowInfo(QStringLiteral("数据提交成功！"));
    } catch (const std::exception& e) {
        m_loading = false;
        KxShowInfo(QString::fromUtf8(e.what()));
    }
}

void TfrmDocEdit::dxBL_AuditClick()
{
    if (!m_def.hasStatus || !m_master->Active() || m_master->IsEmpty())
        return;
    const int status = m_master->FieldByName(kStatus)->AsInteger();
    const bool refused = m_def.auditRule == TKxAuditRule::SavedOnly ? status != 1 : status == 2;
    if (refused && m_def.statusFirst) {
        KxShowInfo(QStringLiteral("非新建状态的单据，不能提交审核！"));
        return;
    }
    if (!checkHeader(KxCheckAtAudit))
        return;
    if (refused) {
        KxShowInfo(QStringLiteral("非新建状态的单据，不能提交审核！"));
        return;
    }
    if (!postPending() || m_master->ChangeCount() > 0 || m_detail->ChangeCount() > 0) {
        KxShowInfo(QStringLiteral("数据有变动，请保存后再提交审核！"));
        return;
    }
    m_master->Edit();
    m_master->FieldByName(kStatus)->SetAsInteger(2);
    m_master->FieldByName(QStringLiteral("auditren"))->SetAsString(operatorStamp());
    m_master->FieldByName(QStringLiteral("audittime"))->SetAsString(KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    m_master->Post();
    const auto cancel = [this] {
        m_master->CancelUpdates();
        m_binder->Refresh();
        updateLocks();
    };
    if (m_master->ChangeCount() == 0)
        return;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("audit")));
    web.Request()->AddFiles(QStringLiteral("deltamaster"), m_master->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交审核吗？"))) {
        cancel();
        return;
    }
    try {
        if (!web.SendData()) {
            cancel();
            return;
        }
        UnionCDS(m_master, web.Response()->GetParam(QStringLiteral("xmlmaster")));
        m_binder->Refresh();
        updateLocks();
        // What the audit did beyond the status (goods back in stock, lines of money only) is
        // the service's to say.
        const QString info = web.Response()->GetParam(QStringLiteral("info")).trimmed();
        KxShowInfo(info.isEmpty() ? QStringLiteral("数据提交审核成功！") : QStringLiteral("数据提交审核成功！\n") + info);
    } catch (const std::exception& e) {
        cancel();
        KxShowInfo(QString::fromUtf8(e.what()));
        return;
    }
    if (m_def.reloadAfterAudit)
        LoadDocument(m_master->FieldByName(m_def.idField)->AsString().trimmed());
}

void TfrmDocEdit::dxBL_PrintClick()
{
    GridPrint(m_grid);
}

void TfrmDocEdit::dxBL_PreviewClick()
{
    GridPreview(m_grid);
}

void TfrmDocEdit::dxBL_PrintReportClick()
{
    // The voucher shows the document as it was saved: unsaved lines beside a saved total would
    // print figures that disagree.
    if (HasUnsavedChanges()) {
        if (!KxAskOkCancel(QStringLiteral("单据有未保存的修改，需要先保存再打印吗？")))
            return;
        dxBL_SaveClick();
        if (HasUnsavedChanges())
            return;
    }
    dropEmptyLines();
    KxPrintVoucher(this, m_master, m_def.reportMaster, m_detail, m_def.reportDetail);
}

void TfrmDocEdit::dxBL_ColumnsClick()
{
    SetGridColumnVisible(windowTitle(), m_grid);
}
