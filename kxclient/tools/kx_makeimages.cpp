// Writes the navigation pictures into image/ beside the program: one PNG per name, a
// coloured tile with a white glyph. The service's navigation tables refer to these names.
#include "../uArt.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

namespace {
struct Picture {
    const char* file;
    const char* glyph;
    QRgb color;
};

// Sales: orange, stock: blue, master data: green, system: slate, reports: purple.
const Picture kPictures[] = {
    {"trade.png", "cart", 0xe8772e},       {"picking.png", "check", 0xe8772e},
    {"send.png", "truck", 0xe8772e},       {"refund.png", "return", 0xd9534f},
    {"refunding.png", "box", 0xd9534f},    {"receive.png", "download", 0x1f6fc5},
    {"output.png", "box", 0x1f6fc5},       {"whole.png", "cart", 0x1f6fc5},
    {"allocate.png", "exchange", 0x1f6fc5}, {"check.png", "list", 0x1f6fc5},
    {"adjust.png", "doc", 0x1f6fc5},       {"costprice.png", "money", 0x1f6fc5},
    {"saleprice.png", "tag", 0x1f6fc5},    {"stock.png", "warehouse", 0x1f6fc5},
    {"goods.png", "store", 0x2e9a5a},      {"commodity.png", "box", 0x2e9a5a},
    {"sku.png", "barcode", 0x2e9a5a},      {"bundle.png", "layers", 0x2e9a5a},
    {"supplier.png", "users", 0x2e9a5a},   {"shop.png", "store", 0x2e9a5a},
    {"storage.png", "warehouse", 0x2e9a5a}, {"logistics.png", "truck", 0x2e9a5a},
    {"member.png", "card", 0x2e9a5a},      {"operator.png", "user", 0x4a5d78},
    {"power.png", "key", 0x4a5d78},        {"password.png", "lock", 0x4a5d78},
    {"about.png", "info", 0x4a5d78},       {"logon.png", "users", 0x4a5d78},
    {"module.png", "gear", 0x4a5d78},      {"search.png", "search", 0x4a5d78},
    {"report.png", "chart", 0x7b4fb0},     {"express.png", "printer", 0x7b4fb0},
};
}

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kx_makeimages <image folder>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    for (const Picture& p : kPictures) {
        if (!KxGlyphs().contains(QLatin1String(p.glyph))) {
            std::fprintf(stderr, "kx_makeimages: unknown glyph %s\n", p.glyph);
            return 1;
        }
        const QString path = dir + u'/' + QLatin1String(p.file);
        if (!KxNavImage(QLatin1String(p.glyph), QColor(p.color), 32).save(path)) {
            std::fprintf(stderr, "kx_makeimages: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
