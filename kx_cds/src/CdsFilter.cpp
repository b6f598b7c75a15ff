#include "CdsFilter.h"

#include "CdsCells.h"
#include "CdsDates.h"

#include <charconv>
#include <cmath>

namespace kxcds {

namespace {

constexpr int kMaxDepth = 64;

struct Token
{
    enum Type { End, Ident, QuotedIdent, String, Number, Op, LParen, RParen } type = End;
    QString text;
    FilterAst::Op op = FilterAst::Eq;
    int pos = 0;   // 1-based, for messages
};

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

class Parser
{
public:
    Parser(const QString& text, FilterAst& ast) : m_s(text), m_ast(ast) {}

    bool run(QString& err)
    {
        if (!next(err))
            return false;
        if (m_tok.type == Token::End) {
            m_ast.root = -1;
            return true;
        }
        int root = -1;
        if (!parseOr(root, 0, err))
            return false;
        if (m_tok.type != Token::End)
            return fail(err, QStringLiteral("unexpected '%1'").arg(m_tok.text));
        m_ast.root = root;
        return true;
    }

private:
    bool fail(QString& err, const QString& what)
    {
        err = QStringLiteral("filter error at position %1: %2").arg(m_tok.pos).arg(what);
        return false;
    }

    bool keyword(const char* kw) const
    {
        return m_tok.type == Token::Ident && m_tok.text.compare(QLatin1StringView(kw), Qt::CaseInsensitive) == 0;
    }

    bool next(QString& err)
    {
        const qsizetype n = m_s.size();
        while (m_i < n && m_s[m_i].isSpace())
            ++m_i;
        m_tok = Token();
        m_tok.pos = int(m_i + 1);
        if (m_i >= n)
            return true;
        const QChar c = m_s[m_i];
        if (c == u'(' || c == u')') {
            m_tok.type = c == u'(' ? Token::LParen : Token::RParen;
            m_tok.text = c;
            ++m_i;
            return true;
        }
        if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
            const QChar d = m_i + 1 < n ? m_s[m_i + 1] : QChar();
            m_tok.type = Token::Op;
            if (c == u'<' && d == u'>') { m_tok.op = FilterAst::Ne; m_i += 2; }
            else if (c == u'!' && d == u'=') { m_tok.op = FilterAst::Ne; m_i += 2; }
            else if (c == u'<' && d == u'=') { m_tok.op = FilterAst::Le; m_i += 2; }
            else if (c == u'>' && d == u'=') { m_tok.op = FilterAst::Ge; m_i += 2; }
            else if (c == u'<') { m_tok.op = FilterAst::Lt; ++m_i; }
            else if (c == u'>') { m_tok.op = FilterAst::Gt; ++m_i; }
            else if (c == u'=') { m_tok.op = FilterAst::Eq; ++m_i; }
            else { m_tok.text = c; return fail(err, QStringLiteral("unexpected '!'")); }
            m_tok.text = m_s.mid(m_tok.pos - 1, m_i - m_tok.pos + 1);
            return true;
        }
        if (c == u'\'') {
            // '' inside the quotes is one quote
            QString v;
            ++m_i;
            for (;;) {
                if (m_i >= n)
                    return fail(err, QStringLiteral("unterminated text constant"));
                if (m_s[m_i] == u'\'') {
                    if (m_i + 1 < n && m_s[m_i + 1] == u'\'') {
                        v += u'\'';
                        m_i += 2;
                        continue;
                    }
                    ++m_i;
                    break;
                }
                v += m_s[m_i++];
            }
            m_tok.type = Token::String;
            m_tok.text = v;
            return true;
        }
        if (c == u'[') {
            const qsizetype close = m_s.indexOf(u']', m_i + 1);
            if (close < 0)
                return fail(err, QStringLiteral("unterminated [field name]"));
            m_tok.type = Token::QuotedIdent;
            m_tok.text = m_s.mid(m_i + 1, close - m_i - 1);
            m_i = close + 1;
            return true;
        }
        const auto isDigit = [&](qsizetype k) { return k < n && m_s[k] >= u'0' && m_s[k] <= u'9'; };
        const auto startsNumber = [&](qsizetype k) { return isDigit(k) || (k < n && m_s[k] == u'.' && isDigit(k + 1)); };
        if (startsNumber(m_i) || ((c == u'-' || c == u'+') && startsNumber(m_i + 1))) {
            const qsizetype start = m_i;
            if (c == u'-' || c == u'+')
                ++m_i;
            while (isDigit(m_i))
                ++m_i;
            if (m_i < n && m_s[m_i] == u'.') {
                ++m_i;
                while (isDigit(m_i))
                    ++m_i;
            }
            m_tok.type = Token::Number;
            m_tok.text = m_s.mid(start, m_i - start);
            if (m_i < n && isIdentChar(m_s[m_i]))
                return fail(err, QStringLiteral("'%1' is not a number").arg(m_tok.text + m_s[m_i]));
            return true;
        }
        if (isIdentStart(c)) {
            const qsizetype start = m_i;
            while (m_i < n && isIdentChar(m_s[m_i]))
                ++m_i;
            m_tok.type = Token::Ident;
            m_tok.text = m_s.mid(start, m_i - start);
            return true;
        }
        m_tok.text = c;
        return fail(err, QStringLiteral("unexpected '%1'").arg(c));
    }

    int add(FilterAst::Node node)
    {
        m_ast.nodes.push_back(std::move(node));
        return int(m_ast.nodes.size() - 1);
    }

    bool parseOr(int& out, int depth, QString& err)
    {
        return parseChain(out, depth, "or", FilterAst::Or, err);
    }

    bool parseChain(int& out, int depth, const char* kw, FilterAst::Kind kind, QString& err)
    {
        int first = -1;
        if (!(kind == FilterAst::Or ? parseChain(first, depth, "and", FilterAst::And, err) : parseNot(first, depth, err)))
            return false;
        if (!keyword(kw)) {
            out = first;
            return true;
        }
        FilterAst::Node node;
        node.kind = kind;
        node.kids.push_back(first);
        while (keyword(kw)) {
            if (!next(err))
                return false;
            int k = -1;
            if (!(kind == FilterAst::Or ? parseChain(k, depth, "and", FilterAst::And, err) : parseNot(k, depth, err)))
                return false;
            node.kids.push_back(k);
        }
        out = add(std::move(node));
        return true;
    }

    bool parseNot(int& out, int depth, QString& err)
    {
        if (depth > kMaxDepth)
            return fail(err, QStringLiteral("the expression is nested too deeply"));
        if (keyword("not")) {
            if (!next(err))
                return false;
            int k = -1;
            if (!parseNot(k, depth + 1, err))
                return false;
            FilterAst::Node node;
            node.kind = FilterAst::Not;
            node.kids.push_back(k);
            out = add(std::move(node));
            return true;
        }
        if (m_tok.type == Token::LParen) {
            if (!next(err) || !parseOr(out, depth + 1, err))
                return false;
            if (m_tok.type != Token::RParen)
                return fail(err, QStringLiteral("')' expected"));
            return next(err);
        }
        return parseComparison(out, err);
    }

    struct Operand
    {
        bool isField = false;
        FilterAst::ConstKind kind = FilterAst::Text;
        bool isNull = false;
        QString text;
        bool boolean = false;
    };

    bool parseOperand(Operand& o, QString& err)
    {
        switch (m_tok.type) {
        case Token::String:
            o.kind = FilterAst::Text;
            o.text = m_tok.text;
            break;
        case Token::Number:
            o.kind = FilterAst::Number;
            o.text = m_tok.text;
            break;
        case Token::QuotedIdent:
            o.isField = true;
            o.text = m_tok.text;
            break;
        case Token::Ident:
            if (keyword("null")) {
                o.isNull = true;
            } else if (keyword("true") || keyword("false")) {
                o.kind = FilterAst::Boolean;
                o.boolean = keyword("true");
            } else if (keyword("and") || keyword("or") || keyword("not") || keyword("is")) {
                return fail(err, QStringLiteral("a field or a constant expected before '%1'").arg(m_tok.text));
            } else {
                o.isField = true;
                o.text = m_tok.text;
            }
            break;
        case Token::End:
            return fail(err, QStringLiteral("the expression ends too early"));
        default:
            return fail(err, QStringLiteral("a field or a constant expected, not '%1'").arg(m_tok.text));
        }
        return next(err);
    }

    bool parseComparison(int& out, QString& err)
    {
        Operand left;
        if (!parseOperand(left, err))
            return false;
        FilterAst::Node node;
        if (keyword("is")) {
            if (!left.isField)
                return fail(err, QStringLiteral("'is null' needs a field on its left"));
            if (!next(err))
                return false;
            bool negate = false;
            if (keyword("not")) {
                negate = true;
                if (!next(err))
                    return false;
            }
            if (!keyword("null"))
                return fail(err, QStringLiteral("'null' expected"));
            node.kind = negate ? FilterAst::IsNotNull : FilterAst::IsNull;
            node.field = left.text;
            out = add(std::move(node));
            return next(err);
        }
        if (m_tok.type != Token::Op)
            return fail(err, m_tok.type == Token::End ? QStringLiteral("a comparison operator expected at the end")
                                                       : QStringLiteral("a comparison operator expected, not '%1'").arg(m_tok.text));
        FilterAst::Op op = m_tok.op;
        const int opPos = m_tok.pos;
        if (!next(err))
            return false;
        Operand right;
        if (!parseOperand(right, err))
            return false;
        if (left.isField == right.isField) {
            err = QStringLiteral("filter error at position %1: a comparison needs one field and one constant").arg(opPos);
            return false;
        }
        if (!left.isField) {
            std::swap(left, right);
            static const FilterAst::Op mirrored[] = {FilterAst::Eq, FilterAst::Ne, FilterAst::Gt, FilterAst::Lt, FilterAst::Ge, FilterAst::Le};
            op = mirrored[op];
        }
        node.field = left.text;
        if (right.isNull) {
            if (op != FilterAst::Eq && op != FilterAst::Ne) {
                err = QStringLiteral("filter error at position %1: null can only be compared with = or <>").arg(opPos);
                return false;
            }
            node.kind = op == FilterAst::Eq ? FilterAst::IsNull : FilterAst::IsNotNull;
        } else {
            node.kind = FilterAst::Compare;
            node.op = op;
            node.constKind = right.kind;
            node.text = right.text;
            node.boolean = right.boolean;
        }
        out = add(std::move(node));
        return true;
    }

    const QString& m_s;
    FilterAst& m_ast;
    qsizetype m_i = 0;
    Token m_tok;
};

bool applyOp(FilterAst::Op op, int c)
{
    switch (op) {
    case FilterAst::Eq: return c == 0;
    case FilterAst::Ne: return c != 0;
    case FilterAst::Lt: return c < 0;
    case FilterAst::Gt: return c > 0;
    case FilterAst::Le: return c <= 0;
    case FilterAst::Ge: return c >= 0;
    }
    return false;
}

template<typename T>
int cmp3(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

bool parseFilter(const QString& text, FilterAst& out, QString& err)
{
    out = FilterAst();
    return Parser(text, out).run(err);
}

bool FilterProgram::bind(const FilterAst& ast, const Resolver& resolve, TFilterOptions options, QString& err)
{
    std::vector<Node> nodes(ast.nodes.size());
    bool usesCalc = false;
    const bool noCase = options.testFlag(foCaseInsensitive);
    for (size_t i = 0; i < ast.nodes.size(); ++i) {
        const FilterAst::Node& a = ast.nodes[i];
        Node& b = nodes[i];
        b.kids = a.kids;
        b.op = a.op;
        if (a.kind == FilterAst::And || a.kind == FilterAst::Or || a.kind == FilterAst::Not) {
            b.how = a.kind == FilterAst::And ? How::And : (a.kind == FilterAst::Or ? How::Or : How::Not);
            continue;
        }
        const FilterField f = resolve(a.field);
        if (f.column < 0 && !f.lookup) {
            err = QStringLiteral("the filter names the unknown field '%1'").arg(a.field);
            return false;
        }
        if (f.lookup) {
            err = QStringLiteral("the lookup field '%1' cannot be used in a filter").arg(a.field);
            return false;
        }
        usesCalc |= f.calculated;
        b.column = f.column;
        if (a.kind == FilterAst::IsNull || a.kind == FilterAst::IsNotNull) {
            b.how = a.kind == FilterAst::IsNull ? How::IsNull : How::IsNotNull;
            continue;
        }
        const QString constText = a.constKind == FilterAst::Boolean ? (a.boolean ? QStringLiteral("1") : QStringLiteral("0")) : a.text;
        const auto bad = [&](const QString& what) {
            err = QStringLiteral("the filter compares field '%1' with '%2', which is not %3").arg(a.field, a.text, what);
            return false;
        };
        switch (f.type) {
        case ftString:
        case ftMemo: {
            QString t = a.constKind == FilterAst::Boolean ? (a.boolean ? QStringLiteral("True") : QStringLiteral("False")) : a.text;
            // A trailing * in a quoted text makes = and <> compare the beginning only.
            const bool prefix = a.constKind == FilterAst::Text && t.endsWith(u'*') && (a.op == FilterAst::Eq || a.op == FilterAst::Ne);
            if (prefix)
                t.chop(1);
            b.how = noCase ? (prefix ? How::PrefixNoCase : How::TextNoCase) : (prefix ? How::Prefix : How::Text);
            b.text = t.toStdString();
            b.qtext = t;
            break;
        }
        case ftInteger:
        case ftLargeint:
        case ftDecimal: {
            const auto d = TDecimal::Parse(QStringView(constText).trimmed());
            if (!d)
                return bad(QStringLiteral("a number"));
            b.dec = *d;
            b.how = How::Dec;
            // The common case compares mantissas directly.
            if (f.type != ftDecimal && d->Scale() == 0) {
                b.how = How::Int;
                b.i = d->Mantissa();
            } else if (f.type == ftDecimal && d->Scale() <= f.scale) {
                if (const auto r = d->Rescaled(f.scale)) {
                    b.how = How::Int;
                    b.i = r->Mantissa();
                }
            }
            break;
        }
        case ftFloat: {
            const std::string s = constText.trimmed().toStdString();
            const auto res = std::from_chars(s.data(), s.data() + s.size(), b.d);
            if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size())
                return bad(QStringLiteral("a number"));
            b.how = How::Dbl;
            break;
        }
        case ftBoolean: {
            const QString t = constText.trimmed().toLower();
            if (t == u"1" || t == u"true")
                b.i = 1;
            else if (t == u"0" || t == u"false")
                b.i = 0;
            else
                return bad(QStringLiteral("0, 1, true or false"));
            b.how = How::Int;
            break;
        }
        case ftDate:
        case ftTime:
        case ftDateTime: {
            const std::string s = a.text.trimmed().toStdString();
            if (a.constKind != FilterAst::Text || !parseDateTimeText(f.type == ftTime ? ftTime : ftDateTime, s.data(), s.size(), b.i))
                return bad(f.type == ftTime ? QStringLiteral("a quoted 'hh:mm:ss' time") : QStringLiteral("a quoted 'yyyy-MM-dd' or 'yyyy-MM-dd hh:mm:ss' date"));
            b.how = How::Int;
            break;
        }
        default:
            return bad(QStringLiteral("comparable"));
        }
    }
    m_nodes = std::move(nodes);
    m_root = ast.root;
    m_usesCalc = usesCalc;
    return true;
}

bool FilterProgram::eval(const Table& t, int idx, quint32 row) const
{
    const Node& n = m_nodes[size_t(idx)];
    switch (n.how) {
    case How::And:
        for (int k : n.kids)
            if (!eval(t, k, row))
                return false;
        return true;
    case How::Or:
        for (int k : n.kids)
            if (eval(t, k, row))
                return true;
        return false;
    case How::Not:
        return !eval(t, n.kids[0], row);
    default:
        break;
    }
    const Column& c = t.cols[size_t(n.column)];
    const bool isNull = c.isNull(row);
    if (n.how == How::IsNull)
        return isNull;
    if (n.how == How::IsNotNull)
        return !isNull;
    if (isNull)
        return false;   // a null matches no comparison
    switch (n.how) {
    case How::Text: {
        const int r = c.text(row).compare(n.text);
        return applyOp(n.op, r < 0 ? -1 : (r > 0 ? 1 : 0));
    }
    case How::Prefix: {
        const bool starts = c.text(row).starts_with(n.text);
        return n.op == FilterAst::Eq ? starts : !starts;
    }
    case How::TextNoCase:
    case How::PrefixNoCase: {
        const auto v = c.text(row);
        const QString s = QString::fromUtf8(v.data(), qsizetype(v.size()));
        if (n.how == How::PrefixNoCase) {
            const bool starts = s.startsWith(n.qtext, Qt::CaseInsensitive);
            return n.op == FilterAst::Eq ? starts : !starts;
        }
        return applyOp(n.op, cmp3(s.compare(n.qtext, Qt::CaseInsensitive), 0));
    }
    case How::Int: {
        const qint64 v = c.storage == Storage::I32 ? c.i32[row] : (c.storage == Storage::U8 ? c.u8[row] : c.i64[row]);
        return applyOp(n.op, cmp3(v, n.i));
    }
    case How::Dec: {
        const TDecimal v = c.storage == Storage::I32 ? TDecimal::FromInteger(c.i32[row]) : TDecimal::FromMantissa(c.i64[row], c.type == ftDecimal ? c.scale : 0);
        return applyOp(n.op, v.Compare(n.dec));
    }
    case How::Dbl: {
        const double v = c.f64[row];
        if (std::isnan(v))
            return n.op == FilterAst::Ne;
        return applyOp(n.op, cmp3(v, n.d));
    }
    default:
        return false;
    }
}

} // namespace kxcds
