#pragma once
// What the windows that turn marketplace documents into the system's own share: the dialog
// asking for the storage and whether to merge, the one save of the marks and the new
// documents, and opening the list of the documents made.
#include "ufrmBase.h"

#include "TDecimal.h"

#include <QSet>

#include <functional>
#include <memory>
#include <utility>

class QButtonGroup;
class QComboBox;
class QRadioButton;
class TKxPagedList;
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

// The fields of the source rows and the documents made, where the service's structure has
// them: one it lacks reads empty (amounts 0) and is not written.
namespace KxGen {
QString text(TPClientDataSet* ds, const char* field);
TDecimal amount(TPClientDataSet* ds, const char* field);
void put(TPClientDataSet* ds, const char* field, const QString& value);
void put(TPClientDataSet* ds, const char* field, const TDecimal& value);
} // namespace KxGen

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
// changes). On success the answer's "xmlmaster" and "xmldetail" are merged and `done` shown;
// on failure the marks are undone. True when saved.
bool KxSaveGenerated(const QString& method, TPClientDataSet* source, TPClientDataSet* master, TPClientDataSet* lines,
                     const QString& done);

// Opens the module named by `form`'s parameter `moduleParam` as a dialog on the numbers made:
// fixed conditions idField + "1=" first number and idField + "2=" last number; freed after.
void KxShowGenerated(TfrmBase* form, const QString& moduleParam, TPClientDataSet* master, const QString& idField);

// How a list window makes documents of its ticked rows: where the empty documents come
// from, which storages are offered, the save and its texts, the mark the source rows get,
// and the list opened on what was made. Names are the window's parameters.
struct TKxGeneratorDef {
    const char* name;           // the engine's object name under its window
    QString structures;         // "searchpicking": asked with `structureKey` empty
    QString structureKey;       // "pickingid"
    QString storageType;        // "1": the storages offered
    QString update;             // "updatepicking": the one save
    QString question, done;     // asked before anything is made, shown after the save
    QString sourceKey;          // "tid": the source rows' key
    QString markField, markValue; // "dbstatus" = "PICKINGED" on the source rows made into documents
    QString list, idField;      // "listpicking", "pickingid": the list opened on the new numbers
};

// The part of a list window that makes documents of its ticked rows. Lives with the window;
// the documents' structures are loaded on first use. A member states only how its rows are
// collected and how documents are filled from them (TKxGenerator below).
class TKxDocGenerator : public QObject {
    Q_OBJECT
public:
    // `refilter` shows the list again after a save: the marked rows leave the tab they were in.
    TKxDocGenerator(TKxPagedList* form, const TKxGeneratorDef& def, std::function<void()> refilter);

    TPClientDataSet* Master() const { return m_master; }
    TPClientDataSet* Lines() const { return m_lines; }
    TPClientDataSet* Storages() const { return m_storages; }

    // The documents' structures, once.
    bool LoadStructures();

protected:
    TKxPagedList* Form() const { return m_form; }
    TPClientDataSet* Source() const;
    // A pending edit of the list is posted first: it is part of what is ticked.
    void PostSource();
    // Marks the source rows `keys` (after merging the list's own edits: only the marks go to
    // the service).
    void Mark(const QSet<QString>& keys);
    // The question before anything is made: asked while the list still shows the ticked rows
    // as they were, so that a cancel leaves nothing behind.
    bool Confirm() const;
    // The one save; on success the rows are no longer ticked and the list is shown again.
    bool Save(const QSet<QString>& keys);
    // The button's flow: post, structures, the dialog with the storages and the counts; on a
    // save, the list of the new documents.
    void Run(const std::function<std::unique_ptr<TKxGenerateDialog>()>& makeDialog, const std::function<void()>& collect,
             const std::function<std::pair<int, int>()>& counts, TKxGenerateDialog::TCreate create);

private:
    TKxPagedList* m_form;
    TKxGeneratorDef m_def;
    std::function<void()> m_refilter;
    TPClientDataSet* m_master;
    TPClientDataSet* m_lines;
    TPClientDataSet* m_storages;
    bool m_loaded = false;
};

// The generator `T` of a window, made on first use.
template <class T, class F>
T& KxGeneratorOf(F* form)
{
    auto* g = form->template findChild<T*>(QString(), Qt::FindDirectChildrenOnly);
    return g ? *g : *new T(form);
}

// A generator over `TWork` records (one per ticked row) with its dialog `TDialog`.
template <class TWork, class TDialog>
class TKxGenerator : public TKxDocGenerator {
public:
    using TKxDocGenerator::TKxDocGenerator;

    // The ticked rows in list order; the focused row stays.
    virtual QList<TWork> Collect() = 0;
    // Fills the documents from the work records, then marks the source rows, unsent.
    void Fill(const QList<TWork>& work, bool merge, const QString& storageid)
    {
        FillDocs(work, merge, storageid);
        Mark(Keys(work));
    }
    // Asks, makes and saves; on success the rows are no longer ticked.
    bool Create(const QList<TWork>& work, bool merge, const QString& storageid)
    {
        if (!Confirm())
            return false;
        Fill(work, merge, storageid);
        return Save(Keys(work));
    }
    // The button.
    void Generate()
    {
        QList<TWork> work;
        Run([this] { return std::make_unique<TDialog>(Form()); }, [&] { work = Collect(); },
            [&] { return std::pair<int, int>(int(work.size()), Groups(work)); },
            [&](bool merge, const QString& storageid) { return Create(work, merge, storageid); });
    }

protected:
    // How many documents merging makes.
    virtual int Groups(const QList<TWork>& work) const = 0;
    // The documents, from the work records: one each or merged.
    virtual void FillDocs(const QList<TWork>& work, bool merge, const QString& storageid) = 0;
    // The source rows' keys.
    virtual QSet<QString> Keys(const QList<TWork>& work) const = 0;
};
