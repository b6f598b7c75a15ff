// The waybill designer and the waybill dialog against a scripted service: what they ask for,
// what they send, and which files they touch (only once the service has taken a change).
#include "FakeService.h"
#include "PdfWords.h"
#include "ScriptedUi.h"

#include "uConfig.h"
#include "uExpressFiles.h"
#include "uExpressLayout.h"
#include "uFrmBGInfo.h"
#include "uFrmExpress.h"
#include "uFrmPrintInfo.h"
#include "uKX_Designer.h"
#include "uKXReport.h"
#include "uPClientDataSet.h"
#include "uRMDesignCanvas.h"
#include "uRMReportEx.h"
#include "uPickingPrint.h"
#include "ufrmPickingKD.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

namespace {
QByteArray packet(const QByteArray& fields, const QList<QByteArray>& rows)
{
    QByteArray p = "<datapacket><fields>" + fields + "</fields><rows>";
    for (const QByteArray& r : rows)
        p += "<row " + r + "/>";
    return p + "</rows></datapacket>";
}
QByteArray data(const QByteArray& packetXml, const QByteArray& name = "xmldata")
{
    return "<response><" + name + "><![CDATA[" + packetXml + "]]></" + name + "></response>";
}
const QByteArray kExpressFields = "<field name=\"express_id\" type=\"string\" size=\"20\"/><field name=\"express_name\" type=\"string\" size=\"50\"/>"
                                  "<field name=\"express_file\" type=\"string\" size=\"120\"/><field name=\"logistics_code\" type=\"string\" size=\"20\"/>"
                                  "<field name=\"is_use\" type=\"boolean\"/><field name=\"md5_key\" type=\"string\" size=\"32\"/>";
QByteArray templates(const QList<QByteArray>& rows)
{
    return data(packet(kExpressFields, rows));
}
const QByteArray kTwo = templates({R"(express_id="E01" express_name="顺风标准单" express_file="顺风速运_顺风标准单" logistics_code="SF" is_use="1" md5_key="a1")",
                                   R"(express_id="E02" express_name="圆通标准单" express_file="圆通快运_圆通标准单" logistics_code="YTO" is_use="1" md5_key="a2")"});

TExpressLayout layoutWith(const QString& key, QRect rect)
{
    TExpressLayout l;
    l.mmHeigth = 127;
    l.bgSize = QSize(KxMmToPx(230), KxMmToPx(127));
    l.labels << TExpressLabel{key, QStringLiteral("[拣货单.\"%1\"]").arg(KxExpressCaption(key)), rect, 10};
    return l;
}
QByteArray fileAnswer(const QByteArray& bytes)
{
    return "<response><exists>1</exists><md5>x</md5><filedata>" + bytes.toBase64() + "</filedata></response>";
}
QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestWaybillForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;
    std::unique_ptr<QTemporaryDir> m_dir;

    QList<TFakeCall> callsOf(const QString& module)
    {
        QList<TFakeCall> out;
        for (const TFakeCall& c : m_svc->calls())
            if (c.module() == module)
                out << c;
        return out;
    }
    std::unique_ptr<TFrmExpress> openDesigner()
    {
        auto form = std::make_unique<TFrmExpress>();
        form->InitModule(QStringLiteral("<module><search>Express.Search</search><file>Express.FileGet</file>"
                                        "<updatefile>Express.FilePut</updatefile></module>"));
        form->Open();
        return form;
    }

private Q_SLOTS:
    void initTestCase() { KxRegisterReportEngine(); }
    void init()
    {
        gShopId = QStringLiteral("S01");
        gOperId = QStringLiteral("admin");
        m_dir = std::make_unique<QTemporaryDir>();
        KxSetExpressFolder(m_dir->path());
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        m_svc->answer("Express.Search", kTwo);
        m_svc->answer("Express.FileGet", fileAnswer(KxWriteExpressLayout(layoutWith(QStringLiteral("receiver_name"), QRect(100, 50, 120, 20)))));
        m_svc->answer("Express.FilePut", "<response><md5>x</md5></response>");
        m_svc->answer("Express.Update", data(packet(kExpressFields, {})));
        m_svc->answer("Logistics.Search", data(packet("<field name=\"logistics_code\" type=\"string\"/><field name=\"logistics_name\" type=\"string\"/>",
                                                      {R"(logistics_code="SF" logistics_name="顺风速运")", R"(logistics_code="YTO" logistics_name="圆通快运")"})));
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
        KxSetExpressFolder(QString());
    }

    // The picking windows hand their pickings to the waybill dialog: it reads carrier,
    // consignee and sender of each from the service and prints the window's own lines.
    void pickingWindowsHandTheirPickingsToTheWaybillDialog()
    {
        m_svc->answer("Picking.PrintKD", "<response><moduleclass>TfrmPickingKD</moduleclass><search>PickingSend.Search</search></response>");
        const QByteArray id = "<field name=\"pickingid\" type=\"string\"/>";
        m_svc->answer("PickingSend.Search", data(packet(id + "<field name=\"out_sid\" type=\"string\"/>",
                                                        {R"(pickingid="JH0007" out_sid="SF1")", R"(pickingid="JH0008" out_sid="SF2")"})));
        TPClientDataSet headers, lines;
        QVERIFY(headers.SetKXXMLData(QString::fromUtf8(packet(id, {R"(pickingid="JH0007")", R"(pickingid="JH0008")"}))));
        QVERIFY(lines.SetKXXMLData(QString::fromUtf8(packet(id + "<field name=\"title\" type=\"string\"/>",
                                                            {R"(pickingid="JH0007" title="衬衫")", R"(pickingid="JH0008" title="长裤")"}))));
        QString shownNumbers;
        TPClientDataSet* shownLines = nullptr;
        m_ui->onModal = [&](QWidget* w) {
            if (auto* kd = qobject_cast<TfrmPickingKD*>(w)) {
                shownLines = kd->Lines();
                for (int r = 0; kd->Headers() && r < kd->Headers()->RecordCount(); ++r)
                    shownNumbers += kd->Headers()->DisplayTextAt(r, kd->Headers()->FieldByName(QStringLiteral("out_sid")));
            }
            return int(mrCancel);
        };
        TfrmBase owner;
        KxPickingPrint(&owner, QStringLiteral("printkd"), &headers, &lines);
        QCOMPARE(callsOf("PickingSend.Search").value(0).value("pickingid"), QStringLiteral("JH0007,JH0008"));
        QCOMPARE(shownNumbers, QStringLiteral("SF1SF2"));
        QCOMPARE(shownLines, &lines);
    }

    void openingShowsTheTemplatesInUse()
    {
        auto form = openDesigner();
        const TFakeCall list = callsOf("Express.Search").value(0);
        QCOMPARE(list.value("is_use"), QStringLiteral("1"));
        QCOMPARE(form->List()->count(), 2);
        QCOMPARE(form->List()->item(1)->text(), QStringLiteral("圆通标准单"));
        QCOMPARE(form->List()->currentRow(), 0);
        QCOMPARE(form->CaptionBar()->text(), QStringLiteral("     快递模板名称：顺风标准单     所属的物流公司：SF"));
        // Each layout comes from the service, by its file stem, and is kept here too.
        const QList<TFakeCall> files = callsOf("Express.FileGet");
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[1].value("express_file"), QStringLiteral("圆通快运_圆通标准单"));
        QCOMPARE(files[1].value("ext"), QStringLiteral("des"));
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.des"))));
        QCOMPARE(form->Designer()->LabelNames(), QStringList{QStringLiteral("receiver_name")});
    }

    void switchingTemplatesKeepsUnsavedChanges()
    {
        auto form = openDesigner();
        TKX_FormDesigner* d = form->Designer();
        d->Select(QStringLiteral("receiver_name"));
        d->EditSelected(QStringLiteral("move"), [](TRMObject& o) { o.rect.moveTo(KxPxToMm(300), KxPxToMm(200)); });
        form->List()->setCurrentRow(1);
        QCOMPARE(d->Layout().Label(QStringLiteral("receiver_name"))->rect.topLeft(), QPoint(100, 50));
        form->List()->setCurrentRow(0);
        QCOMPARE(d->Layout().Label(QStringLiteral("receiver_name"))->rect.topLeft(), QPoint(300, 200));
        QVERIFY(callsOf("Express.FilePut").isEmpty());
    }

    void printContentBoxesPlaceAndRemoveLabels()
    {
        auto form = openDesigner();
        TKX_FormDesigner* d = form->Designer();
        QRect expected;
        m_ui->onModal = [&](QWidget* w) {
            auto* dlg = qobject_cast<TFrmPrintInfo*>(w);
            if (!dlg)
                return int(mrCancel);
            [&] {
                QVERIFY(dlg->Box(QStringLiteral("receiver_name"))->isChecked());
                QVERIFY(!dlg->Box(QStringLiteral("city_district"))->isChecked());
                QCheckBox* city = dlg->Box(QStringLiteral("city_district"));
                expected = QRect(city->x() + 20, city->parentWidget()->y() + city->y(), city->width(), city->height());
                city->setChecked(true);
                dlg->Box(QStringLiteral("_RM_DateTime"))->setChecked(true);
                dlg->Box(QStringLiteral("receiver_name"))->setChecked(false);
            }();
            return int(mrOk);
        };
        form->btnPrintInfoClick();
        const TExpressLayout l = d->Layout();
        QCOMPARE(d->LabelNames(), (QStringList{QStringLiteral("city_district"), QStringLiteral("_RM_DateTime")}));
        const TExpressLabel* city = l.Label(QStringLiteral("city_district"));
        QCOMPARE(city->memo, QStringLiteral("[拣货单.\"城市\"]/[拣货单.\"街区\"]"));
        QCOMPARE(city->rect, expected);
        QCOMPARE(city->fontSize, 12.0);
        QCOMPARE(l.Label(QStringLiteral("_RM_DateTime"))->memo, QStringLiteral("[_RM_DateTime]"));
        // Each tick is a step of its own.
        d->UndoStack()->undo();
        d->UndoStack()->undo();
        QCOMPARE(d->LabelNames(), (QStringList{QStringLiteral("receiver_name"), QStringLiteral("city_district")}));
    }

    void dragAndResizeOnTheCanvas()
    {
        auto form = openDesigner();
        TKX_FormDesigner* d = form->Designer();
        TRMDesignCanvas* c = d->Canvas();
        form->show();
        QTest::mousePress(c, Qt::LeftButton, {}, QPoint(110, 60));
        QTest::mouseMove(c, QPoint(140, 75));
        QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(140, 75));
        QCOMPARE(d->Selected(), QStringLiteral("receiver_name"));
        QCOMPARE(d->Layout().Label(QStringLiteral("receiver_name"))->rect, QRect(130, 65, 120, 20));
        // The corner handle sizes it.
        QTest::mousePress(c, Qt::LeftButton, {}, QPoint(250, 85));
        QTest::mouseMove(c, QPoint(270, 95));
        QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(270, 95));
        QCOMPARE(d->Layout().Label(QStringLiteral("receiver_name"))->rect, QRect(130, 65, 140, 30));
        d->UndoStack()->undo();
        d->UndoStack()->undo();
        QCOMPARE(d->Layout().Label(QStringLiteral("receiver_name"))->rect, QRect(100, 50, 120, 20));
    }

    void newTemplateNeedsACarrierAndKeepsTheLabels()
    {
        auto form = openDesigner();
        m_svc->clearCalls();
        QFile picture(m_dir->filePath(QStringLiteral("form.png")));
        QImage(20, 10, QImage::Format_RGB32).save(&picture, "PNG");
        bool defaultsSeen = false;
        m_ui->onModal = [&](QWidget* w) {
            auto* dlg = qobject_cast<TFrmBGInfo*>(w);
            [&] {
                QVERIFY(dlg);
                QCOMPARE(dlg->Box(0)->text(), QStringLiteral("230.0"));
                QCOMPARE(dlg->Box(1)->text(), QStringLiteral("127.0"));
                QCOMPARE(dlg->Box(4)->text(), QStringLiteral("0.0"));
                QCOMPARE(dlg->CarrierBox()->count(), 2);
                defaultsSeen = true;
                dlg->NameEdit()->setText(QStringLiteral("新模板"));
                dlg->PictureEdit()->setText(picture.fileName()); // an absolute path stays as it is
                dlg->btnOkClick();
                QCOMPARE(m_ui->lastText(), QStringLiteral("请选择所属的物流公司！"));
                QVERIFY(callsOf("Express.Update").isEmpty());
                dlg->CarrierBox()->setCurrentIndex(0);
                dlg->Box(2)->setValue(3.5);
                dlg->btnOkClick();
            }();
            return dlg ? dlg->ModalResult() : int(mrCancel);
        };
        form->btnNewClick();
        QVERIFY(defaultsSeen);
        QCOMPARE(m_svc->modules().mid(0, 3), (QStringList{"Logistics.Search", "Express.Search", "Express.Update"}));
        const TFakeCall search = callsOf("Express.Search").value(0);
        QCOMPARE(search.value("express_id"), QString());
        const QString delta = callsOf("Express.Update").value(0).files.value("delta");
        QVERIFY2(delta.contains("顺风速运_新模板") && delta.contains("insert"), qPrintable(delta));
        const TFakeCall put = callsOf("Express.FilePut").value(0);
        QCOMPARE(put.value("express_file"), QStringLiteral("顺风速运_新模板"));
        TExpressLayout saved;
        QString error;
        QVERIFY(KxReadExpressLayout(readFile(m_dir->filePath(QStringLiteral("顺风速运_新模板.des"))), &saved, &error));
        QCOMPARE(saved.backFile, picture.fileName());
        QCOMPARE(saved.mmMarginLeft, 3.5);
        QCOMPARE(saved.bgSize, QSize(869, 480));
        QVERIFY(saved.Label(QStringLiteral("receiver_name"))); // from the template that was shown
    }

    void refusedChangesTouchNoFile()
    {
        auto form = openDesigner();
        const QString des = m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.des"));
        const QByteArray before = readFile(des);
        // A refused save of the layout leaves the local copy and writes no report.
        m_svc->fail("Express.FilePut", 50, QStringLiteral("磁盘已满"));
        form->Designer()->Select(QStringLiteral("receiver_name"));
        form->Designer()->EditSelected(QStringLiteral("move"), [](TRMObject& o) { o.rect.moveTo(1, 1); });
        form->btnSaveClick();
        QVERIFY(m_ui->lastText().contains(QStringLiteral("磁盘已满")));
        QCOMPARE(readFile(des), before);
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.ref"))));
        // A refused delete keeps the template and its file.
        m_svc->fail("Express.Update", 50, QStringLiteral("模板正在使用"));
        form->btnDeleteClick();
        QCOMPARE(form->List()->count(), 2);
        QVERIFY(QFile::exists(des));
    }

    void saveWritesLayoutAndReportThenDeleteLeavesTheReport()
    {
        auto form = openDesigner();
        form->btnSaveClick();
        QCOMPARE(m_ui->lastText(), QStringLiteral("数据提交成功！"));
        const QList<TFakeCall> puts = callsOf("Express.FilePut");
        QCOMPARE(puts.size(), 2);
        QCOMPARE(puts[0].value("ext"), QStringLiteral("des"));
        QCOMPARE(puts[1].value("ext"), QStringLiteral("ref"));
        QCOMPARE(QByteArray::fromBase64(puts[1].files.value("filedata").toLatin1()),
                 readFile(m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.ref"))));

        m_ui->answers.enqueue(mrCancel);
        form->btnDeleteClick();
        QCOMPARE(form->List()->count(), 2);
        form->btnDeleteClick();
        QCOMPARE(m_ui->messages.last().text, QStringLiteral("真的删除快递模块吗？"));
        QVERIFY(callsOf("Express.Update").value(0).files.value("delta").contains("delete"));
        QCOMPARE(form->List()->count(), 1);
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.des"))));
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.ref"))));
        QVERIFY(form->Designer()->LabelNames().isEmpty());
        // Nothing selected now: the buttons that need a template do nothing.
        m_svc->clearCalls();
        form->btnSaveClick();
        form->btnPrintInfoClick();
        QVERIFY(m_svc->calls().isEmpty());
    }

    void damagedLayoutIsNeverWrittenOver()
    {
        m_svc->answer("Express.FileGet", "<response><exists>0</exists></response>");
        const QString des = m_dir->filePath(QStringLiteral("顺风速运_顺风标准单.des"));
        {
            QFile f(des);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("TPF0 not a layout");
        }
        auto form = openDesigner();
        QVERIFY2(m_ui->lastText().contains(QStringLiteral("快递模板文件已损坏")) && m_ui->lastText().contains(des), qPrintable(m_ui->lastText()));
        m_svc->clearCalls();
        form->btnSaveClick();
        form->btnPropertiesClick();
        QVERIFY(m_ui->lastText().contains(QStringLiteral("不能保存")));
        QVERIFY(m_svc->calls().isEmpty());
        form->List()->setCurrentRow(1);
        form->List()->setCurrentRow(0);
        QCOMPARE(readFile(des), QByteArray("TPF0 not a layout"));
    }

    void unsafeFileNamesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("stem");
        QTest::newRow("parent folder") << QByteArray("../bpl/kx_basic");
        QTest::newRow("separator") << QByteArray("a/b");
        QTest::newRow("backslash") << QByteArray("a\\b");
        QTest::newRow("drive") << QByteArray("C:evil");
    }
    void unsafeFileNamesAreRefused()
    {
        QFETCH(QByteArray, stem);
        m_svc->answer("Express.Search", templates({"express_id=\"E09\" express_name=\"x\" express_file=\"" + stem
                                                   + "\" logistics_code=\"SF\" is_use=\"1\" md5_key=\"a9\""}));
        auto form = openDesigner();
        QVERIFY(callsOf("Express.FileGet").isEmpty());
        QVERIFY(m_ui->lastText().startsWith(QStringLiteral("快递模板文件名不正确")));
        form->btnSaveClick();
        QVERIFY(callsOf("Express.FilePut").isEmpty());
    }

    void waybillDialogPrintsTheChosenTemplate()
    {
        m_svc->answer("SendRen.Search", data(packet("<field name=\"renid\" type=\"string\"/><field name=\"sender_name\" type=\"string\"/>"
                                                    "<field name=\"sender_phone\" type=\"string\"/>",
                                                    {R"(renid="R01" sender_name="瓦诺克仓库" sender_phone="0571-1")",
                                                     R"(renid="R02" sender_name="上海仓" sender_phone="021-2")"})));
        TExpressLayout l = layoutWith(QStringLiteral("pickingid"), QRect(200, 100, 150, 24));
        l.mmMarginLeft = 10;
        m_svc->answer("Express.FileGet", fileAnswer(KxExpressReportBytes(l)));
        TfrmPickingKD dlg;
        dlg.InitModule(QStringLiteral("<module><search>PickingSend.Search</search><sendren>SendRen.Search</sendren>"
                                      "<express>Express.Search</express><file>Express.FileGet</file></module>"));
        QCOMPARE(callsOf("Express.Search").value(0).value("is_use"), QStringLiteral("1"));
        QCOMPARE(dlg.TemplateBox()->count(), 2);
        QCOMPARE(dlg.SenderBox()->currentText(), QStringLiteral("瓦诺克仓库"));
        dlg.SenderBox()->setCurrentIndex(1);
        dlg.SetSenderVariables();
        const TRMVariables& vars = dlg.Report()->Report()->Variables();
        QCOMPARE(vars.size(), 9);
        QCOMPARE(vars[0], (QPair<QString, QVariant>(QStringLiteral("发件人ID"), QStringLiteral("R02"))));
        QCOMPARE(vars[5], (QPair<QString, QVariant>(QStringLiteral("发件人电话"), QStringLiteral("021-2"))));

        m_svc->answer("PickingSend.Search",
                      "<response><xmldata><![CDATA[" + packet("<field name=\"pickingid\" type=\"string\"/>", {R"(pickingid="JH0007")", R"(pickingid="JH0008")"})
                          + "]]></xmldata><xmldetail><![CDATA[" + packet("<field name=\"pickingid\" type=\"string\"/>", {}) + "]]></xmldetail></response>");
        QVERIFY(dlg.LoadPickings({QStringLiteral("JH0007"), QStringLiteral("JH0008")}));
        QCOMPARE(callsOf("PickingSend.Search").value(0).value("pickingid"), QStringLiteral("JH0007,JH0008"));
        dlg.TemplateBox()->setCurrentIndex(1);
        const QString pdf = m_dir->filePath(QStringLiteral("kd.pdf"));
        QVERIFY(dlg.PrintToPdf(pdf));
        QCOMPARE(callsOf("Express.FileGet").value(0).value("express_file"), QStringLiteral("圆通快运_圆通标准单"));
        QCOMPARE(callsOf("Express.FileGet").value(0).value("ext"), QStringLiteral("ref"));
        const auto pages = pdfWords(pdf);
        QCOMPARE(int(pages.size()), 2);
        const TPdfWord* w = pdfFind(pages[1], QStringLiteral("JH0008"));
        QVERIFY(w);
        QVERIFY(std::abs(w->box.x() - (10 + KxPxToMm(200) + 0.5) * kPtPerMm) < 1.5);

        // Without a template nothing is printed or asked for.
        m_svc->answer("Express.Search", templates({}));
        dlg.LoadTemplates();
        m_svc->clearCalls();
        dlg.btnPrintClick();
        QVERIFY(m_svc->calls().isEmpty());
    }
};

QTEST_MAIN(TestWaybillForms)
#include "tst_waybill_forms.moc"
