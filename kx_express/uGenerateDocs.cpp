#include "uGenerateDocs.h"

#include "uCallModule.h"
#include "uDocCommon.h"
#include "uHttpWeb.h"
#include "uKxPagedList.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace KxGen {
QString text(TPClientDataSet* ds, const char* field)
{
    const TField* f = ds->FindField(QLatin1String(field));
    return f ? f->AsString() : QString();
}

TDecimal amount(TPClientDataSet* ds, const char* field)
{
    const TField* f = ds->FindField(QLatin1String(field));
    return f && !f->IsNull() ? f->AsDecimal() : TDecimal::FromInteger(0);
}

void put(TPClientDataSet* ds, const char* field, const QString& value)
{
    if (TField* f = ds->FindField(QLatin1String(field)))
        f->SetAsString(value);
}

void put(TPClientDataSet* ds, const char* field, const TDecimal& value)
{
    if (TField* f = ds->FindField(QLatin1String(field)))
        f->SetAsDecimal(value);
}

} // namespace KxGen

TKxGenerateDialog::TKxGenerateDialog(const TKxGenerateTexts& texts, QWidget* owner)
    : TfrmBase(owner)
    , m_texts(texts)
    , m_storage(new QComboBox(this))
    , m_choices(new QButtonGroup(this))
{
    // A dialog of a list window, not a module of the service: it states its own title.
    InitModule(QStringLiteral("<response><moduletitle>%1</moduletitle><modal>true</modal></response>").arg(texts.title.toHtmlEscaped()));
    auto* layout = new QVBoxLayout(this);
    auto* storageRow = new QHBoxLayout;
    storageRow->addWidget(new QLabel(texts.storageCaption, this));
    storageRow->addWidget(m_storage, 1);
    layout->addLayout(storageRow);
    auto* box = new QGroupBox(texts.groupCaption, this);
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(box);
        m_choices->addButton(r, i);
        grid->addWidget(r, 0, i);
    }
    layout->addWidget(box);
    auto* hint = new QLabel(texts.hint, this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    auto* create = new QPushButton(QStringLiteral("生  成"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    create->setObjectName(QStringLiteral("btnCreate"));
    buttons->addWidget(create);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    connect(create, &QPushButton::clicked, this, [this] { btnCreateClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TKxGenerateDialog::SetStorages(TPClientDataSet* storages)
{
    m_storage->clear();
    if (!storages->Active())
        return;
    TField* id = storages->FindField(QStringLiteral("storageid"));
    TField* name = storages->FindField(QStringLiteral("storagename"));
    if (!id || !name)
        return;
    for (storages->First(); !storages->Eof(); storages->Next())
        m_storage->addItem(name->AsString(), id->AsString());
    m_storage->setCurrentIndex(-1);
}

void TKxGenerateDialog::SetCounts(int single, int groups)
{
    Choice(0)->setText(m_texts.oneEach.arg(single));
    Choice(1)->setText(m_texts.merged.arg(groups));
    Choice(1)->setChecked(true);
}

QRadioButton* TKxGenerateDialog::Choice(int i) const
{
    return qobject_cast<QRadioButton*>(m_choices->button(i));
}

void TKxGenerateDialog::btnCreateClick()
{
    if (m_storage->currentIndex() < 0 || m_storage->currentText().isEmpty()) {
        KxShowInfo(QStringLiteral("拣货发货仓库不能为空，请选择！"));
        m_storage->setFocus();
        return;
    }
    const bool made = m_create && m_create(m_choices->checkedId() == 1, m_storage->currentData().toString());
    SetModalResult(made ? mrOk : mrCancel);
}

void KxChangeRows(TPClientDataSet* rows, const QString& keyField, const QSet<QString>& keys,
                  const std::function<void(TPClientDataSet*)>& change)
{
    if (!rows->Active() || rows->IsEmpty())
        return;
    const TBookmark here = rows->GetBookmark();
    const bool filtered = rows->Filtered();
    rows->DisableControls();
    rows->SetFiltered(false);
    const TField* key = rows->FieldByName(keyField);
    for (rows->First(); !rows->Eof(); rows->Next())
        if (keys.contains(key->AsString())) {
            rows->Edit();
            change(rows);
            rows->Post();
        }
    rows->SetFiltered(filtered);
    rows->GotoBookmark(here);
    rows->EnableControls();
}

bool KxSaveGenerated(const QString& method, TPClientDataSet* source, TPClientDataSet* master, TPClientDataSet* lines,
                     const QString& done)
{
    THttpWeb web;
    web.setModule(method);
    if (!source->GetEmptyDelta())
        web.Request()->AddFiles(QStringLiteral("delta"), source->GetKXXMLDelta());
    if (!master->GetEmptyDelta())
        web.Request()->AddFiles(QStringLiteral("deltamaster"), master->GetKXXMLDelta());
    if (!lines->GetEmptyDelta())
        web.Request()->AddFiles(QStringLiteral("deltadetail"), lines->GetKXXMLDelta());
    if (web.SendData()) {
        UnionCDS(master, web.Response()->GetParam(QStringLiteral("xmlmaster")));
        UnionCDS(lines, web.Response()->GetParam(QStringLiteral("xmldetail")));
        KxShowInfo(done);
        return true;
    }
    source->CancelUpdates();
    return false;
}

void KxShowGenerated(TfrmBase* form, const QString& moduleParam, TPClientDataSet* master, const QString& idField)
{
    if (!master->Active() || master->IsEmpty())
        return;
    std::unique_ptr<TfrmBase> list(CallModule(form, form->GetParam(moduleParam)));
    if (!list)
        return;
    const TField* id = master->FindField(idField);
    master->First();
    list->FixedConditions() << idField + QStringLiteral("1=") + (id ? id->AsString() : QString());
    master->Last();
    list->FixedConditions() << idField + QStringLiteral("2=") + (id ? id->AsString() : QString());
    KxUi().ShowModal(list.get());
}

bool KxLoadEmptyDocs(TfrmBase* form, const QString& methodParam, const QString& keyParam, TPClientDataSet* master,
                     TPClientDataSet* lines)
{
    THttpWeb web;
    web.setModule(form->GetParam(methodParam));
    web.Request()->AddParams(keyParam, QString());
    if (!web.SendData())
        return false;
    return master->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmlmaster")))
           && lines->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldetail")));
}

TKxDocGenerator::TKxDocGenerator(TKxPagedList* form, const TKxGeneratorDef& def, std::function<void()> refilter)
    : QObject(form)
    , m_form(form)
    , m_def(def)
    , m_refilter(std::move(refilter))
    , m_master(new TPClientDataSet(this))
    , m_lines(new TPClientDataSet(this))
    , m_storages(new TPClientDataSet(this))
{
    setObjectName(QLatin1String(def.name));
}

TPClientDataSet* TKxDocGenerator::Source() const
{
    return m_form->ListData();
}

bool TKxDocGenerator::LoadStructures()
{
    if (!m_loaded)
        m_loaded = KxLoadEmptyDocs(m_form, m_def.structures, m_def.structureKey, m_master, m_lines);
    return m_loaded;
}

void TKxDocGenerator::PostSource()
{
    if (Source()->State() == dsEdit || Source()->State() == dsInsert)
        Source()->Post();
}

void TKxDocGenerator::Mark(const QSet<QString>& keys)
{
    Source()->MergeChangeLog();
    KxChangeRows(Source(), m_def.sourceKey, keys, [this](TPClientDataSet* r) { r->FieldByName(m_def.markField)->SetAsString(m_def.markValue); });
}

bool TKxDocGenerator::Confirm() const
{
    return KxAskOkCancel(m_def.question);
}

bool TKxDocGenerator::Save(const QSet<QString>& keys)
{
    if (!KxSaveGenerated(m_form->GetParam(m_def.update), Source(), m_master, m_lines, m_def.done))
        return false;
    KxChangeRows(Source(), m_def.sourceKey, keys, [](TPClientDataSet* r) { r->FieldByName(QStringLiteral("ischeck"))->SetAsBoolean(false); });
    Source()->MergeChangeLog();
    if (m_refilter)
        m_refilter();
    return true;
}

void TKxDocGenerator::Run(const std::function<std::unique_ptr<TKxGenerateDialog>()>& makeDialog, const std::function<void()>& collect,
                          const std::function<std::pair<int, int>()>& counts, TKxGenerateDialog::TCreate create)
{
    PostSource();
    if (!LoadStructures())
        return;
    const std::unique_ptr<TKxGenerateDialog> dialog = makeDialog();
    if (KxLoadLookupList(m_form, QStringLiteral("storage"), {QStringLiteral("storagetype=") + m_def.storageType}, m_storages))
        dialog->SetStorages(m_storages);
    collect();
    const auto [single, groups] = counts();
    dialog->SetCounts(single, groups);
    dialog->SetOnCreate(std::move(create));
    if (dialog->ShowModule() == mrOk)
        KxShowGenerated(m_form, m_def.list, m_master, m_def.idField);
}
