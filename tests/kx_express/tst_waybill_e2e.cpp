// Waybills end to end against the real service: a template made in the designer on one
// workstation is saved at the service; another workstation, with no files of its own,
// prints waybills from it to a PDF, each picking list's number on its own page at the
// template's place moved by the print offsets.
#include "PdfWords.h"
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uExpressFiles.h"
#include "uExpressLayout.h"
#include "uFrmBGInfo.h"
#include "uFrmExpress.h"
#include "uKXReport.h"
#include "uKX_Designer.h"
#include "ufrmPickingKD.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

QString packet(const QString& fields, const QStringList& rows)
{
    QString xml = QStringLiteral("<datapacket><fields>");
    for (const QString& f : fields.split(u','))
        xml += QStringLiteral("<field name=\"%1\" type=\"string\" size=\"100\"/>").arg(f);
    xml += QStringLiteral("</fields><rows>");
    for (const QString& r : rows)
        xml += QStringLiteral("<row %1/>").arg(r);
    return xml + QStringLiteral("</rows></datapacket>");
}
} // namespace

class TestWaybillE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;
    QTemporaryDir m_first, m_second;

private Q_SLOTS:
    void initTestCase()
    {
        KxRegisterReportEngine();
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
        gNickId = QStringLiteral("1001");
        gOperId = QStringLiteral("admin");
        gShopId = QStringLiteral("S01");
    }
    void cleanupTestCase()
    {
        KxSetExpressFolder(QString());
        m_fx.reset();
        KxSetServiceUrl(QString());
    }

    void designedOnOneWorkstationPrintedOnAnother()
    {
        KxSetExpressFolder(m_first.path());
        auto* designer = qobject_cast<TFrmExpress*>(CallModule(nullptr, QStringLiteral("Express.Module")));
        QVERIFY(designer);
        std::unique_ptr<TFrmExpress> own(designer);
        designer->Open();
        QCOMPARE(designer->List()->count(), 4);

        // A new template for the carrier, with offsets; its id comes from the service.
        m_fx->ui.onModal = [&](QWidget* w) {
            auto* dlg = qobject_cast<TFrmBGInfo*>(w);
            if (!dlg)
                return int(mrCancel);
            dlg->NameEdit()->setText(QStringLiteral("大头笔单"));
            dlg->CarrierBox()->setCurrentIndex(dlg->CarrierBox()->findData(QStringLiteral("ZTO")));
            dlg->Box(2)->setValue(8.5);  // left
            dlg->Box(4)->setValue(4.0);  // top
            dlg->btnOkClick();
            return dlg->ModalResult();
        };
        designer->btnNewClick();
        m_fx->ui.onModal = nullptr;
        QCOMPARE(designer->List()->count(), 5);
        QVERIFY2(designer->CaptionBar()->text().contains(QStringLiteral("大头笔单")), qPrintable(designer->CaptionBar()->text()));
        QVERIFY(designer->Current() && designer->Current()->id.startsWith(u'E'));
        QCOMPARE(designer->Current()->file, QStringLiteral("中通快运_大头笔单"));

        TKX_FormDesigner* d = designer->Designer();
        d->AddLabel({QStringLiteral("pickingid"), QStringLiteral("[拣货单.\"拣货单号\"]"), QRect(300, 120, 160, 24), 12});
        d->AddLabel({QStringLiteral("receiver_name"), QStringLiteral("[拣货单.\"收货人\"]"), QRect(80, 200, 160, 24), 12});
        designer->btnSaveClick();
        QCOMPARE(m_fx->ui.lastText(), QStringLiteral("数据提交成功！"));

        // The second workstation has nothing but the service.
        KxSetExpressFolder(m_second.path());
        auto* kd = qobject_cast<TfrmPickingKD*>(CallModule(nullptr, QStringLiteral("Picking.PrintKD")));
        QVERIFY(kd);
        std::unique_ptr<TfrmPickingKD> ownKd(kd);
        kd->TemplateBox()->setCurrentIndex(kd->TemplateBox()->findText(QStringLiteral("大头笔单")));
        QVERIFY(kd->TemplateBox()->currentIndex() >= 0);
        TPClientDataSet headers, lines;
        QStringList rows;
        for (int i = 1; i <= 4; ++i)
            rows << QStringLiteral(R"(pickingid="JH10%1" receiver_name="Buyer%1")").arg(i);
        QVERIFY(headers.SetKXXMLData(packet(QStringLiteral("pickingid,receiver_name"), rows)));
        QVERIFY(lines.SetKXXMLData(packet(QStringLiteral("pickingid,title"), {})));
        kd->SetPickings(&headers, &lines);
        const QString pdf = m_second.filePath(QStringLiteral("waybills.pdf"));
        QVERIFY(kd->PrintToPdf(pdf));
        QVERIFY(QFile::exists(m_second.filePath(QStringLiteral("中通快运_大头笔单.ref"))));

        const auto pages = pdfWords(pdf);
        QCOMPARE(int(pages.size()), 4);
        for (int i = 1; i <= 4; ++i) {
            const auto& page = pages[size_t(i - 1)];
            const TPdfWord* number = pdfFind(page, QStringLiteral("JH10%1").arg(i));
            const TPdfWord* buyer = pdfFind(page, QStringLiteral("Buyer%1").arg(i));
            QVERIFY2(number && buyer, qPrintable(QString::number(i)));
            QVERIFY(std::abs(number->box.x() - (8.5 + KxPxToMm(300) + 0.5) * kPtPerMm) < 1.5);
            QVERIFY(std::abs(number->box.y() - (4.0 + KxPxToMm(120) + 0.5) * kPtPerMm) < 3);
            QVERIFY(std::abs(buyer->box.x() - (8.5 + KxPxToMm(80) + 0.5) * kPtPerMm) < 1.5);
        }
    }
};

QTEST_MAIN(TestWaybillE2E)
#include "tst_waybill_e2e.moc"
