#pragma once

// Filter expressions: comparisons of a field with a constant joined by and/or/not.
// Internal to kx_cds; see docs/datapacket.md for the language.

#include "CdsXml.h"

#include <functional>

namespace kxcds {

// The syntax tree of a filter text, independent of any data set.
struct FilterAst
{
    enum Kind : quint8 { And, Or, Not, Compare, IsNull, IsNotNull };
    enum Op : quint8 { Eq, Ne, Lt, Gt, Le, Ge };
    enum ConstKind : quint8 { Text, Number, Boolean };
    struct Node
    {
        Kind kind = Compare;
        std::vector<int> kids;
        QString field;
        Op op = Eq;
        ConstKind constKind = Text;
        QString text;      // text literal, or the number as written
        bool boolean = false;
    };
    std::vector<Node> nodes;
    int root = -1;   // -1: empty expression, everything matches
};

bool parseFilter(const QString& text, FilterAst& out, QString& err);

// A field as a filter sees it.
struct FilterField
{
    int column = -1;   // in the data set's table; -1 when the field does not exist
    TFieldType type = ftUnknown;
    int scale = 0;
    bool calculated = false;
    bool lookup = false;
};

// A filter bound to the columns of one data set.
class FilterProgram
{
public:
    using Resolver = std::function<FilterField(const QString& name)>;
    bool bind(const FilterAst& ast, const Resolver& resolve, TFilterOptions options, QString& err);
    bool empty() const { return m_root < 0; }
    // The caller computes a row's calculated fields before match() when this is true.
    bool usesCalculated() const { return m_usesCalc; }
    bool match(const Table& t, quint32 row) const { return m_root < 0 || eval(t, m_root, row); }

private:
    enum class How : quint8 { Text, Prefix, TextNoCase, PrefixNoCase, Int, Dec, Dbl, IsNull, IsNotNull, And, Or, Not };
    struct Node
    {
        How how = How::Text;
        FilterAst::Op op = FilterAst::Eq;
        int column = -1;
        std::vector<int> kids;
        std::string text;
        QString qtext;
        qint64 i = 0;
        TDecimal dec;
        double d = 0;
    };
    bool eval(const Table& t, int node, quint32 row) const;
    std::vector<Node> m_nodes;
    int m_root = -1;
    bool m_usesCalc = false;
};

} // namespace kxcds
