#pragma once
// What one kind of stock document is, as data: its tables and field names, its party, its
// storages, its line columns, its total, and what its audit does to stock and prices. The
// document engine (DocEngine.h) reads nothing else, so a new kind is one more description.
#include <QHash>
#include <QString>
#include <vector>

class TContext;

// Who the document is with; the name is copied from the party's row at every save.
enum class EDocParty {
    None,
    Supplier,  // suppliercode / suppliername from kx_supplier
    Member,    // vipid / vipname from kx_vipcard
};

// What an audit does to stock.
enum class EDocStock {
    None,      // price documents
    In,        // adds each line's quantity to the (only) storage
    Out,       // takes each line's quantity out of the (only) storage
    Transfer,  // out of the first storage, into the second
    Signed,    // adds the quantity as typed, either sign, to the (only) storage
};

// What an audit does to prices.
enum class EDocPrices {
    None,
    MovingCost,  // the product's cost price becomes the average over stock before and received
    Set,         // the lines' new prices replace the goods' (and their SKUs') or the SKU's prices
};

// Which rows a document's lines name.
enum class EDocLevel {
    Product,  // commoditycode; barcode, commodityname, propstyle, propcolor, propsize joined
    Goods,    // goodscode; goodsname, propstyle joined
};

struct TDocStorage {
    const char* idField;            // "storageid", "out_storageid", "in_storageid"
    const char* nameField;          // joined from kx_storage
    std::vector<int> types;         // storage types it may name; empty: any
    const char* missing;            // refusal when empty (at audit always, at save when required)
    bool requiredToSave = true;
};

// Who writes a text column a kind adds to its header or lines.
enum class EDocEdit {
    Always,    // the operator, at every save
    OnInsert,  // given when the header or line is created and kept after (where a line came from)
};

// A text column of the header or the lines, refused beyond `size` characters.
struct TDocText {
    const char* field;
    int size;
    EDocEdit edit = EDocEdit::Always;
};

// A price the audit sets: the line's editable column onto the product's (or goods') column.
struct TDocPriceSet {
    const char* lineField;          // "newprice", "newwhole"
    const char* productField;       // "costprice", "saleprice", "wholesale"
};

struct TDocKind {
    const char* doctype;            // ledger and price history name: "receive", "output", ...
    const char* title;              // "采购入库单", in messages
    const char* table;              // header table; lines in table + "_line"
    const char* idField;            // "receiveid"
    const char* prefix;             // number prefix: prefix + yyyyMMdd + running number
    int numberWidth = 3;            // digits of the running number at least (numbers compare as text)
    bool batchAudit = false;        // one audit call may audit many documents (all or none)
    bool hasShop = true;            // the header carries the creating shop's shopcode
    EDocParty party = EDocParty::None;
    const char* partyMissing = nullptr;     // refusal when the party is empty; null: optional
    std::vector<TDocStorage> storages;      // 0..2, in header order
    bool inShop = false;            // in_shopcode / in_shopname (a shop of the seller), after the first storage
    const char* totalField = nullptr;       // header total, or none
    const char* typeField = nullptr;        // a header text set by the operator ("adjusttype")
    const char* typeDefault = nullptr;      // its value when the operator sets none
    std::vector<const char*> headerTexts;   // more header texts the operator sets, each a list condition (equal)
    std::vector<TDocText> texts;            // header texts beyond those above; each a list condition (contains)
    std::vector<const char*> decimals;      // header amounts the operator types: 0 up to 99,999,999.99
    const char* auditedFlag = nullptr;      // a boolean header column answered true once audited ("issum")
    bool tickable = false;          // headers answer "ischeck" (false): the list's selection column
    const char* storedFlag = nullptr;       // a boolean header column the service keeps, answered as stored ("issend")
    // A kind's own refusal at save, after the engine's checks, over the operator's header fields.
    void (*saveCheck)(TContext& ctx, const QHash<QString, QString>& fields) = nullptr;
    EDocLevel level = EDocLevel::Product;
    const char* quantityField = nullptr;    // none: the lines change prices only
    bool zeroQuantity = false;      // a line may hold quantity 0 (a count sheet's "none counted")
    bool signedQuantity = false;    // a quantity may be negative (adjustments)
    std::vector<const char*> productPrices; // copied from the product (goods) when a line is placed
    std::vector<const char*> editable;      // decimal columns the operator types ("disprice", "newprice")
    std::vector<TDocText> lineTexts;        // line texts the operator (or the document's source) gives
    bool codeOptional = false;      // a line may name no product yet (a marketplace line not bound)
    // A boolean line column telling whether the line's goods move at all: a line without it
    // (money only) has no stock effect, one with it must name its product by the audit.
    const char* goodsFlag = nullptr;
    bool lineStock = false;         // lines answer `stocknum`, the product's stock over all storages
    const char* totalOf = nullptr;  // the total is the sum of this editable line column instead
    // Line amount = quantity × (amountPrice − amountDiscount); the total is their sum.
    const char* amountPrice = nullptr;
    const char* amountDiscount = nullptr;
    EDocStock stock = EDocStock::None;
    EDocPrices prices = EDocPrices::None;
    std::vector<TDocPriceSet> priceSets;    // EDocPrices::Set
};
