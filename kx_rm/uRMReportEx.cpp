#include "uRMReportEx.h"

#include <QBuffer>
#include <QtEndian>
#include <cmath>

namespace {

// Larger than any sheet a printer takes; a header beyond it is damage, not paper.
constexpr qint64 kMaxThousandths = 5000LL * 1000;

} // namespace

TRMReportEx::TRMReportEx(QObject* owner) : TRMReport(owner) {}

void TRMReportEx::SetMarginLeft(int value) { m_marginLeft = value; ChangePaper(); }
void TRMReportEx::SetMarginTop(int value) { m_marginTop = value; ChangePaper(); }
void TRMReportEx::SetMarginRight(int value) { m_marginRight = value; ChangePaper(); }
void TRMReportEx::SetMarginBottom(int value) { m_marginBottom = value; ChangePaper(); }
void TRMReportEx::SetPaperWidth(int value) { m_paperWidth = value; ChangePaper(); }
void TRMReportEx::SetPaperHeigth(int value) { m_paperHeight = value; ChangePaper(); }

void TRMReportEx::ChangePaper()
{
    TRMPageSetup& page = Template().page;
    page.left = m_marginLeft / 1000.0;
    page.top = m_marginTop / 1000.0;
    page.right = m_marginRight / 1000.0;
    page.bottom = m_marginBottom / 1000.0;
    // The page keeps tenths of a millimetre.
    page.width = std::lround(m_paperWidth / 100.0) / 10.0;
    page.height = std::lround(m_paperHeight / 100.0) / 10.0;
    page.landscape = false;
}

bool TRMReportEx::DesignReportEx()
{
    ChangePaper();
    return DesignReport();
}

bool TRMReportEx::PreviewReportEx()
{
    ChangePaper();
    return ShowReport();
}

bool TRMReportEx::PrintReportEx()
{
    ChangePaper();
    return PrintReport();
}

bool TRMReportEx::LoadFromStream(QIODevice* stream)
{
    const QByteArray head = stream->read(HeaderSize);
    if (head.size() < HeaderSize) {
        SetLastError(QStringLiteral("文件太短，缺少页面设置"));
        return false;
    }
    qint32 v[6];
    for (int i = 0; i < 6; ++i)
        v[i] = qFromLittleEndian<qint32>(head.constData() + 4 * i);
    const bool sane = v[4] > 0 && v[5] > 0 && v[4] <= kMaxThousandths && v[5] <= kMaxThousandths && v[0] >= 0
                      && v[1] >= 0 && v[2] >= 0 && v[3] >= 0 && qint64(v[0]) + v[2] < v[4]
                      && qint64(v[1]) + v[3] < v[5];
    if (!sane) {
        SetLastError(QStringLiteral("页面设置无效"));
        return false;
    }
    if (!TRMReport::LoadFromStream(stream))
        return false;
    m_marginLeft = v[0];
    m_marginTop = v[1];
    m_marginRight = v[2];
    m_marginBottom = v[3];
    m_paperWidth = v[4];
    m_paperHeight = v[5];
    return true;
}

bool TRMReportEx::SaveToStream(QIODevice* stream)
{
    const TRMPageSetup& page = Template().page;
    const qint32 v[6] = {qint32(std::lround(page.left * 1000)), qint32(std::lround(page.top * 1000)),
                         qint32(std::lround(page.right * 1000)), qint32(std::lround(page.bottom * 1000)),
                         qint32(std::lround(page.width * 10) * 100), qint32(std::lround(page.height * 10) * 100)};
    char head[HeaderSize];
    for (int i = 0; i < 6; ++i)
        qToLittleEndian<qint32>(v[i], head + 4 * i);
    if (stream->write(head, HeaderSize) != HeaderSize) {
        SetLastError(stream->errorString());
        return false;
    }
    return TRMReport::SaveToStream(stream);
}
