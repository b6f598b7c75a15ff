#include "uFrmExpress.h"

#include "uCallModule.h"
#include "uExpressFiles.h"
#include "uFrmBGInfo.h"
#include "uFrmPrintInfo.h"
#include "uFrmSelInfo.h"
#include "uHttpWeb.h"
#include "uKX_Designer.h"
#include "uPClientDataSet.h"
#include "uRMDesignCanvas.h"
#include "uRMReportEx.h"
#include "uUiHooks.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QString modalParams(const TfrmBase* from)
{
    // The dialogs are modal windows of this module, using the methods it was given.
    QString xml = QStringLiteral("<module><modal>true</modal>");
    for (const TKeyValueRecord& p : from->Params())
        if (p.Key != QLatin1String("modal") && p.Key != QLatin1String("moduleclass"))
            xml += QStringLiteral("<%1>%2</%1>").arg(p.Key, p.Value.toHtmlEscaped());
    return xml + QStringLiteral("</module>");
}
}

TFrmExpress::TFrmExpress(QWidget* owner)
    : TfrmBase(owner), m_list(new QListWidget(this)), m_caption(new QLabel(this)), m_scroll(new QScrollArea(this))
{
    setWindowTitle(QStringLiteral("快递模板管理"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    const char* const buttons[] = {"隐藏不常用模板", "新  建", "删  除", "修改模板属性", "设置打印内容", "保  存", "详细设计", "退  出"};
    for (const char* text : buttons) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        bar->addWidget(b);
        m_buttons << b;
    }
    bar->addStretch();
    layout->addLayout(bar);
    connect(m_buttons[0], &QPushButton::clicked, this, [this] { btnInUseClick(); });
    connect(m_buttons[1], &QPushButton::clicked, this, [this] { btnNewClick(); });
    connect(m_buttons[2], &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(m_buttons[3], &QPushButton::clicked, this, [this] { btnPropertiesClick(); });
    connect(m_buttons[4], &QPushButton::clicked, this, [this] { btnPrintInfoClick(); });
    connect(m_buttons[5], &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(m_buttons[6], &QPushButton::clicked, this, [this] { btnDesignClick(); });
    connect(m_buttons[7], &QPushButton::clicked, this, [this] { close(); });

    auto* split = new QSplitter(this);
    auto* tabs = new QTabWidget(split);
    tabs->addTab(m_list, QStringLiteral("快递模板名称"));
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_caption->setStyleSheet(QStringLiteral("background: #4a78b8; color: white; padding: 3px;"));
    rightLayout->addWidget(m_caption);
    QPalette pal = m_scroll->palette();
    pal.setColor(QPalette::Window, QColor(227, 239, 255));
    m_scroll->setPalette(pal);
    m_scroll->setBackgroundRole(QPalette::Window);
    auto* host = new QWidget;
    host->setAutoFillBackground(false);
    m_designer = new TKX_FormDesigner(host, this);
    m_designer->Canvas()->setAutoFillBackground(false);
    auto* hostLayout = new QVBoxLayout(host);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    hostLayout->addWidget(m_designer->Canvas(), 0, Qt::AlignLeft | Qt::AlignTop);
    m_scroll->setWidget(host);
    m_scroll->setWidgetResizable(true);
    rightLayout->addWidget(m_scroll, 1);
    m_inspector = new TKX_InspectorList(m_designer, split);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { ListClick(row); });
}

QPushButton* TFrmExpress::Button(const QString& text) const
{
    for (QPushButton* b : m_buttons)
        if (b->text() == text)
            return b;
    return nullptr;
}

QString TFrmExpress::method(const char* param, const char* fallback) const
{
    const QString m = GetParam(QString::fromLatin1(param));
    return m.isEmpty() ? QString::fromLatin1(fallback) : m;
}

TExpress* TFrmExpress::Current()
{
    for (TExpress& e : m_entries)
        if (!m_current.isEmpty() && e.id == m_current)
            return &e;
    return nullptr;
}

void TFrmExpress::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_opened)
        Open();
}

void TFrmExpress::Open()
{
    m_opened = true;
    clearCanvas();
    LoadList();
    SelectTemplate(m_entries.isEmpty() ? QString() : m_entries.first().id);
}

void TFrmExpress::LoadList()
{
    m_entries.clear();
    m_current.clear();
    const QSignalBlocker block(m_list);
    m_list->clear();
    THttpWeb web;
    web.setModule(QStringLiteral("Express.Search"));
    web.Request()->AddParams(QStringLiteral("is_use"), QStringLiteral("1"));
    TPClientDataSet ds;
    if (!web.SendData() || !ds.SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    const TField* id = ds.FindField(QStringLiteral("express_id"));
    const TField* name = ds.FindField(QStringLiteral("express_name"));
    const TField* file = ds.FindField(QStringLiteral("express_file"));
    const TField* code = ds.FindField(QStringLiteral("logistics_code"));
    if (!id || !name || !file || !code)
        return;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        TExpress e{id->AsString(), name->AsString(), file->AsString(), code->AsString()};
        // The layout is read when the file exists (at the service, or here).
        if (KxFetchExpressFile(method("file", "Express.FileGet"), e.file, QStringLiteral("des"), &e.stream) != TExpressFetch::Found)
            e.stream.clear();
        m_entries << e;
        m_list->addItem(e.name);
    }
}

void TFrmExpress::clearCanvas()
{
    m_designer->SetLayout(TExpressLayout{});
    m_caption->clear();
}

void TFrmExpress::SelectTemplate(const QString& id)
{
    m_current.clear();
    clearCanvas();
    int row = -1;
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].id == id)
            row = i;
    {
        const QSignalBlocker block(m_list);
        m_list->setCurrentRow(row);
    }
    if (row < 0)
        return;
    TExpress& e = m_entries[row];
    m_current = e.id;
    m_caption->setText(QStringLiteral("     快递模板名称：") + e.name + QStringLiteral("     所属的物流公司：") + e.logisticsCode);
    if (e.stream.isEmpty())
        return;
    TExpressLayout layout;
    QString error;
    if (!KxReadExpressLayout(e.stream, &layout, &error)) {
        e.damaged = true;
        KxShowError(QStringLiteral("快递模板文件已损坏，不能打开：%1\n%2").arg(KxExpressPath(e.file, QStringLiteral("des")), error));
        return;
    }
    m_designer->SetLayout(layout);
}

void TFrmExpress::keepCanvas()
{
    if (TExpress* e = Current(); e && !e->damaged)
        e->stream = KxWriteExpressLayout(m_designer->Layout());
}

void TFrmExpress::ListClick(int row)
{
    if (row < 0 || row >= m_entries.size() || m_entries[row].id == m_current)
        return;
    keepCanvas();
    SelectTemplate(m_entries[row].id);
}

bool TFrmExpress::refuseDamaged(const TExpress& e)
{
    if (!e.damaged)
        return false;
    KxShowError(QStringLiteral("快递模板文件已损坏，不能保存：%1").arg(KxExpressPath(e.file, QStringLiteral("des"))));
    return true;
}

void TFrmExpress::btnNewClick()
{
    editProperties(QString());
}

void TFrmExpress::btnPropertiesClick()
{
    if (TExpress* e = Current(); e && !refuseDamaged(*e))
        editProperties(e->id);
}

void TFrmExpress::editProperties(const QString& id)
{
    const bool isNew = id.isEmpty();
    TFrmBGInfo dlg(this);
    dlg.InitModule(modalParams(this));
    if (!isNew)
        dlg.setWindowTitle(QStringLiteral("修改快递模板"));
    TExpressLayout page = m_designer->Layout();
    if (isNew) {
        page = TExpressLayout{};
        page.mmHeigth = 127;
    } else if (!QDir::isRelativePath(page.backFile) && page.backFile.startsWith(KxProgramDir() + u'/')) {
        page.backFile = page.backFile.mid(KxProgramDir().size() + 1);
    }
    dlg.ShowTemplate(id, page);
    if (KxUi().ShowModal(&dlg) != mrOk)
        return;

    TExpressLayout values = dlg.PageValues();
    TExpressLayout layout = m_designer->Layout(); // a new template starts with the labels shown
    layout.mmWidth = values.mmWidth;
    layout.mmHeigth = values.mmHeigth;
    layout.mmMarginLeft = values.mmMarginLeft;
    layout.mmMarginRight = values.mmMarginRight;
    layout.mmMarginTop = values.mmMarginTop;
    layout.mmMarginBottom = values.mmMarginBottom;
    // A relative picture path is the program folder's; an absolute one stays as chosen.
    const QString path = values.backFile.isEmpty() ? QString()
        : QDir::isRelativePath(values.backFile) ? QDir(KxProgramDir()).filePath(values.backFile) : values.backFile;
    QFile picture(path);
    if (!path.isEmpty() && picture.open(QIODevice::ReadOnly)) {
        layout.picture = picture.readAll();
        layout.backFile = values.backFile;
    } else {
        layout.picture.clear();
        layout.backFile.clear();
    }
    layout.bgSize = QSize(KxMmToPx(layout.mmWidth), KxMmToPx(layout.mmHeigth));
    m_designer->SetLayout(layout);

    const QString file = dlg.ExpressFile();
    const QByteArray bytes = KxWriteExpressLayout(layout);
    KxStoreExpressFile(method("updatefile", "Express.FilePut"), file, QStringLiteral("des"), bytes);
    LoadList();
    SelectTemplate(dlg.ExpressId());
}

void TFrmExpress::btnDeleteClick()
{
    TExpress* e = Current();
    if (!e || !KxAskOkCancel(QStringLiteral("真的删除快递模块吗？")))
        return;
    const TExpress gone = *e;
    TPClientDataSet ds;
    THttpWeb search;
    search.setModule(QStringLiteral("Express.Search"));
    search.Request()->AddParams(QStringLiteral("express_id"), gone.id);
    if (!search.SendData() || !ds.SetKXXMLData(search.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    if (ds.Locate(QStringLiteral("express_id"), gone.id))
        ds.Delete();
    THttpWeb web;
    web.setModule(QStringLiteral("Express.Update"));
    web.Request()->AddFiles(QStringLiteral("delta"), ds.GetKXXMLDelta());
    // Files go only once the service has let the template go.
    if (!web.SendData())
        return;
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].id == gone.id) {
            m_entries.removeAt(i);
            const QSignalBlocker block(m_list);
            delete m_list->takeItem(i);
            break;
        }
    m_current.clear();
    KxRemoveLocalExpressFile(gone.file, QStringLiteral("des"));
    clearCanvas();
}

void TFrmExpress::btnInUseClick()
{
    TFrmSelInfo dlg(this);
    dlg.InitModule(modalParams(this));
    if (KxUi().ShowModal(&dlg) != mrOk)
        return;
    clearCanvas();
    LoadList();
    SelectTemplate(m_entries.isEmpty() ? QString() : m_entries.first().id);
}

void TFrmExpress::btnPrintInfoClick()
{
    if (!Current())
        return;
    TFrmPrintInfo dlg(this);
    dlg.InitModule(modalParams(this));
    dlg.SetDesigner(m_designer);
    KxUi().ShowModal(&dlg);
}

void TFrmExpress::btnSaveClick()
{
    TExpress* e = Current();
    if (!e || refuseDamaged(*e))
        return;
    const TExpressLayout layout = m_designer->Layout();
    const QString put = method("updatefile", "Express.FilePut");
    e->stream = KxWriteExpressLayout(layout);
    if (!KxStoreExpressFile(put, e->file, QStringLiteral("des"), e->stream)
        || !KxStoreExpressFile(put, e->file, QStringLiteral("ref"), KxExpressReportBytes(layout)))
        return;
    KxShowInfo(QStringLiteral("数据提交成功！"));
}

void TFrmExpress::btnDesignClick()
{
    TExpress* e = Current();
    if (!e)
        return;
    QByteArray bytes;
    if (KxFetchExpressFile(method("file", "Express.FileGet"), e->file, QStringLiteral("ref"), &bytes) != TExpressFetch::Found)
        bytes = KxExpressReportBytes(m_designer->Layout());
    TRMReportEx report;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    if (!report.LoadFromStream(&buffer)) {
        KxShowError(QStringLiteral("快递模板文件已损坏，不能打开：%1\n%2").arg(KxExpressPath(e->file, QStringLiteral("ref")), report.LastError()));
        return;
    }
    const QString file = e->file;
    const QString put = method("updatefile", "Express.FilePut");
    report.SetSaveHandler([&report, file, put] {
        QByteArray out;
        QBuffer b(&out);
        b.open(QIODevice::WriteOnly);
        return report.SaveToStream(&b) && KxStoreExpressFile(put, file, QStringLiteral("ref"), out);
    });
    report.DesignReportEx();
}

KX_REGISTER_CLASS(TFrmExpress)
