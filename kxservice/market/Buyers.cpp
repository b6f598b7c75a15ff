#include "Buyers.h"

#include <iterator>

namespace {
const char* const kSurnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴", "徐", "孙", "马", "朱", "胡", "郭",
                                 "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "欧阳", "司马"};
const char* const kGiven[] = {"伟", "芳", "娜", "秀英", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛",
                              "明", "超", "秀兰", "霞", "平", "刚", "桂英", "嘉怡", "子涵", "浩然", "喆", "昇"};
// Province, city, district, postcode, telephone area code.
struct TPlace {
    const char *state, *city, *district, *zip, *area;
};
const TPlace kPlaces[] = {
    {"北京", "北京市", "朝阳区", "100020", "010"},        {"上海", "上海市", "浦东新区", "200120", "021"},
    {"天津", "天津市", "南开区", "300100", "022"},        {"重庆", "重庆市", "渝中区", "400010", "023"},
    {"浙江省", "杭州市", "西湖区", "310012", "0571"},      {"浙江省", "宁波市", "鄞州区", "315100", "0574"},
    {"江苏省", "南京市", "鼓楼区", "210008", "025"},       {"江苏省", "苏州市", "姑苏区", "215000", "0512"},
    {"广东省", "广州市", "天河区", "510630", "020"},       {"广东省", "深圳市", "南山区", "518052", "0755"},
    {"福建省", "厦门市", "思明区", "361001", "0592"},      {"山东省", "青岛市", "市南区", "266001", "0532"},
    {"河南省", "郑州市", "金水区", "450003", "0371"},      {"湖北省", "武汉市", "洪山区", "430070", "027"},
    {"湖南省", "长沙市", "岳麓区", "410006", "0731"},      {"四川省", "成都市", "武侯区", "610041", "028"},
    {"陕西省", "西安市", "雁塔区", "710061", "029"},       {"辽宁省", "沈阳市", "和平区", "110001", "024"},
    {"黑龙江省", "哈尔滨市", "南岗区", "150001", "0451"},  {"云南省", "昆明市", "五华区", "650021", "0871"},
    {"广西壮族自治区", "南宁市", "青秀区", "530022", "0771"}, {"新疆维吾尔自治区", "乌鲁木齐市", "天山区", "830002", "0991"},
    {"内蒙古自治区", "呼和浩特市", "新城区", "010050", "0471"}, {"海南省", "海口市", "美兰区", "570203", "0898"},
};
const char* const kStreets[] = {"幸福路", "人民路", "中山路", "解放大道", "建设路", "文化路", "长江路", "和平街", "滨江大道", "学院路"};
const char* const kMessages[] = {
    "请尽快发货🚚", "麻烦包装好一点🎁，谢谢！", "送人的，不要放价格单😊 祝𠮷祥", "周末不在家，请工作日送达🙏 <别放门口> & 打电话",
    "发顺丰可以吗？运费我补", "颜色要和图片一样的哦👗", "地址写错了，是 3 号楼不是 8 号楼！", "生日礼物🎂，务必周五前到",
    "尺码拍大了一号，请发 M 码", "老顾客了，给点小赠品呗😄", "“急用”，今天能发吗？", "不要圆通，谢谢"};

template <typename T, size_t N>
const T& pick(TRng& rng, const T (&list)[N])
{
    return list[rng.below(int(N))];
}
}

TBuyer KxBuyer(quint64 seed, int number)
{
    TRng rng = TRng::of(seed, 0xB0B, quint64(number));
    TBuyer b;
    b.nick = QStringLiteral("buyer_%1").arg(number, 4, 10, QLatin1Char('0'));
    b.email = b.nick + QStringLiteral("@example.com");
    b.receiver = QString::fromUtf8(pick(rng, kSurnames)) + QString::fromUtf8(pick(rng, kGiven));
    const TPlace& p = pick(rng, kPlaces);
    b.state = QString::fromUtf8(p.state);
    b.city = QString::fromUtf8(p.city);
    b.district = QString::fromUtf8(p.district);
    b.zip = QString::fromLatin1(p.zip);
    b.address = QStringLiteral("%1%2号%3栋%4室").arg(QString::fromUtf8(pick(rng, kStreets))).arg(rng.below(400) + 1)
                    .arg(rng.below(30) + 1).arg((rng.below(30) + 1) * 100 + rng.below(4) + 1);
    b.mobile = QStringLiteral("1%1%2").arg(QString::number(3 + rng.below(7))).arg(rng.below(1000000000), 9, 10, QLatin1Char('0'));
    if (rng.below(4) == 0)
        b.phone = QString::fromLatin1(p.area) + QLatin1Char('-') + QString::number(80000000 + rng.below(10000000));
    return b;
}

QString KxBuyerMessage(TRng& rng)
{
    if (rng.below(3) != 0)
        return QString();
    return QString::fromUtf8(pick(rng, kMessages));
}

QString KxRefundReason(TRng& rng)
{
    static const char* const kReasons[] = {"尺码不合适", "颜色与描述不符", "质量问题", "七天无理由退换货", "发错货", "不想要了", "快递太慢"};
    return QString::fromUtf8(pick(rng, kReasons));
}

QString KxRefundDesc(TRng& rng)
{
    // Buyers write what they like here too: emoji, markup characters, rare characters.
    static const char* const kDescs[] = {"", "收到的和图片不一样，麻烦尽快处理", "穿了一次就开线了😢", "拍错了尺码，还没拆封 <全新> & 吊牌在",
                                         "家里人已经买了，不需要了", "快递一直没到，不想等了🙏 𠮷"};
    return QString::fromUtf8(pick(rng, kDescs));
}
