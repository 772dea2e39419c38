#pragma once
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "dbaccess/IBDatabase.h"
#include "designer/DesignerViews.h"
#include "designer/DisplayNameSource.h"
#include "designer/LarkspanTypes.h"
#include "designer/SchemaReader.h"
#include "designer/ViewTree.h"

class QIODevice;
class QTreeWidget;
class QTreeWidgetItem;
class TIBQuery;
class TIBTransaction;
class TSchemaSnapshot;

// The value-required event: the application supplies one field's condition.
// MainBool and BoolBetweenFields refer to the field's own bytes; the two
// value records are copies that the designer reads back afterwards.
using TOnFieldValueRequired = std::function<void(
    QObject* Sender, const QString& Table, const QString& FieldName,
    const QString& FieldDisplayName, TFieldType DataType, int StrLength,
    TFieldBoolOperators& MainBool, TFieldBoolOperators& BoolBetweenFields,
    TFieldValueExpression& FieldLowValue, TFieldValueExpression& FieldHighValue,
    bool& ClearValues)>;

// Callback of EnumQueries: an entry's index in the query file and its name.
using TEnumQueriesCallback = std::function<void(int Index, const QString& Name)>;

// The visual query designer: reads a database's system tables into a model
// (a tree of tables around a main table, their fields, the conditions), and
// writes one parameterised SELECT into a query. The model needs no controls:
// GenerateModel, the query file, the view cache and the SQL work on it
// alone. When TreeView and ListView are set (their code lives in the
// designer's widget library), the tree shows the model's nodes, the list the
// selected table's fields, and OnFieldValueRequired asks for condition values.
class TLarkspan : public QObject {
    Q_OBJECT
public:
    explicit TLarkspan(QObject* owner = nullptr);
    ~TLarkspan() override;

    // ---- properties ----
    const QString& TableName() const { return FTableName; }
    void SetTableName(const QString& value);
    const QString& DetailTableName() const { return FDetailTableName; }
    void SetDetailTableName(const QString& value);
    QTreeWidget* TreeView() const;
    void SetTreeView(QTreeWidget* value);
    QTreeWidget* ListView() const;
    void SetListView(QTreeWidget* value);
    TIBDatabase* IBDataBase() const { return FIBDataBase; }
    void SetIBDataBase(TIBDatabase* value);
    const QString& DisplayNameSource() const { return FDisplayNames.Source(); }
    void SetDisplayNameSource(const QString& value) { FDisplayNames.SetSource(value); }
    TDisplayNameSourceType DisplayNameSourceType() const { return FDisplayNames.Type(); }
    void SetDisplayNameSourceType(TDisplayNameSourceType value) { FDisplayNames.SetType(value); }
    bool AutoSetupListView() const { return FAutoSetupListView; }
    void SetAutoSetupListView(bool value) { FAutoSetupListView = value; }
    bool UsePermanentCache() const { return FUsePermanentCache; }
    void SetUsePermanentCache(bool value) { FUsePermanentCache = value; }
    const QString& PermanentCacheDir() const { return FPermanentCacheDir; }
    void SetPermanentCacheDir(const QString& value);   // adds "/" unless it ends in "/" or "\"
    const QStringList& IncludeFields() const { return FIncludeFields; }
    void SetIncludeFields(const QStringList& value);
    bool ViewGenerated() const { return FViewGenerated; }
    // Whether GenerateView reads every foreign-key link of the database in
    // a few statements instead of one statement per table; the tree and the
    // model are the same either way. Off unless set.
    bool ReadSchemaAtOnce() const { return FReadSchemaAtOnce; }
    void SetReadSchemaAtOnce(bool value) { FReadSchemaAtOnce = value; }
    TOnFieldValueRequired OnFieldValueRequired;

    // Design-time state: no handlers are installed on the controls.
    bool Designing() const { return FDesigning; }
    void SetDesigning(bool value) { FDesigning = value; }

    // ---- model and generated state (read by the application and tests) ----
    TLKTables& Tables() { return FTables; }
    // The nodes of the tree: their texts, in pre-order (a table's NodeIndex
    // is its node's place here).
    TViewTree& ViewTree() { return FViewTree; }
    const TViewTree& ViewTree() const { return FViewTree; }
    const QList<QPair<QString, TLKTable*>>& UsedTables() const { return FUsedTables; }
    const QList<QPair<QString, TLKField*>>& ParamList() const { return FParamList; }
    const QStringList& SelectList() const { return FSelectList; }
    const QStringList& WhereList() const { return FWhereList; }
    const QString& SQLText() const { return FSQLText; }
    bool FillingList() const { return FFillingList; }

    // ---- schema discovery and view generation ----
    // GenerateModel and FillViews: builds the model and then shows it; raises
    // "Both TreeView and ListView must be set" unless both controls are set.
    void GenerateView();
    // Reads the tree of tables into the model, from the view cache when it
    // exists, else from the system tables (writing the cache when it is
    // used). Touches no control: it may run on a worker thread as long as
    // nothing else uses the designer meanwhile.
    void GenerateModel();
    // Shows the model in the controls that are set (their thread only).
    void FillViews();
    void ClearView();
    void LoadTableFields(TLKTable* table);
    // Appends the columns of an index, in their order (read once per model).
    void GetIndexFields(const QString& indexName, QStringList& list);
    // Gives the columns of an index without reading them: for a model put
    // together without a database (a test's, say).
    void SetIndexColumns(const QString& indexName, const QStringList& columns);
    QString TablePathList(int tableNo);
    // Adds the tables that tableName refers to below the node (an index of ViewTree).
    void AddReferencedTables(const QString& tableName, int tableNo, int node);
    void MarkQueryTables();
    bool MarkTableNode(QTreeWidgetItem* node);
    // The join pass over the model: the table and everything below it.
    bool MarkTable(TLKTable* table);
    void AddJoinTable(TLKTable* table);
    int SelectedFieldCount(TLKTable* table) const;

    // ---- SQL generation and binding ----
    bool BuildQuery(TIBQuery* query);
    QString GenerateSQL();
    QString IncludeFieldsText() const;

    // ---- field list and value entry ----
    void SetupListView();
    void FillFieldList(TLKTable* table);
    int LoadAllFields();
    void TreeViewChange(QTreeWidgetItem* node);
    void ListViewChange(QTreeWidgetItem* item);
    void ListViewDblClick();
    // The field that a list item stands for (its data); none: nullptr.
    static TLKField* FieldOfItem(const QTreeWidgetItem* item);

    // ---- saved queries ----
    void SaveQuery(const QString& name);
    void EnumQueries(const TEnumQueriesCallback& callback);
    // Writes the current design under name over saved query index, in place.
    void ReplaceQuery(int index, const QString& name);
    // Frees saved query index; a later save reuses its room.
    void DeleteQuery(int index);
    void LoadQuery(int index);
    QString QueryFileName() const;   // PermanentCacheDir + TableName@DetailTableName.qry
    static void WriteFileHeader(QIODevice& stream);
    static bool CheckFileHeader(QIODevice& stream);
    bool FindFreeQuerySlot(QIODevice& stream);
    bool SeekQuery(QIODevice& stream, int index, qint32& recordCount);

    // ---- view cache ----
    QString CacheFileName() const;    // TableName@DetailTableName.lks
    bool CacheExists() const;
    // Reads the cached view into the model and shows it in the tree, if set.
    void ReadViewFromCache();
    void WriteViewToCache();

    // ---- display names ----
    QString TableDisplayName(const QString& tableName) { return FDisplayNames.TableDisplayName(tableName); }
    QString FieldDisplayInfo(const QString& tableName, const QString& fieldName, bool& visible)
    {
        return FDisplayNames.FieldDisplayInfo(tableName, fieldName, visible);
    }
    QString FieldDisplayNameOf(const QString& tableName, const QString& fieldName)
    {
        return FDisplayNames.FieldDisplayNameOf(tableName, fieldName);
    }
    TDisplayNameSource& DisplayNames() { return FDisplayNames; }

    // The designer's metadata transaction and queries.
    TSchemaReader& SchemaReader() { return FSchema; }
    TIBTransaction* MetadataTransaction() const { return FSchema.Transaction(); }
    TIBQuery* ReferenceQuery() const { return FSchema.ReferenceQuery(); }
    TIBQuery* DetailQuery() const { return FSchema.DetailQuery(); }
    TIBQuery* IndexQuery() const { return FSchema.IndexQuery(); }
    TIBQuery* FieldsQuery() const { return FSchema.FieldsQuery(); }

private:
    friend class TSchemaSnapshot;   // builds the tree from the schema read at once
    void AttachDatabase();
    void ClearModel();
    void ReadModelFromCache();
    // The views, created when the first control is set.
    class TLarkspanWidgetViews& WidgetViews();
    // Whether a table takes part in a statement by itself: a ticked field or
    // a field with a condition.
    bool TakesPart(const TLKTable* table) const;
    void LoadFieldsOfConditionTables();
    // The main and detail tables carry user-typed names.
    bool IsUserNamedTable(const TLKTable* table) const;
    // The name to look a table up by in the system tables.
    QString MetadataKey(const TLKTable* table) const;
    void ResolveUserNamedTables();
    // The table's name as written into the FROM list.
    QString TableNameSql(const TLKTable* table) const;

    TDisplayNameSource FDisplayNames;
    QList<QPair<QString, TLKField*>> FParamList;
    QStringList FSelectList;
    QList<QPair<QString, TLKTable*>> FUsedTables;
    QStringList FWhereList;
    QString FTableName;
    QString FDetailTableName;
    TViewTree FViewTree;
    std::unique_ptr<TDesignerViews> FViews;   // none until a control is set
    bool FModelFromCache = false;             // the model was read from the cache
    TLKTables FTables;
    bool FFillingList = false;
    bool FAutoSetupListView = false;
    bool FViewGenerated = false;
    bool FDesigning = false;
    QPointer<TIBDatabase> FIBDataBase;
    TSchemaReader FSchema;
    bool FUsePermanentCache = false;
    QString FPermanentCacheDir;
    QString FSQLText;
    bool FDelimitedNames = false;   // the last statement delimits a name
    int FPlacedNodes = 0;           // nodes of the tree being generated
    QHash<QString, QStringList> FIndexColumns;   // index name -> its columns, read so far
    QHash<QString, QString> FUserKeys;   // typed table name -> name it was found under
    QStringList FIncludeFields;
    bool FReadSchemaAtOnce = false;
    TSchemaSnapshot* FSnapshot = nullptr;   // the schema read at once, while a generation runs
};
