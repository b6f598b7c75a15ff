#include "uAnswerCodec.h"

#include <zlib.h>
#include <algorithm>
#include <cstring>

namespace {
// deflateInit allocates a few hundred kilobytes of window and hash tables; freeing and
// faulting them in again on every answer costs more than compressing a small answer, so
// each thread keeps one stream and resets it.
struct TDeflater {
    z_stream zs{};
    int level = Z_NO_COMPRESSION - 1; // not initialised
    ~TDeflater()
    {
        if (level >= Z_NO_COMPRESSION)
            deflateEnd(&zs);
    }
    z_stream* get(int wanted)
    {
        if (level == wanted && deflateReset(&zs) == Z_OK)
            return &zs;
        if (level >= Z_NO_COMPRESSION)
            deflateEnd(&zs);
        zs = z_stream{};
        level = Z_NO_COMPRESSION - 1;
        if (deflateInit(&zs, wanted) != Z_OK)
            return nullptr;
        level = wanted;
        return &zs;
    }
};
}

QByteArray KxEncodeAnswer(const QByteArray& xml, int level)
{
    thread_local TDeflater deflater;
    z_stream* zs = deflater.get(level);
    if (!zs)
        return {};
    const uLong bound = deflateBound(zs, uLong(xml.size()));
    QByteArray out(qsizetype(4 + bound), Qt::Uninitialized);
    const quint32 len = quint32(xml.size());
    const unsigned char le[4] = {uchar(len), uchar(len >> 8), uchar(len >> 16), uchar(len >> 24)};
    std::memcpy(out.data(), le, 4);
    zs->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.constData()));
    zs->avail_in = uInt(xml.size());
    zs->next_out = reinterpret_cast<Bytef*>(out.data() + 4);
    zs->avail_out = uInt(bound);
    if (deflate(zs, Z_FINISH) != Z_STREAM_END)
        return {};
    out.resize(qsizetype(4 + zs->total_out));
    return out;
}

bool KxDecodeAnswer(const char* data, qint64 size, QByteArray& xml, QString& error, qint64 maxBytes)
{
    xml.clear();
    if (size < 4) {
        error = QStringLiteral("服务返回的数据不完整（%1 字节），无法解压缩。").arg(size);
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    const qint32 len = qint32(quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24);
    if (len < 0 || len > maxBytes) {
        error = QStringLiteral("服务返回的数据长度无效（%1），无法解压缩。").arg(len);
        return false;
    }
    // Never allocate on the header's word alone: deflate cannot expand more than about
    // 1032:1, so a claim beyond that is a lie and fails below without the allocation.
    const qint64 input = size - 4;
    const qint64 plausible = std::min<qint64>(len, input * 1040 + 64);
    QByteArray out;
    out.resize(qsizetype(plausible));

    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        error = QStringLiteral("解压缩失败：zlib 初始化错误。");
        return false;
    }
    zs.next_in = const_cast<Bytef*>(b + 4);
    zs.avail_in = uInt(std::min<qint64>(input, UINT32_MAX));
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    int rc = inflate(&zs, Z_FINISH);
    qint64 produced = qint64(zs.total_out);
    if (rc == Z_BUF_ERROR && zs.avail_out == 0) {
        // Output full before the stream ended: more bytes than announced.
        unsigned char probe;
        zs.next_out = &probe;
        zs.avail_out = 1;
        rc = inflate(&zs, Z_FINISH);
        if (zs.total_out > quint64(produced))
            produced = len + 1;
    }
    const char* zmsg = zs.msg;
    inflateEnd(&zs);
    if (rc != Z_STREAM_END && produced <= len) {
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR)
            error = QStringLiteral("服务返回的数据无法解压缩：%1").arg(QString::fromLatin1(zmsg ? zmsg : "data error"));
        else
            error = QStringLiteral("服务返回的数据不完整，无法解压缩。");
        return false;
    }
    if (produced > len) {
        error = QStringLiteral("服务返回的数据长度不符：解压得到的数据多于声明的 %1 字节。").arg(len);
        return false;
    }
    if (produced != len) {
        error = QStringLiteral("服务返回的数据长度不符：声明 %1 字节，解压得到 %2 字节。").arg(len).arg(produced);
        return false;
    }
    out.resize(qsizetype(produced));
    xml = std::move(out);
    return true;
}
