#pragma once
#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Errors.h"
#include "dbaccess/FieldTypes.h"

// The in-memory model of a designed query: one TLKTable per node of the
// designer's tree, one TLKField per database field of a loaded table, the
// condition values and the texts built from them.

// Link operators: 0 none, 1 AND, 2 OR, 3 AND NOT, 4 OR NOT. Kept as a raw
// byte because a stored or answered value may lie outside that range.
using TFieldBoolOperators = quint8;
enum : TFieldBoolOperators { fboNone = 0, fboAnd = 1, fboOr = 2, fboAndNot = 3, fboOrNot = 4 };

inline constexpr const char* CompareOperators[8] = {
    "=", "<>", ">", "<", ">=", "<=", "CONTAINING", "STARTING WITH"};
// Indexed from 1 by a TFieldBoolOperators value; entry 0 is unused.
inline constexpr const char* LinkOperators[5] = {"", "AND", "OR", "AND NOT", "OR NOT"};

inline bool IsCompareOperator(int op) { return op >= 0 && op < 8; }
inline bool IsLinkOperator(int op) { return op >= 1 && op <= 4; }

enum TDisplayNameSourceType { dnsNone, dnsIniFile, dnsRegistry, dnsIBTable, dnsRDBDescription };

#pragma pack(push, 1)
// One condition value: 258 bytes, a file format (query files copy it byte for byte).
struct TValueBlock {
    quint8 Operator = 0;    // index into CompareOperators
    quint8 Present = 0;     // 0 or 1
    quint8 Data[256] = {};  // laid out by the field's type code, little-endian
};

// Short string of n characters: a length byte and room for n characters.
template <int N>
struct TShortString {
    quint8 Length = 0;
    char Chars[N] = {};
};

// Table record of the view cache, 140 bytes.
struct TTableCacheRecord {
    TShortString<31> TableName;
    TShortString<31> LinkedTable;
    TShortString<31> OwnIndex;
    TShortString<31> ParentIndex;
    qint32 NodeIndex = 0;
    qint32 TableNo = 0;
    qint32 ParentNo = 0;
};

// Field record of the view cache, 178 bytes.
struct TFieldCacheRecord {
    qint32 TableNodeIndex = 0;
    qint32 FieldIndex = 0;
    TShortString<31> FieldName;
    TShortString<128> DisplayName;
    qint32 FieldType = 0;
    qint32 CharLength = 0;
    quint8 Visible = 0;
};
#pragma pack(pop)
static_assert(sizeof(TValueBlock) == 258);
static_assert(sizeof(TTableCacheRecord) == 140);
static_assert(sizeof(TFieldCacheRecord) == 178);

// Short strings hold texts in the single-byte code page, cut to their room.
template <int N>
void SetShortString(TShortString<N>& s, const QString& text);
template <int N>
QString GetShortString(const TShortString<N>& s);

// One value block as it travels to and from the application. Presence
// first, operator second.
struct TFieldValueExpression {
    bool Present = false;
    quint8 Operator = 0;
    QString Value;
};

class TLKField {
public:
    TLKField(const QString& fieldName, const QString& displayName, qint32 fieldType,
             qint32 charLength, bool visible, bool selected, qint32 tableNodeIndex,
             qint32 fieldIndex);

    qint32 TableNodeIndex;
    qint32 FieldIndex;
    QString FieldName;
    QString DisplayName;
    qint32 FieldType;
    qint32 CharLength;
    QString ConditionText;
    QString ConditionSQL;
    bool Visible;
    bool Selected;
    TFieldBoolOperators MainBool = 0;
    TFieldBoolOperators BoolBetweenFields = 0;
    TValueBlock LowValue;
    TValueBlock HighValue;

    // which: 1 = LowValue, 2 = HighValue.
    TValueBlock& Value(int which) { return which == 2 ? HighValue : LowValue; }
    const TValueBlock& Value(int which) const { return which == 2 ? HighValue : LowValue; }

    QString BuildCondition();                       // returns ConditionText
    // The condition as one sound WHERE term naming the field as column
    // (qualified and delimited as the statement needs): a disjunction in
    // parentheses, a lone second comparison without its dangling link.
    // Empty when the field has no condition.
    QString ConditionTerm(const QString& column) const;
    QString GetValueText(int which) const;
    void SetValueText(const QString& text, int which);
    TFieldValueExpression GetValueExpression(int which) const;

    void ToCacheRecord(TFieldCacheRecord& record) const;
    void FromCacheRecord(const TFieldCacheRecord& record);
};

// Owning list of fields.
class TLKFields {
public:
    int Count() const { return int(FItems.size()); }
    TLKField* operator[](int i) const { return FItems[size_t(i)].get(); }
    TLKField* Items(int i) const;           // "List index out of bounds (%d)"
    TLKField* Add(std::unique_ptr<TLKField> field);
    void Clear() { FItems.clear(); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::unique_ptr<TLKField>> FItems;
};

class TLKTable {
public:
    // Removes the blanks that pad the four names at their end.
    TLKTable(const QString& tableName, const QString& linkedTable, const QString& ownIndex,
             const QString& parentIndex, qint32 tableNo, qint32 parentNo, qint32 nodeIndex);

    QString TableName;
    QString LinkedTable;
    QString OwnIndex;
    QString ParentIndex;
    qint32 NodeIndex;
    qint32 TableNo;
    TLKFields Fields;
    qint32 ParentNo;
    QString JoinCondition;
    // The table's place in the view's tree: its parent (none for the main
    // table) and its children in node order. Derived from ParentNo and
    // NodeIndex by LinkTableTree; the tables list owns them all.
    TLKTable* Parent = nullptr;
    std::vector<TLKTable*> Children;

    void ToCacheRecord(TTableCacheRecord& record) const;
    static std::unique_ptr<TLKTable> FromCacheRecord(const TTableCacheRecord& record);
};

// Owning list of tables.
class TLKTables {
public:
    int Count() const { return int(FItems.size()); }
    TLKTable* operator[](int i) const { return FItems[size_t(i)].get(); }
    TLKTable* Items(int i) const;           // "List index out of bounds (%d)"
    TLKTable* Add(std::unique_ptr<TLKTable> table);
    void Clear() { FItems.clear(); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::unique_ptr<TLKTable>> FItems;
};

// Removes every blank (not only trailing ones).
QString RemoveBlanks(const QString& name);

TFieldType IBTypeToFieldType(qint16 code);
TLKTable* FindTableByName(const TLKTables& list, const QString& name);
TLKTable* FindTableByNode(const TLKTables& list, int nodeIndex);
// Sets every table's Parent (the table numbered ParentNo) and Children (in
// NodeIndex order); returns the main table (ParentNo -1, lowest NodeIndex),
// or nullptr for an empty list. Tables without a node (NodeIndex < 0) and
// parent numbers that point outside the list or into their own subtree are
// left out of the tree.
TLKTable* LinkTableTree(const TLKTables& list);
int CountTableLinks(const TLKTables& list, const QString& name, const QString& linked, int parentNo);

// The component's message texts, localisable.
namespace LarkspanMessages {
inline QString tr(const char* s) { return QCoreApplication::translate("Larkspan", s); }
inline QString InvalidQueryFile() { return tr("Invalid query file structure."); }
inline QString InvalidCacheFile() { return tr("Invalid cache file structure."); }
inline QString TableNameMissing() { return tr("Tablename missing."); }
inline QString ControlsMissing() { return tr("Both TreeView and ListView must be set"); }
inline QString IndexFieldCount() { return tr("Diferrent field count in indexes"); }
inline QString FieldNameCaption() { return tr("Field name"); }
inline QString ValueCaption() { return tr("Value"); }
}
