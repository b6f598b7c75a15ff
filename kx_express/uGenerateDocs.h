#pragma once
// What the windows that turn marketplace documents into the system's own share: the dialog
// asking for the storage and whether to merge, the one save of the marks and the new
// documents, and opening the list of the documents made.
#include "ufrmBase.h"

#include <QSet>

#include <functional>

class QButtonGroup;
class QComboBox;
class QRadioButton;
class TPClientDataSet;

// The dialog's texts; the two choices hold "%1" for their counts.
struct TKxGenerateTexts {
    QString title;          // "生成拣货单"
    QString storageCaption; // "拣货发货仓库："
    QString groupCaption;   // "拣货"
    QString oneEach;        // "逐单拣货(%1单)"
    QString merged;         // "合并拣货(%1单)"
    QString hint;
};

class TKxGenerateDialog : public TfrmBase {
    Q_OBJECT
public:
    // Makes the documents (merge, storage id); true when they were saved.
    using TCreate = std::function<bool(bool merge, const QString& storageid)>;

    TKxGenerateDialog(const TKxGenerateTexts& texts, QWidget* owner);

    // The storages offered (fields storageid, storagename).
    void SetStorages(TPClientDataSet* storages);
    // The two choices with their counts: one document each, or merged; merged is chosen.
    void SetCounts(int single, int groups);
    void SetOnCreate(TCreate create) { m_create = std::move(create); }

    QComboBox* StorageBox() const { return m_storage; }
    QRadioButton* Choice(int i) const;

    void btnCreateClick();

private:
    TKxGenerateTexts m_texts;
    QComboBox* m_storage;
    QButtonGroup* m_choices;
    TCreate m_create;
};

// The empty structures of the documents to make: `form`'s method of parameter `methodParam`
// asked with `keyParam` empty; its "xmlmaster" and "xmldetail" go into `master` and `lines`.
bool KxLoadEmptyDocs(TfrmBase* form, const QString& methodParam, const QString& keyParam, TPClientDataSet* master,
                     TPClientDataSet* lines);

// Changes the rows of `rows` whose `keyField` is one of `keys`, in one pass, the filter and
// the views held meanwhile: a filtered list would test its filter again after every post.
void KxChangeRows(TPClientDataSet* rows, const QString& keyField, const QSet<QString>& keys,
                  const std::function<void(TPClientDataSet*)>& change);

// The one save of generated documents to `method`: the source rows' marks as file "delta",
// the new headers as "deltamaster", their lines as "deltadetail" (each only when it holds
// changes), after `question`. On success the answer's "xmlmaster" and "xmldetail" are merged
// and `done` shown; on cancel or failure the marks are undone. True when saved.
bool KxSaveGenerated(const QString& method, TPClientDataSet* source, TPClientDataSet* master, TPClientDataSet* lines,
                     const QString& question, const QString& done);

// Opens the module named by `form`'s parameter `moduleParam` as a dialog on the numbers made:
// fixed conditions idField + "1=" first number and idField + "2=" last number; freed after.
void KxShowGenerated(TfrmBase* form, const QString& moduleParam, TPClientDataSet* master, const QString& idField);
