#pragma once
// What the product and the bundle dialogs share: the goods a product belongs to, picked or
// found by its typed code, filling the product's row; a colour or size picked from the
// property values.
#include <QString>

#include <initializer_list>
#include <optional>

class QWidget;
class TPClientDataSet;

// The goods picked from the goods not deleted, into `goods`.
bool KxPickGoods(QWidget* owner, TPClientDataSet* goods);
// The goods of the typed `code`, into `goods`; false when none was found.
bool KxLookupGoods(QWidget* owner, const QString& code, TPClientDataSet* goods);
// `row` takes the goods' `fields`, and the goods' name when it has no name yet.
void KxFillFromGoods(TPClientDataSet* row, TPClientDataSet* goods, std::initializer_list<const char*> fields);
// The name of a property value picked with the picker `module`; none when nothing was picked.
std::optional<QString> KxPickPropertyName(QWidget* owner, const QString& module);
