#include "Migrations.h"

// Every table but kx_schema_version belongs to one seller and leads with nickid; every key
// includes it. Flags are INTEGER 0/1, money NUMERIC(18,4), time stamps text
// "yyyy-MM-dd HH:mm:ss" except the session clock (seconds since the epoch).
const std::vector<TMigration>& KxMigrations()
{
    static const std::vector<TMigration> all = {
        {1, QStringLiteral("shell: sellers, shops, operators, modules, rights, navigation, sessions"), {
            "CREATE TABLE kx_nick (nickid TEXT NOT NULL PRIMARY KEY, masternick TEXT NOT NULL UNIQUE,"
            " nickname TEXT NOT NULL, title TEXT NOT NULL, helpurl TEXT NOT NULL, qqurl TEXT NOT NULL,"
            " created_at TEXT NOT NULL)",
            "CREATE TABLE kx_subnick (nickid TEXT NOT NULL, nick TEXT NOT NULL, seq INTEGER NOT NULL,"
            " PRIMARY KEY (nickid, nick))",
            "CREATE TABLE kx_package (nickid TEXT NOT NULL, libname TEXT NOT NULL, seq INTEGER NOT NULL,"
            " PRIMARY KEY (nickid, libname))",
            "CREATE TABLE kx_shop (nickid TEXT NOT NULL, shopcode TEXT NOT NULL, shopname TEXT NOT NULL,"
            " isuse INTEGER NOT NULL DEFAULT 1, md5_key TEXT, PRIMARY KEY (nickid, shopcode))",
            "CREATE TABLE kx_operator (nickid TEXT NOT NULL, operid TEXT NOT NULL, opername TEXT NOT NULL,"
            " pwhash TEXT NOT NULL, isuse INTEGER NOT NULL DEFAULT 1, md5_key TEXT,"
            " PRIMARY KEY (nickid, operid))",
            "CREATE TABLE kx_module (nickid TEXT NOT NULL, mod_id INTEGER NOT NULL, mod_name TEXT NOT NULL,"
            " moduleclass TEXT NOT NULL, moduletitle TEXT NOT NULL, modal INTEGER NOT NULL DEFAULT 0,"
            " ispublic INTEGER NOT NULL DEFAULT 0, defpower TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, mod_id), UNIQUE (nickid, mod_name))",
            // Method names and settings a module is given, in answer order. needright names the
            // right an operator must hold in the module to call the method a value names.
            "CREATE TABLE kx_module_param (nickid TEXT NOT NULL, mod_id INTEGER NOT NULL, seq INTEGER NOT NULL,"
            " name TEXT NOT NULL, value TEXT NOT NULL, ismethod INTEGER NOT NULL DEFAULT 0, needright TEXT NOT NULL DEFAULT '',"
            " PRIMARY KEY (nickid, mod_id, seq))",
            "CREATE INDEX kx_module_param_method ON kx_module_param (nickid, value, ismethod)",
            "CREATE TABLE kx_power (nickid TEXT NOT NULL, operid TEXT NOT NULL, mod_id INTEGER NOT NULL,"
            " isupdate INTEGER NOT NULL DEFAULT 0, isaudit INTEGER NOT NULL DEFAULT 0,"
            " issearch INTEGER NOT NULL DEFAULT 0, isprint INTEGER NOT NULL DEFAULT 0,"
            " isoutput INTEGER NOT NULL DEFAULT 0, iscolumn INTEGER NOT NULL DEFAULT 0,"
            " PRIMARY KEY (nickid, operid, mod_id))",
            "CREATE TABLE kx_menu (nickid TEXT NOT NULL, menu_id INTEGER NOT NULL, parent_id INTEGER NOT NULL,"
            " menu_title TEXT NOT NULL, mod_id INTEGER NOT NULL, seq INTEGER NOT NULL, PRIMARY KEY (nickid, menu_id))",
            "CREATE TABLE kx_nav (nickid TEXT NOT NULL, nav_id INTEGER NOT NULL, nav_name TEXT NOT NULL,"
            " seq INTEGER NOT NULL, PRIMARY KEY (nickid, nav_id))",
            "CREATE TABLE kx_nav_bar (nickid TEXT NOT NULL, bar_id INTEGER NOT NULL, nav_id INTEGER NOT NULL,"
            " bar_name TEXT NOT NULL, seq INTEGER NOT NULL, PRIMARY KEY (nickid, bar_id))",
            "CREATE TABLE kx_nav_but (nickid TEXT NOT NULL, but_id INTEGER NOT NULL, bar_id INTEGER NOT NULL,"
            " mod_id INTEGER NOT NULL, but_name TEXT NOT NULL, but_image TEXT NOT NULL, seq INTEGER NOT NULL,"
            " PRIMARY KEY (nickid, but_id))",
            "CREATE TABLE kx_start_but (nickid TEXT NOT NULL, seq INTEGER NOT NULL, but_name TEXT NOT NULL,"
            " mod_id INTEGER NOT NULL, but_image TEXT NOT NULL, PRIMARY KEY (nickid, seq))",
            "CREATE TABLE kx_session (nickid TEXT NOT NULL, operid TEXT NOT NULL, client_addr TEXT NOT NULL,"
            " shopcode TEXT NOT NULL, opened_at BIGINT NOT NULL, last_seen BIGINT NOT NULL,"
            " PRIMARY KEY (nickid, operid, client_addr))",
            // Document and code numbering, one row per seller and series.
            "CREATE TABLE kx_counter (nickid TEXT NOT NULL, name TEXT NOT NULL, value BIGINT NOT NULL,"
            " PRIMARY KEY (nickid, name))",
        }},
        {2, QStringLiteral("master data: storages, carriers, senders, brands, properties, categories, goods, products, stock, suppliers, member cards"), {
            "CREATE TABLE kx_storagetype (nickid TEXT NOT NULL, storagetype INTEGER NOT NULL, typename TEXT NOT NULL,"
            " PRIMARY KEY (nickid, storagetype))",
            "CREATE TABLE kx_storage (nickid TEXT NOT NULL, storageid TEXT NOT NULL, storagename TEXT NOT NULL,"
            " storagetype INTEGER NOT NULL, md5_key TEXT, PRIMARY KEY (nickid, storageid))",
            // Carrier companies the marketplace offers, and the ones the seller uses with its fee.
            "CREATE TABLE kx_logistics_company (nickid TEXT NOT NULL, logistics_code TEXT NOT NULL,"
            " logistics_name TEXT NOT NULL, PRIMARY KEY (nickid, logistics_code))",
            "CREATE TABLE kx_logistics (nickid TEXT NOT NULL, logistics_code TEXT NOT NULL, logistics_name TEXT NOT NULL,"
            " logistics_fee NUMERIC(18,4) NOT NULL DEFAULT 0, md5_key TEXT, PRIMARY KEY (nickid, logistics_code))",
            "CREATE TABLE kx_sendren (nickid TEXT NOT NULL, renid TEXT NOT NULL, sender_name TEXT NOT NULL,"
            " sender_address TEXT NOT NULL DEFAULT '', sender_zip TEXT NOT NULL DEFAULT '',"
            " sender_mobile TEXT NOT NULL DEFAULT '', sender_phone TEXT NOT NULL DEFAULT '',"
            " memo1 TEXT NOT NULL DEFAULT '', memo2 TEXT NOT NULL DEFAULT '', memo3 TEXT NOT NULL DEFAULT '',"
            " md5_key TEXT, PRIMARY KEY (nickid, renid))",
            "CREATE TABLE kx_brand (nickid TEXT NOT NULL, brand_id TEXT NOT NULL, brand_name TEXT NOT NULL,"
            " md5_key TEXT, PRIMARY KEY (nickid, brand_id))",
            // Property values; proptype 'color' or 'size'.
            "CREATE TABLE kx_prop (nickid TEXT NOT NULL, propid TEXT NOT NULL, proptype TEXT NOT NULL,"
            " propname TEXT NOT NULL, isuse INTEGER NOT NULL DEFAULT 1, md5_key TEXT, PRIMARY KEY (nickid, propid))",
            // Category trees; cattype 'goods', 'supplier' or 'vipcard'.
            "CREATE TABLE kx_category (nickid TEXT NOT NULL, catid INTEGER NOT NULL, parentid INTEGER NOT NULL,"
            " catname TEXT NOT NULL, cattype TEXT NOT NULL, seq INTEGER NOT NULL, PRIMARY KEY (nickid, catid))",
            "CREATE TABLE kx_goods (nickid TEXT NOT NULL, goodscode TEXT NOT NULL, goodsname TEXT NOT NULL,"
            " catid INTEGER NOT NULL, brand_id TEXT NOT NULL, propstyle TEXT NOT NULL DEFAULT '', unit TEXT NOT NULL DEFAULT '',"
            " costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " wholesale NUMERIC(18,4) NOT NULL DEFAULT 0, num_iid TEXT NOT NULL DEFAULT '', approve_status TEXT NOT NULL DEFAULT '',"
            " md5_key TEXT, PRIMARY KEY (nickid, goodscode))",
            "CREATE TABLE kx_commodity (nickid TEXT NOT NULL, commoditycode TEXT NOT NULL, goodscode TEXT NOT NULL,"
            " barcode TEXT NOT NULL, commodityname TEXT NOT NULL, propstyle TEXT NOT NULL DEFAULT '',"
            " propcolor TEXT NOT NULL DEFAULT '', propsize TEXT NOT NULL DEFAULT '',"
            " costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " wholesale NUMERIC(18,4) NOT NULL DEFAULT 0, minnum INTEGER NOT NULL DEFAULT 0, maxnum INTEGER NOT NULL DEFAULT 0,"
            " num_iid TEXT NOT NULL DEFAULT '', sku_id TEXT NOT NULL DEFAULT '',"
            " is_pack INTEGER NOT NULL DEFAULT 0, is_del INTEGER NOT NULL DEFAULT 0, md5_key TEXT,"
            " PRIMARY KEY (nickid, commoditycode))",
            "CREATE INDEX kx_commodity_goods ON kx_commodity (nickid, goodscode)",
            "CREATE TABLE kx_stock (nickid TEXT NOT NULL, storageid TEXT NOT NULL, commoditycode TEXT NOT NULL,"
            " stocknum INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (nickid, storageid, commoditycode))",
            "CREATE TABLE kx_supplier (nickid TEXT NOT NULL, suppliercode TEXT NOT NULL, suppliername TEXT NOT NULL,"
            " catid INTEGER NOT NULL DEFAULT 0, linkman TEXT NOT NULL DEFAULT '', phone TEXT NOT NULL DEFAULT '',"
            " address TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, md5_key TEXT,"
            " PRIMARY KEY (nickid, suppliercode))",
            "CREATE TABLE kx_vipcard (nickid TEXT NOT NULL, vipid TEXT NOT NULL, vipname TEXT NOT NULL,"
            " catid INTEGER NOT NULL DEFAULT 0, mobile TEXT NOT NULL DEFAULT '', discount NUMERIC(18,4) NOT NULL DEFAULT 1,"
            " is_use INTEGER NOT NULL DEFAULT 1, md5_key TEXT, PRIMARY KEY (nickid, vipid))",
        }},
        {3, QStringLiteral("marketplace simulator: items, SKUs, orders, refunds, events"), {
            "CREATE TABLE kx_mk_item (nickid TEXT NOT NULL, num_iid TEXT NOT NULL, title TEXT NOT NULL,"
            " outer_id TEXT NOT NULL, price NUMERIC(18,4) NOT NULL, num INTEGER NOT NULL,"
            " approve_status TEXT NOT NULL, cid TEXT NOT NULL, modified TEXT NOT NULL, PRIMARY KEY (nickid, num_iid))",
            "CREATE TABLE kx_mk_sku (nickid TEXT NOT NULL, sku_id TEXT NOT NULL, num_iid TEXT NOT NULL,"
            " outer_id TEXT NOT NULL, properties_name TEXT NOT NULL, price NUMERIC(18,4) NOT NULL,"
            " quantity INTEGER NOT NULL, PRIMARY KEY (nickid, sku_id))",
            "CREATE TABLE kx_mk_trade (nickid TEXT NOT NULL, tid TEXT NOT NULL, seller_nick TEXT NOT NULL,"
            " buyer_nick TEXT NOT NULL, status TEXT NOT NULL, created TEXT NOT NULL, modified TEXT NOT NULL,"
            " pay_time TEXT NOT NULL DEFAULT '', consign_time TEXT NOT NULL DEFAULT '', end_time TEXT NOT NULL DEFAULT '',"
            " receiver_name TEXT NOT NULL, receiver_state TEXT NOT NULL, receiver_city TEXT NOT NULL,"
            " receiver_district TEXT NOT NULL, receiver_address TEXT NOT NULL, receiver_zip TEXT NOT NULL,"
            " receiver_mobile TEXT NOT NULL, post_fee NUMERIC(18,4) NOT NULL, total_fee NUMERIC(18,4) NOT NULL,"
            " payment NUMERIC(18,4) NOT NULL, buyer_message TEXT NOT NULL DEFAULT '', seller_memo TEXT NOT NULL DEFAULT '',"
            " buyer_rate INTEGER NOT NULL DEFAULT 0, seller_rate INTEGER NOT NULL DEFAULT 0,"
            " company_code TEXT NOT NULL DEFAULT '', out_sid TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, tid))",
            "CREATE INDEX kx_mk_trade_modified ON kx_mk_trade (nickid, modified)",
            "CREATE TABLE kx_mk_order (nickid TEXT NOT NULL, oid TEXT NOT NULL, tid TEXT NOT NULL, num_iid TEXT NOT NULL,"
            " sku_id TEXT NOT NULL, outer_sku_id TEXT NOT NULL, title TEXT NOT NULL, sku_properties_name TEXT NOT NULL,"
            " num INTEGER NOT NULL, price NUMERIC(18,4) NOT NULL, total_fee NUMERIC(18,4) NOT NULL,"
            " status TEXT NOT NULL, refund_status TEXT NOT NULL DEFAULT 'NO_REFUND', PRIMARY KEY (nickid, oid))",
            "CREATE INDEX kx_mk_order_tid ON kx_mk_order (nickid, tid)",
            "CREATE TABLE kx_mk_refund (nickid TEXT NOT NULL, refund_id TEXT NOT NULL, tid TEXT NOT NULL, oid TEXT NOT NULL,"
            " buyer_nick TEXT NOT NULL, status TEXT NOT NULL, good_status TEXT NOT NULL, has_good_return INTEGER NOT NULL,"
            " refund_fee NUMERIC(18,4) NOT NULL, reason TEXT NOT NULL, created TEXT NOT NULL, modified TEXT NOT NULL,"
            " sid TEXT NOT NULL DEFAULT '', company_name TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, refund_id))",
            // What the seller did on the marketplace: shipments, ratings, listing changes, stock
            // and price pushes, refund decisions; kept in order for the seller and for tests.
            "CREATE TABLE kx_mk_event (nickid TEXT NOT NULL, seq BIGINT NOT NULL, kind TEXT NOT NULL,"
            " target TEXT NOT NULL, detail TEXT NOT NULL, created TEXT NOT NULL, PRIMARY KEY (nickid, seq))",
        }},
        {4, QStringLiteral("category records carry the row key their client made"), {
            "ALTER TABLE kx_category ADD COLUMN md5_key TEXT",
        }},
        {5, QStringLiteral("purchase receipts: headers, lines, and the stock ledger"), {
            // status 1 saved, 2 audited; md5_key is the row key the client made for the header.
            "CREATE TABLE kx_receive (nickid TEXT NOT NULL, receiveid TEXT NOT NULL, md5_key TEXT NOT NULL,"
            " shopcode TEXT NOT NULL DEFAULT '', suppliercode TEXT NOT NULL, suppliername TEXT NOT NULL DEFAULT '',"
            " storageid TEXT NOT NULL, receivemoney NUMERIC(18,4) NOT NULL DEFAULT 0, inputren TEXT NOT NULL DEFAULT '',"
            " inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '',"
            " status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '',"
            " PRIMARY KEY (nickid, receiveid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_receive_input ON kx_receive (nickid, inputtime)",
            // Lines carry their header's md5_key; a line is the header's number and seq.
            "CREATE TABLE kx_receive_line (nickid TEXT NOT NULL, receiveid TEXT NOT NULL, seq INTEGER NOT NULL,"
            " md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, receivenum NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " PRIMARY KEY (nickid, receiveid, seq))",
            // One row per stock movement of an audited document, numbered per seller.
            "CREATE TABLE kx_stock_ledger (nickid TEXT NOT NULL, seq BIGINT NOT NULL, created TEXT NOT NULL,"
            " operid TEXT NOT NULL, storageid TEXT NOT NULL, commoditycode TEXT NOT NULL, doctype TEXT NOT NULL,"
            " docid TEXT NOT NULL, docseq INTEGER NOT NULL, quantity BIGINT NOT NULL,"
            " costprice NUMERIC(18,4) NOT NULL DEFAULT 0, stockafter BIGINT NOT NULL, PRIMARY KEY (nickid, seq))",
            "CREATE INDEX kx_stock_ledger_item ON kx_stock_ledger (nickid, storageid, commoditycode)",
        }},
        {6, QStringLiteral("purchase receipts: an index in the list's order"), {
            // The list pages by the numbers alone from this index, number as the tie-break; it
            // also serves the date conditions, so the index on (nickid, inputtime) goes.
            "CREATE INDEX kx_receive_list ON kx_receive (nickid, inputtime, receiveid)",
            "DROP INDEX kx_receive_input",
        }},
        {7, QStringLiteral("stock and price documents: a table pair per kind, the ledger's posting key, the price history"), {
            // Each kind keeps its own header and line tables, shaped like the receipt's: status 1
            // saved, 2 audited; lines keyed by the header's number and seq, carrying its md5_key.
            "CREATE TABLE kx_output (nickid TEXT NOT NULL, outputid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', vipid TEXT NOT NULL DEFAULT '', vipname TEXT NOT NULL DEFAULT '', storageid TEXT NOT NULL DEFAULT '', outputmoney NUMERIC(18,4) NOT NULL DEFAULT 0, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, outputid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_output_list ON kx_output (nickid, inputtime, outputid)",
            "CREATE TABLE kx_output_line (nickid TEXT NOT NULL, outputid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, outputnum NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, disprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, outputid, seq))",
            "CREATE TABLE kx_whole (nickid TEXT NOT NULL, wholeid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', vipid TEXT NOT NULL DEFAULT '', vipname TEXT NOT NULL DEFAULT '', storageid TEXT NOT NULL DEFAULT '', wholemoney NUMERIC(18,4) NOT NULL DEFAULT 0, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, wholeid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_whole_list ON kx_whole (nickid, inputtime, wholeid)",
            "CREATE TABLE kx_whole_line (nickid TEXT NOT NULL, wholeid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, wholenum NUMERIC(18,4) NOT NULL DEFAULT 0, wholesale NUMERIC(18,4) NOT NULL DEFAULT 0, disprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, wholeid, seq))",
            "CREATE TABLE kx_result (nickid TEXT NOT NULL, resultid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', suppliercode TEXT NOT NULL DEFAULT '', suppliername TEXT NOT NULL DEFAULT '', storageid TEXT NOT NULL DEFAULT '', resultmoney NUMERIC(18,4) NOT NULL DEFAULT 0, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, resultid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_result_list ON kx_result (nickid, inputtime, resultid)",
            "CREATE TABLE kx_result_line (nickid TEXT NOT NULL, resultid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, resultnum NUMERIC(18,4) NOT NULL DEFAULT 0, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, resultid, seq))",
            "CREATE TABLE kx_allocate (nickid TEXT NOT NULL, allocateid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', out_storageid TEXT NOT NULL DEFAULT '', in_shopcode TEXT NOT NULL DEFAULT '', in_storageid TEXT NOT NULL DEFAULT '', inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, allocateid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_allocate_list ON kx_allocate (nickid, inputtime, allocateid)",
            "CREATE TABLE kx_allocate_line (nickid TEXT NOT NULL, allocateid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, allocatenum NUMERIC(18,4) NOT NULL DEFAULT 0, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, allocateid, seq))",
            "CREATE TABLE kx_adjust (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', storageid TEXT NOT NULL DEFAULT '', adjusttype TEXT NOT NULL DEFAULT '', inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, adjustid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_adjust_list ON kx_adjust (nickid, inputtime, adjustid)",
            "CREATE TABLE kx_adjust_line (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, adjustnum NUMERIC(18,4) NOT NULL DEFAULT 0, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, adjustid, seq))",
            "CREATE TABLE kx_adjustcost (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, md5_key TEXT NOT NULL, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, adjustid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_adjustcost_list ON kx_adjustcost (nickid, inputtime, adjustid)",
            "CREATE TABLE kx_adjustcost_line (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, goodscode TEXT NOT NULL, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, newprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, adjustid, seq))",
            "CREATE TABLE kx_adjustprice (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, md5_key TEXT NOT NULL, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, adjustid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_adjustprice_list ON kx_adjustprice (nickid, inputtime, adjustid)",
            "CREATE TABLE kx_adjustprice_line (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, goodscode TEXT NOT NULL, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, wholesale NUMERIC(18,4) NOT NULL DEFAULT 0, newprice NUMERIC(18,4) NOT NULL DEFAULT 0, newwhole NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, adjustid, seq))",
            "CREATE TABLE kx_adjustitemcost (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, md5_key TEXT NOT NULL, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, adjustid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_adjustitemcost_list ON kx_adjustitemcost (nickid, inputtime, adjustid)",
            "CREATE TABLE kx_adjustitemcost_line (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, newprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, adjustid, seq))",
            "CREATE TABLE kx_adjustitemprice (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, md5_key TEXT NOT NULL, inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, adjustid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_adjustitemprice_list ON kx_adjustitemprice (nickid, inputtime, adjustid)",
            "CREATE TABLE kx_adjustitemprice_line (nickid TEXT NOT NULL, adjustid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, wholesale NUMERIC(18,4) NOT NULL DEFAULT 0, newprice NUMERIC(18,4) NOT NULL DEFAULT 0, newwhole NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, adjustid, seq))",
            // A line of a document posts to a storage once: a second posting is refused here,
            // whatever the code above it does.
            "CREATE UNIQUE INDEX kx_stock_ledger_post ON kx_stock_ledger (nickid, doctype, docid, docseq, storageid)",
            // One row per price an audit changed; target 'goods' or 'commodity'.
            "CREATE TABLE kx_price_history (nickid TEXT NOT NULL, seq BIGINT NOT NULL, created TEXT NOT NULL, operid TEXT NOT NULL,"
            " doctype TEXT NOT NULL, docid TEXT NOT NULL, docseq INTEGER NOT NULL, target TEXT NOT NULL, code TEXT NOT NULL,"
            " field TEXT NOT NULL, oldvalue NUMERIC(18,4) NOT NULL, newvalue NUMERIC(18,4) NOT NULL, PRIMARY KEY (nickid, seq))",
            "CREATE INDEX kx_price_history_item ON kx_price_history (nickid, target, code)",
        }},
        {8, QStringLiteral("operator sessions by key; failed logins"), {
            // A session is found by the hash of its key, not by the client's address; the
            // sessions of the old form cannot be used by any client and go.
            "DROP TABLE kx_session",
            "CREATE TABLE kx_session (nickid TEXT NOT NULL, keyhash TEXT NOT NULL, operid TEXT NOT NULL,"
            " shopcode TEXT NOT NULL, client_addr TEXT NOT NULL, opened_at BIGINT NOT NULL, last_seen BIGINT NOT NULL,"
            " PRIMARY KEY (nickid, keyhash))",
            "CREATE INDEX kx_session_oper ON kx_session (nickid, operid)",
            // Failed logins per operator ('oper:' + operid) and per client address ('addr:' +
            // address), in milliseconds since the epoch. Deleting a row lifts its lock.
            "CREATE TABLE kx_login_guard (nickid TEXT NOT NULL, subject TEXT NOT NULL, failures INTEGER NOT NULL,"
            " last_failure BIGINT NOT NULL, locked_until BIGINT NOT NULL, PRIMARY KEY (nickid, subject))",
        }},
        {9, QStringLiteral("stocktake: batches, freezes with their book stock, count sheets, the difference list"), {
            // status 0 new, 1 effective (a storage is frozen for it), 2 finished.
            "CREATE TABLE kx_checkbatch (nickid TEXT NOT NULL, checkcode TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', checktime TEXT NOT NULL DEFAULT '', memo TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 0, createren TEXT NOT NULL DEFAULT '', createtime TEXT NOT NULL DEFAULT '', finishren TEXT NOT NULL DEFAULT '', finishtime TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, checkcode), UNIQUE (nickid, md5_key))",
            "CREATE TABLE kx_checkfroze (nickid TEXT NOT NULL, checkcode TEXT NOT NULL, storageid TEXT NOT NULL, frozeren TEXT NOT NULL DEFAULT '', frozetime TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, checkcode, storageid))",
            "CREATE INDEX kx_checkfroze_storage ON kx_checkfroze (nickid, storageid)",
            // The book stock and unit prices of every product of a storage at its freeze.
            "CREATE TABLE kx_checkstock (nickid TEXT NOT NULL, checkcode TEXT NOT NULL, storageid TEXT NOT NULL, commoditycode TEXT NOT NULL, stocknum BIGINT NOT NULL DEFAULT 0, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, checkcode, storageid, commoditycode))",
            "CREATE TABLE kx_check (nickid TEXT NOT NULL, checkid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '', storageid TEXT NOT NULL DEFAULT '', checkcode TEXT NOT NULL DEFAULT '', rackcode TEXT NOT NULL DEFAULT '', inputren TEXT NOT NULL DEFAULT '', inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '', status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, checkid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_check_list ON kx_check (nickid, inputtime, checkid)",
            "CREATE INDEX kx_check_batch ON kx_check (nickid, checkcode, status)",
            "CREATE TABLE kx_check_line (nickid TEXT NOT NULL, checkid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL, commoditycode TEXT NOT NULL, checknum NUMERIC(18,4) NOT NULL DEFAULT 0, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, PRIMARY KEY (nickid, checkid, seq))",
            // One row per product and storage of a batch: counted (summarized sheets), frozen
            // book stock, what the batch's adjustments already posted, the frozen unit prices.
            "CREATE TABLE kx_checkdiff (nickid TEXT NOT NULL, checkcode TEXT NOT NULL, storageid TEXT NOT NULL, commoditycode TEXT NOT NULL, md5_key TEXT NOT NULL, checknum BIGINT NOT NULL DEFAULT 0, stocknum BIGINT NOT NULL DEFAULT 0, adjnum BIGINT NOT NULL DEFAULT 0, costprice NUMERIC(18,4) NOT NULL DEFAULT 0, saleprice NUMERIC(18,4) NOT NULL DEFAULT 0, status INTEGER NOT NULL DEFAULT 0, adjmark TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, checkcode, storageid, commoditycode))",
            "ALTER TABLE kx_adjust ADD COLUMN checkcode TEXT NOT NULL DEFAULT ''",
        }},
        {10, QStringLiteral("marketplace orders in the seller's books, SKU bindings, download cursors, the marketplace clock"), {
            // The marketplace's own order fields the books keep, its clock and COD data.
            "ALTER TABLE kx_mk_trade ADD COLUMN trade_type TEXT NOT NULL DEFAULT 'fixed'",
            "ALTER TABLE kx_mk_trade ADD COLUMN cod_status TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_mk_trade ADD COLUMN cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0",
            "ALTER TABLE kx_mk_trade ADD COLUMN buyer_email TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_mk_trade ADD COLUMN receiver_phone TEXT NOT NULL DEFAULT ''",
            // Simulated time: the real clock plus offset_secs, so tests and the demo can move it.
            "CREATE TABLE kx_mk_clock (nickid TEXT NOT NULL PRIMARY KEY, offset_secs BIGINT NOT NULL)",
            // Downloaded orders. dbstatus is ours (NOT_PICKING, PICKINGED); refund 1 while a
            // line has a refund running; everything else is the marketplace's, updated on download.
            "CREATE TABLE kx_trade (nickid TEXT NOT NULL, tid TEXT NOT NULL, seller_nick TEXT NOT NULL, buyer_nick TEXT NOT NULL,"
            " trade_type TEXT NOT NULL DEFAULT '', status TEXT NOT NULL, cod_status TEXT NOT NULL DEFAULT '',"
            " cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0, seller_cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " buyer_cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0, payment NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " adjust_fee NUMERIC(18,4) NOT NULL DEFAULT 0, discount_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " post_fee NUMERIC(18,4) NOT NULL DEFAULT 0, created TEXT NOT NULL, modified TEXT NOT NULL,"
            " pay_time TEXT NOT NULL DEFAULT '', end_time TEXT NOT NULL DEFAULT '', buyer_area TEXT NOT NULL DEFAULT '',"
            " buyer_email TEXT NOT NULL DEFAULT '', seller_rate INTEGER NOT NULL DEFAULT 0, seller_can_rate INTEGER NOT NULL DEFAULT 0,"
            " receiver_name TEXT NOT NULL DEFAULT '', receiver_state TEXT NOT NULL DEFAULT '', receiver_city TEXT NOT NULL DEFAULT '',"
            " receiver_district TEXT NOT NULL DEFAULT '', address TEXT NOT NULL DEFAULT '', receiver_zip TEXT NOT NULL DEFAULT '',"
            " receiver_mobile TEXT NOT NULL DEFAULT '', receiver_phone TEXT NOT NULL DEFAULT '', buyer_message TEXT NOT NULL DEFAULT '',"
            " seller_memo TEXT NOT NULL DEFAULT '', dbstatus TEXT NOT NULL DEFAULT 'NOT_PICKING', refund INTEGER NOT NULL DEFAULT 0,"
            " downloaded TEXT NOT NULL, PRIMARY KEY (nickid, tid))",
            // The list pages newest first from this index, number as the tie-break.
            "CREATE INDEX kx_trade_list ON kx_trade (nickid, created, tid)",
            // A download pages an account's changes in (modified, tid) order; an order's lines
            // find their refunds; a line finds the product that carries its SKU, and its stock.
            "CREATE INDEX kx_mk_trade_changes ON kx_mk_trade (nickid, seller_nick, modified, tid)",
            "CREATE INDEX kx_mk_refund_oid ON kx_mk_refund (nickid, oid)",
            "CREATE INDEX kx_commodity_sku ON kx_commodity (nickid, num_iid, sku_id, commoditycode)",
            "CREATE INDEX kx_mk_order_lines ON kx_mk_order (nickid, tid, oid)",
            "CREATE INDEX kx_stock_item ON kx_stock (nickid, commoditycode)",
            "CREATE TABLE kx_trade_order (nickid TEXT NOT NULL, oid TEXT NOT NULL, tid TEXT NOT NULL, num_iid TEXT NOT NULL DEFAULT '',"
            " sku_id TEXT NOT NULL DEFAULT '', sku_properties_name TEXT NOT NULL DEFAULT '', title TEXT NOT NULL DEFAULT '',"
            " price NUMERIC(18,4) NOT NULL DEFAULT 0, num INTEGER NOT NULL DEFAULT 0, total_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " payment NUMERIC(18,4) NOT NULL DEFAULT 0, discount_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " adjust_fee NUMERIC(18,4) NOT NULL DEFAULT 0, commoditycode TEXT NOT NULL DEFAULT '', status TEXT NOT NULL DEFAULT '',"
            " refund_status TEXT NOT NULL DEFAULT 'NO_REFUND', refund_id TEXT NOT NULL DEFAULT '', end_time TEXT NOT NULL DEFAULT '',"
            " outer_id TEXT NOT NULL DEFAULT '', pic_path TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, oid))",
            "CREATE INDEX kx_trade_order_tid ON kx_trade_order (nickid, tid, oid)",
            // A marketplace SKU bound by an operator to one of the seller's products; later
            // orders of the same SKU come bound.
            "CREATE TABLE kx_sku_bind (nickid TEXT NOT NULL, num_iid TEXT NOT NULL, sku_id TEXT NOT NULL,"
            " commoditycode TEXT NOT NULL, operid TEXT NOT NULL, bound_at TEXT NOT NULL, PRIMARY KEY (nickid, num_iid, sku_id))",
            // Incremental downloads per shop account, order state and time window: done_until is
            // the marketplace time up to which changes are in the books; a running download pages
            // by (run_modified, run_tid) up to run_until and commits it when its last page is in.
            "CREATE TABLE kx_trade_sync (nickid TEXT NOT NULL, seller_nick TEXT NOT NULL, status TEXT NOT NULL, daynum INTEGER NOT NULL,"
            " done_until TEXT NOT NULL DEFAULT '', run_until TEXT NOT NULL DEFAULT '', run_modified TEXT NOT NULL DEFAULT '',"
            " run_tid TEXT NOT NULL DEFAULT '', run_from TEXT NOT NULL DEFAULT '', run_total INTEGER NOT NULL DEFAULT 0,"
            " run_page INTEGER NOT NULL DEFAULT 0, run_size INTEGER NOT NULL DEFAULT 0,"
            " PRIMARY KEY (nickid, seller_nick, status, daynum))",
        }},
        {11, QStringLiteral("picking lists: consignee, carrier and amounts on the header, the marketplace order lines they pick"), {
            "CREATE TABLE kx_picking (nickid TEXT NOT NULL, pickingid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '',"
            " storageid TEXT NOT NULL DEFAULT '', pickingmoney NUMERIC(18,4) NOT NULL DEFAULT 0, inputren TEXT NOT NULL DEFAULT '',"
            " inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '',"
            " status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', buyer_nick TEXT NOT NULL DEFAULT '',"
            " seller_nick TEXT NOT NULL DEFAULT '', receiver_name TEXT NOT NULL DEFAULT '', receiver_state TEXT NOT NULL DEFAULT '',"
            " receiver_city TEXT NOT NULL DEFAULT '', receiver_district TEXT NOT NULL DEFAULT '', receiver_address TEXT NOT NULL DEFAULT '',"
            " receiver_zip TEXT NOT NULL DEFAULT '', receiver_mobile TEXT NOT NULL DEFAULT '', receiver_phone TEXT NOT NULL DEFAULT '',"
            " buyer_email TEXT NOT NULL DEFAULT '', buyer_message TEXT NOT NULL DEFAULT '', seller_memo TEXT NOT NULL DEFAULT '',"
            " company_code TEXT NOT NULL DEFAULT '', out_sid TEXT NOT NULL DEFAULT '', cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " seller_cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0, buyer_cod_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " out_fee NUMERIC(18,4) NOT NULL DEFAULT 0, post_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " PRIMARY KEY (nickid, pickingid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_picking_list ON kx_picking (nickid, inputtime, pickingid)",
            // commoditycode stays empty on a line whose marketplace SKU is not bound yet.
            "CREATE TABLE kx_picking_line (nickid TEXT NOT NULL, pickingid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL,"
            " commoditycode TEXT NOT NULL DEFAULT '', num NUMERIC(18,4) NOT NULL DEFAULT 0, price NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " total_fee NUMERIC(18,4) NOT NULL DEFAULT 0, tid TEXT NOT NULL DEFAULT '', oid TEXT NOT NULL DEFAULT '',"
            " title TEXT NOT NULL DEFAULT '', num_iid TEXT NOT NULL DEFAULT '', sku_id TEXT NOT NULL DEFAULT '',"
            " sku_properties_name TEXT NOT NULL DEFAULT '', seller_nick TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, pickingid, seq))",
            // The picking lists an order went into.
            "CREATE INDEX kx_picking_line_tid ON kx_picking_line (nickid, tid)",
        }},
        {12, QStringLiteral("sellers can be disabled"), {
            "ALTER TABLE kx_nick ADD COLUMN isuse INTEGER NOT NULL DEFAULT 1",
        }},
        {13, QStringLiteral("the order list's conditions of state, own state and buyer served by indexes in list order"), {
            "CREATE INDEX kx_trade_status ON kx_trade (nickid, status, created, tid)",
            "CREATE INDEX kx_trade_dbstatus ON kx_trade (nickid, dbstatus, created, tid)",
            "CREATE INDEX kx_trade_buyer ON kx_trade (nickid, buyer_nick, created, tid)",
        }},
        {14, QStringLiteral("the live marketplace: where its buyers stand and what they are going to do"), {
            // A seller whose marketplace lives: its seed, the main account's orders a day, and
            // the marketplace time up to which orders have arrived and buyers have acted.
            "CREATE TABLE kx_mk_live (nickid TEXT NOT NULL PRIMARY KEY, seed BIGINT NOT NULL, per_day INTEGER NOT NULL,"
            " live_until TEXT NOT NULL)",
            // A buyer's next step on an order (pay, close, refund, confirm, return), due at a
            // marketplace time; detail carries what the step needs.
            "CREATE TABLE kx_mk_due (nickid TEXT NOT NULL, tid TEXT NOT NULL, action TEXT NOT NULL, due_at TEXT NOT NULL,"
            " detail TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, tid, action))",
            "CREATE INDEX kx_mk_due_at ON kx_mk_due (nickid, due_at)",
            // The marketplace time up to which changes were last listed: a later change of the
            // seller is stamped after it.
            "ALTER TABLE kx_mk_clock ADD COLUMN served_until TEXT NOT NULL DEFAULT ''",
        }},
        {15, QStringLiteral("goods, products, SKU mappings and bundles as their windows keep them; the marketplace's categories and item details"), {
            // Goods: norms, remark, deleted mark; the unit and the stock limits under the names
            // the windows use.
            "ALTER TABLE kx_goods ADD COLUMN norms TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_goods ADD COLUMN memo TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_goods ADD COLUMN is_del INTEGER NOT NULL DEFAULT 0",
            "ALTER TABLE kx_goods RENAME COLUMN unit TO units",
            "CREATE INDEX kx_goods_item ON kx_goods (nickid, num_iid)",
            "ALTER TABLE kx_commodity RENAME COLUMN minnum TO minstock",
            "ALTER TABLE kx_commodity RENAME COLUMN maxnum TO maxstock",
            // kx_sku_bind is the one mapping of marketplace SKUs to products: what the product
            // rows said goes there, and they no longer say it.
            "ALTER TABLE kx_sku_bind ADD COLUMN nick TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_sku_bind ADD COLUMN title TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_sku_bind ADD COLUMN sku_properties_name TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_sku_bind ADD COLUMN pic_path TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_sku_bind ADD COLUMN md5_key TEXT NOT NULL DEFAULT ''",
            "INSERT INTO kx_sku_bind (nickid, num_iid, sku_id, commoditycode, operid, bound_at)"
            " SELECT nickid, num_iid, sku_id, MIN(commoditycode), '', '' FROM kx_commodity WHERE num_iid <> '' AND sku_id <> '' AND is_del = 0"
            " GROUP BY nickid, num_iid, sku_id ON CONFLICT (nickid, num_iid, sku_id) DO NOTHING",
            "DROP INDEX kx_commodity_sku",
            "ALTER TABLE kx_commodity DROP COLUMN num_iid",
            "ALTER TABLE kx_commodity DROP COLUMN sku_id",
            "CREATE INDEX kx_sku_bind_commodity ON kx_sku_bind (nickid, commoditycode)",
            "CREATE INDEX kx_commodity_barcode ON kx_commodity (nickid, barcode)",
            // What a product is used by, found by product.
            "CREATE INDEX kx_trade_order_commodity ON kx_trade_order (nickid, commoditycode)",
            // Bundle components; salerate and wholerate are the component's share of the
            // bundle's sale and wholesale price.
            "CREATE TABLE kx_pack (nickid TEXT NOT NULL, commoditycode TEXT NOT NULL, subcommoditycode TEXT NOT NULL,"
            " num NUMERIC(18,4) NOT NULL DEFAULT 1, salerate NUMERIC(18,4) NOT NULL DEFAULT 0, wholerate NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " md5_key TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, commoditycode, subcommoditycode))",
            "CREATE INDEX kx_pack_sub ON kx_pack (nickid, subcommoditycode)",
            // A goods category downloaded from the marketplace remembers the marketplace's id.
            "ALTER TABLE kx_category ADD COLUMN cid TEXT NOT NULL DEFAULT ''",
            // The marketplace: the shop's categories, and items with pictures; SKUs with their colour and size.
            "CREATE TABLE kx_mk_category (nickid TEXT NOT NULL, cid TEXT NOT NULL, parent_cid TEXT NOT NULL, name TEXT NOT NULL,"
            " sort_order INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (nickid, cid))",
            "ALTER TABLE kx_mk_item ADD COLUMN pic_url TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_mk_sku ADD COLUMN color TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_mk_sku ADD COLUMN size TEXT NOT NULL DEFAULT ''",
            "CREATE INDEX kx_mk_item_changes ON kx_mk_item (nickid, approve_status, modified, num_iid)",
            "CREATE INDEX kx_mk_sku_item ON kx_mk_sku (nickid, num_iid)",
            // The SKUs of the downloaded goods, as the marketplace listed them at the last download.
            "CREATE TABLE kx_goods_sku (nickid TEXT NOT NULL, num_iid TEXT NOT NULL, sku_id TEXT NOT NULL, goodscode TEXT NOT NULL,"
            " outer_id TEXT NOT NULL DEFAULT '', properties_name TEXT NOT NULL DEFAULT '', propcolor TEXT NOT NULL DEFAULT '',"
            " propsize TEXT NOT NULL DEFAULT '', price NUMERIC(18,4) NOT NULL DEFAULT 0, quantity INTEGER NOT NULL DEFAULT 0,"
            " PRIMARY KEY (nickid, num_iid, sku_id))",
            // Goods downloads per shop account and item state, run by run as the order downloads.
            "CREATE TABLE kx_goods_sync (nickid TEXT NOT NULL, seller_nick TEXT NOT NULL, status TEXT NOT NULL,"
            " done_until TEXT NOT NULL DEFAULT '', run_until TEXT NOT NULL DEFAULT '', run_modified TEXT NOT NULL DEFAULT '',"
            " run_iid TEXT NOT NULL DEFAULT '', run_total INTEGER NOT NULL DEFAULT 0, run_page INTEGER NOT NULL DEFAULT 0,"
            " run_size INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (nickid, seller_nick, status))",
            // A bundle line posts one ledger row per component.
            "DROP INDEX kx_stock_ledger_post",
            "CREATE UNIQUE INDEX kx_stock_ledger_post ON kx_stock_ledger (nickid, doctype, docid, docseq, storageid, commoditycode)",
        }},
        {16, QStringLiteral("shipping: a picking list reported shipped, and no waybill number twice for one carrier"), {
            "ALTER TABLE kx_picking ADD COLUMN issend INTEGER NOT NULL DEFAULT 0",
            "ALTER TABLE kx_picking ADD COLUMN sendtime TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_picking ADD COLUMN sendren TEXT NOT NULL DEFAULT ''",
            // Two parcels under one number would be one parcel to the carrier.
            "CREATE UNIQUE INDEX kx_picking_waybill ON kx_picking (nickid, company_code, out_sid) WHERE out_sid <> ''",
        }},
        {17, QStringLiteral("waybill templates and their files, kept at the service for every workstation"), {
            "CREATE TABLE kx_express (nickid TEXT NOT NULL, express_id TEXT NOT NULL, express_name TEXT NOT NULL,"
            " express_file TEXT NOT NULL, logistics_code TEXT NOT NULL DEFAULT '', is_use INTEGER NOT NULL DEFAULT 1,"
            " md5_key TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, express_id), UNIQUE (nickid, express_file))",
            // A file of a template: its layout (des) or its printable report (ref), in Base64.
            "CREATE TABLE kx_express_file (nickid TEXT NOT NULL, express_file TEXT NOT NULL, ext TEXT NOT NULL,"
            " content TEXT NOT NULL, md5 TEXT NOT NULL, PRIMARY KEY (nickid, express_file, ext))",
        }},
        {18, QStringLiteral("refunds: the marketplace's refund requests in the books, their downloads, and return receipts"), {
            // The marketplace: what the buyer wrote, customer service's state, and the seller's
            // (or, while goods are on their way back, the buyer's) deadline.
            "ALTER TABLE kx_mk_refund ADD COLUMN desc1 TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_mk_refund ADD COLUMN cs_status TEXT NOT NULL DEFAULT '1'",
            "ALTER TABLE kx_mk_refund ADD COLUMN timeout TEXT NOT NULL DEFAULT ''",
            "CREATE INDEX kx_mk_refund_changes ON kx_mk_refund (nickid, modified, refund_id)",
            // One row per downloaded refund: the marketplace's fields and the order line's, plus
            // ours: dbstatus (NOT_REFUNDING until a return receipt is made of it, REFUNDINGED
            // after) and the receipt's number.
            "CREATE TABLE kx_refund (nickid TEXT NOT NULL, refund_id TEXT NOT NULL, tid TEXT NOT NULL DEFAULT '',"
            " oid TEXT NOT NULL DEFAULT '', num_iid TEXT NOT NULL DEFAULT '', sku_id TEXT NOT NULL DEFAULT '',"
            " sku_properties_name TEXT NOT NULL DEFAULT '', title TEXT NOT NULL DEFAULT '', pic_path TEXT NOT NULL DEFAULT '',"
            " commoditycode TEXT NOT NULL DEFAULT '', num INTEGER NOT NULL DEFAULT 0, total_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " payment NUMERIC(18,4) NOT NULL DEFAULT 0, refund_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " has_good_return INTEGER NOT NULL DEFAULT 0, status TEXT NOT NULL DEFAULT '', order_status TEXT NOT NULL DEFAULT '',"
            " good_status TEXT NOT NULL DEFAULT '', cs_status TEXT NOT NULL DEFAULT '', seller_nick TEXT NOT NULL DEFAULT '',"
            " buyer_nick TEXT NOT NULL DEFAULT '', created TEXT NOT NULL DEFAULT '', modified TEXT NOT NULL DEFAULT '',"
            " timeout TEXT NOT NULL DEFAULT '', company_name TEXT NOT NULL DEFAULT '', sid TEXT NOT NULL DEFAULT '',"
            " reason TEXT NOT NULL DEFAULT '', desc1 TEXT NOT NULL DEFAULT '', dbstatus TEXT NOT NULL DEFAULT 'NOT_REFUNDING',"
            " refundingid TEXT NOT NULL DEFAULT '', downloaded TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, refund_id))",
            "CREATE INDEX kx_refund_list ON kx_refund (nickid, created, refund_id)",
            "CREATE INDEX kx_refund_status ON kx_refund (nickid, status, created, refund_id)",
            "CREATE INDEX kx_refund_oid ON kx_refund (nickid, oid)",
            // Refund downloads per shop account, state and window, run by run as the order downloads.
            "CREATE TABLE kx_refund_sync (nickid TEXT NOT NULL, seller_nick TEXT NOT NULL, status TEXT NOT NULL, daynum INTEGER NOT NULL,"
            " done_until TEXT NOT NULL DEFAULT '', run_until TEXT NOT NULL DEFAULT '', run_modified TEXT NOT NULL DEFAULT '',"
            " run_key TEXT NOT NULL DEFAULT '', run_from TEXT NOT NULL DEFAULT '', run_total INTEGER NOT NULL DEFAULT 0,"
            " run_page INTEGER NOT NULL DEFAULT 0, run_size INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (nickid, seller_nick, status, daynum))",
            // Return receipts: the refunds' buyer and shop account on the header, the refunded
            // items on the lines; has_good_return tells a line whose goods come back.
            "CREATE TABLE kx_refunding (nickid TEXT NOT NULL, refundingid TEXT NOT NULL, md5_key TEXT NOT NULL, shopcode TEXT NOT NULL DEFAULT '',"
            " storageid TEXT NOT NULL DEFAULT '', refundingmoney NUMERIC(18,4) NOT NULL DEFAULT 0, inputren TEXT NOT NULL DEFAULT '',"
            " inputtime TEXT NOT NULL DEFAULT '', auditren TEXT NOT NULL DEFAULT '', audittime TEXT NOT NULL DEFAULT '',"
            " status INTEGER NOT NULL DEFAULT 1, memo TEXT NOT NULL DEFAULT '', buyer_nick TEXT NOT NULL DEFAULT '',"
            " seller_nick TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, refundingid), UNIQUE (nickid, md5_key))",
            "CREATE INDEX kx_refunding_list ON kx_refunding (nickid, inputtime, refundingid)",
            "CREATE TABLE kx_refunding_line (nickid TEXT NOT NULL, refundingid TEXT NOT NULL, seq INTEGER NOT NULL, md5_key TEXT NOT NULL,"
            " commoditycode TEXT NOT NULL DEFAULT '', num NUMERIC(18,4) NOT NULL DEFAULT 0, total_fee NUMERIC(18,4) NOT NULL DEFAULT 0,"
            " refund_fee NUMERIC(18,4) NOT NULL DEFAULT 0, refund_id TEXT NOT NULL DEFAULT '', title TEXT NOT NULL DEFAULT '',"
            " num_iid TEXT NOT NULL DEFAULT '', sku_id TEXT NOT NULL DEFAULT '', sku_properties_name TEXT NOT NULL DEFAULT '',"
            " seller_nick TEXT NOT NULL DEFAULT '', has_good_return INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (nickid, refundingid, seq))",
            "CREATE INDEX kx_refunding_line_refund ON kx_refunding_line (nickid, refund_id)",
        }},
        {19, QStringLiteral("the goods each supplier delivers; member cards with their holder's details"), {
            "CREATE TABLE kx_supplier_goods (nickid TEXT NOT NULL, suppliercode TEXT NOT NULL, goodscode TEXT NOT NULL,"
            " md5_key TEXT, PRIMARY KEY (nickid, suppliercode, goodscode))",
            "CREATE INDEX kx_supplier_goods_goods ON kx_supplier_goods (nickid, goodscode)",
            // The card's mobile number is its phone.
            "ALTER TABLE kx_vipcard RENAME COLUMN mobile TO phone",
            "ALTER TABLE kx_vipcard ADD COLUMN sex TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_vipcard ADD COLUMN birthday TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_vipcard ADD COLUMN inentno TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_vipcard ADD COLUMN tel TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_vipcard ADD COLUMN address TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_vipcard ADD COLUMN email TEXT NOT NULL DEFAULT ''",
            "ALTER TABLE kx_vipcard ADD COLUMN memo TEXT NOT NULL DEFAULT ''",
        }},
        {20, QStringLiteral("the home tab's work queues counted from indexes alone"), {
            "CREATE INDEX kx_trade_waiting ON kx_trade (nickid, dbstatus, refund, status)",
            "CREATE INDEX kx_picking_waiting ON kx_picking (nickid, status, issend, shopcode)",
            "CREATE INDEX kx_refund_waiting ON kx_refund (nickid, status, timeout)",
            "CREATE INDEX kx_commodity_minstock ON kx_commodity (nickid, minstock)",
            "CREATE INDEX kx_receive_waiting ON kx_receive (nickid, status, inputtime)",
            "CREATE INDEX kx_output_waiting ON kx_output (nickid, status, inputtime)",
            "CREATE INDEX kx_whole_waiting ON kx_whole (nickid, status, inputtime)",
            "CREATE INDEX kx_result_waiting ON kx_result (nickid, status, inputtime)",
            "CREATE INDEX kx_allocate_waiting ON kx_allocate (nickid, status, inputtime)",
            "CREATE INDEX kx_adjust_waiting ON kx_adjust (nickid, status, inputtime)",
            "CREATE INDEX kx_adjustcost_waiting ON kx_adjustcost (nickid, status, inputtime)",
            "CREATE INDEX kx_adjustprice_waiting ON kx_adjustprice (nickid, status, inputtime)",
            "CREATE INDEX kx_adjustitemcost_waiting ON kx_adjustitemcost (nickid, status, inputtime)",
            "CREATE INDEX kx_adjustitemprice_waiting ON kx_adjustitemprice (nickid, status, inputtime)",
            "CREATE INDEX kx_refunding_waiting ON kx_refunding (nickid, status, inputtime)",
        }},
        {21, QStringLiteral("the history of every document and master record"), {
            // One row per save, audit or delete of a record; its changes below it. Read newest
            // first per record, page by page.
            "CREATE TABLE kx_history (nickid TEXT NOT NULL, histid BIGINT NOT NULL, tablename TEXT NOT NULL, recordkey TEXT NOT NULL,"
            " action TEXT NOT NULL, operid TEXT NOT NULL DEFAULT '', opername TEXT NOT NULL DEFAULT '', client TEXT NOT NULL DEFAULT '',"
            " created TEXT NOT NULL, changes INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (nickid, histid))",
            "CREATE INDEX kx_history_record ON kx_history (nickid, tablename, recordkey, histid)",
            // line 0: the header or master row; kind A added, C changed, R removed (a whole line).
            "CREATE TABLE kx_history_change (nickid TEXT NOT NULL, histid BIGINT NOT NULL, n INTEGER NOT NULL, line INTEGER NOT NULL DEFAULT 0,"
            " item TEXT NOT NULL DEFAULT '', kind TEXT NOT NULL, field TEXT NOT NULL DEFAULT '', caption TEXT NOT NULL DEFAULT '',"
            " oldvalue TEXT NOT NULL DEFAULT '', newvalue TEXT NOT NULL DEFAULT '', PRIMARY KEY (nickid, histid, n))",
        }},
    };
    return all;
}

int KxNewestSchemaVersion()
{
    return KxMigrations().back().version;
}
