#include "ItemPicture.h"

#include "MarketRng.h"

#include <QHash>
#include <QRegularExpression>
#include <QtEndian>

#include <mutex>
#include <zlib.h>

namespace {
constexpr int kFullSize = 310;
constexpr int kMinSize = 16, kMaxSize = 400;

void chunk(QByteArray& png, const char* type, const QByteArray& data)
{
    uchar len[4];
    qToBigEndian(quint32(data.size()), len);
    png.append(reinterpret_cast<const char*>(len), 4);
    const QByteArray body = QByteArray(type, 4) + data;
    png.append(body);
    uchar crc[4];
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))), crc);
    png.append(reinterpret_cast<const char*>(crc), 4);
}

// A product shot as a simulated shop has them: a light backdrop, the goods as a rounded block
// in the item's colour with a stripe or two, a soft shadow under it.
QByteArray draw(quint64 item, int size)
{
    TRng rng = TRng::of(0x51C7, item);
    const auto channel = [&](int lo, int hi) { return lo + rng.below(hi - lo); };
    const int bg[3] = {channel(225, 250), channel(225, 250), channel(225, 250)};
    const int fg[3] = {channel(40, 210), channel(40, 210), channel(40, 210)};
    const int stripes = 1 + rng.below(3);
    const bool round = rng.below(2) == 0;
    QByteArray raw;
    raw.reserve((size * 3 + 1) * size);
    for (int y = 0; y < size; ++y) {
        raw.append('\0');   // no filter
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size - 0.5, v = (y + 0.5) / size - 0.5;
            const bool body = round ? u * u + v * v < 0.1 : qAbs(u) < 0.3 && qAbs(v) < 0.3;
            const bool stripe = body && int((v + 0.5) * 10 * stripes) % 4 == 0;
            const bool shadow = !body && qAbs(u) < 0.32 && v > 0.3 && v < 0.36;
            for (int c = 0; c < 3; ++c) {
                int value = body ? fg[c] : bg[c];
                if (stripe)
                    value = 255 - (255 - value) / 3;
                if (shadow)
                    value = value * 4 / 5;
                raw.append(char(value));
            }
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    QByteArray packed(qsizetype(packedSize), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()), 6);
    packed.resize(qsizetype(packedSize));

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian(quint32(size), header.data());
    qToBigEndian(quint32(size), header.data() + 4);
    header[8] = 8;   // bits per channel
    header[9] = 2;   // RGB
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", QByteArray());
    return png;
}
}

QString KxItemPicturePath(const QString& numIid)
{
    return QStringLiteral("/market/pic/") + numIid + QStringLiteral(".jpg");
}

QByteArray KxItemPictureAt(const QString& path)
{
    static const QRegularExpression re(QStringLiteral("^/market/pic/([0-9]{1,18})\\.jpg(?:_([0-9]{1,4})x([0-9]{1,4})\\.jpg)?$"));
    const QRegularExpressionMatch m = re.match(path);
    if (!m.hasMatch())
        return QByteArray();
    int size = kFullSize;
    if (m.hasCaptured(2))
        size = qBound(kMinSize, qMin(m.captured(2).toInt(), m.captured(3).toInt()), kMaxSize);
    const quint64 item = m.captured(1).toULongLong();
    // Drawn once per item and size; a bounded number is kept.
    static std::mutex lock;
    static QHash<QPair<quint64, int>, QByteArray> drawn;
    std::lock_guard guard(lock);
    QByteArray& png = drawn[{item, size}];
    if (png.isEmpty())
        png = draw(item, size);
    const QByteArray out = png;
    if (drawn.size() > 4096)
        drawn.clear();
    return out;
}
