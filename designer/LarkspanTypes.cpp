#include "designer/LarkspanTypes.h"
#include "designer/SqlNames.h"

#include "core/CodePage.h"
#include "core/UserLocale.h"
#include "dbaccess/TypeCodes.h"

#include <QtEndian>
#include <algorithm>

#include <cstring>
#include <initializer_list>

namespace {

bool IsOneOf(qint32 code, std::initializer_list<short> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}
bool IsIntegerType(qint32 code)
{
    return IsOneOf(code, {FieldTypeCode::Smallint, FieldTypeCode::Integer, FieldTypeCode::Bigint});
}
bool IsFloatType(qint32 code)
{
    return IsOneOf(code, {FieldTypeCode::Float, FieldTypeCode::DFloat, FieldTypeCode::Double});
}
bool IsDateTimeType(qint32 code)
{
    return IsOneOf(code, {FieldTypeCode::Date, FieldTypeCode::Time, FieldTypeCode::Timestamp});
}
bool IsStringType(qint32 code)
{
    return IsOneOf(code, {FieldTypeCode::Char, FieldTypeCode::Varchar, FieldTypeCode::Cstring});
}

constexpr int MaxStringValue = 255;

double ReadDouble(const quint8* data)
{
    const quint64 bits = qFromLittleEndian<quint64>(data);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void WriteDouble(quint8* data, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian<quint64>(bits, data);
}

// The comparison token of a block, or null when the block holds no usable
// condition (no value, or an operator outside the table).
const char* CompareToken(const TValueBlock& block)
{
    if (!block.Present || !IsCompareOperator(block.Operator))
        return nullptr;
    return CompareOperators[block.Operator];
}

QString Latin(const char* s) { return QString::fromLatin1(s); }

// One comparison of a condition: the column, the operator and the value's
// parameter ("a" low value, "b" high value).
QString ComparisonSql(const QString& column, const char* op, char prefix, int tableNodeIndex, int fieldIndex)
{
    return QStringLiteral("%1 %2 :%3_%4_%5")
        .arg(column, Latin(op), QString(QChar::fromLatin1(prefix)))
        .arg(tableNodeIndex)
        .arg(fieldIndex);
}

} // namespace

// ---------------------------------------------------------------- short strings

template <int N>
void SetShortString(TShortString<N>& s, const QString& text)
{
    const QByteArray bytes = CodePage::ToAnsi(text).left(N);
    std::memset(s.Chars, 0, sizeof s.Chars);
    std::memcpy(s.Chars, bytes.constData(), size_t(bytes.size()));
    s.Length = quint8(bytes.size());
}

template <int N>
QString GetShortString(const TShortString<N>& s)
{
    // A length beyond the room (a damaged file) reads only what is there.
    const int length = s.Length <= N ? s.Length : N;
    return CodePage::FromAnsi(s.Chars, length);
}

template void SetShortString<31>(TShortString<31>&, const QString&);
template void SetShortString<128>(TShortString<128>&, const QString&);
template void SetShortString<255>(TShortString<255>&, const QString&);
template QString GetShortString<31>(const TShortString<31>&);
template QString GetShortString<128>(const TShortString<128>&);
template QString GetShortString<255>(const TShortString<255>&);

// ---------------------------------------------------------------- TLKField

TLKField::TLKField(const QString& fieldName, const QString& displayName, qint32 fieldType,
                   qint32 charLength, bool visible, bool selected, qint32 tableNodeIndex,
                   qint32 fieldIndex)
    : TableNodeIndex(tableNodeIndex)
    , FieldIndex(fieldIndex)
    , FieldName(fieldName)
    , DisplayName(displayName)
    , FieldType(fieldType)
    , CharLength(charLength)
    , Visible(visible)
    , Selected(selected)
{
}

QString TLKField::BuildCondition()
{
    ConditionText.clear();
    ConditionSQL.clear();

    if (const char* op = CompareToken(LowValue)) {
        ConditionText = QStringLiteral("\"%1\" %2 \"%3\"").arg(DisplayName, Latin(op), GetValueText(1));
        ConditionSQL = ComparisonSql(FieldName, op, 'a', TableNodeIndex, FieldIndex);
    }
    // A link outside the table counts as no link.
    const int link = IsLinkOperator(BoolBetweenFields) ? BoolBetweenFields : 0;
    if (link != 0) {
        if (const char* op = CompareToken(HighValue)) {
            ConditionText += QStringLiteral(" %1 \"%2\" %3 \"%4\"")
                                 .arg(Latin(LinkOperators[link]), DisplayName, Latin(op), GetValueText(2));
            ConditionSQL += QLatin1Char(' ') + Latin(LinkOperators[link]) + QLatin1Char(' ') +
                            ComparisonSql(FieldName, op, 'b', TableNodeIndex, FieldIndex);
        }
    }
    return ConditionText;
}

QString TLKField::ConditionTerm(const QString& column) const
{
    const char* low = CompareToken(LowValue);
    const int link = IsLinkOperator(BoolBetweenFields) ? BoolBetweenFields : 0;
    const char* high = link != 0 ? CompareToken(HighValue) : nullptr;
    const bool negated = link == fboAndNot || link == fboOrNot;
    if (low && high) {
        const QString term = ComparisonSql(column, low, 'a', TableNodeIndex, FieldIndex) + QLatin1Char(' ') +
                             Latin(LinkOperators[link]) + QLatin1Char(' ') +
                             ComparisonSql(column, high, 'b', TableNodeIndex, FieldIndex);
        // The statement joins its terms with AND, which binds tighter than OR.
        const bool disjunction = link == fboOr || link == fboOrNot;
        return disjunction ? QLatin1Char('(') + term + QLatin1Char(')') : term;
    }
    if (low)
        return ComparisonSql(column, low, 'a', TableNodeIndex, FieldIndex);
    if (high) {
        // Only the second comparison: its link has nothing on its left, so
        // AND and OR fall away and a negated link negates the comparison.
        const QString term = ComparisonSql(column, high, 'b', TableNodeIndex, FieldIndex);
        return negated ? QStringLiteral("NOT ") + term : term;
    }
    return {};
}

QString TLKField::GetValueText(int which) const
{
    const TValueBlock& block = Value(which);
    if (!block.Present)
        return {};
    const quint8* data = block.Data;
    const UserLocale& locale = UserLocale::Current();
    switch (FieldType) {
    case FieldTypeCode::Smallint:
        return QString::number(qFromLittleEndian<qint16>(data));
    case FieldTypeCode::Integer:
        return QString::number(qFromLittleEndian<qint32>(data));
    case FieldTypeCode::Bigint:
        return QString::number(qFromLittleEndian<qint64>(data));
    case FieldTypeCode::Float:
    case FieldTypeCode::DFloat:
    case FieldTypeCode::Double:
        return locale.FloatToStr(ReadDouble(data));
    case FieldTypeCode::Date:
        return locale.DateToStr(ReadDouble(data));
    case FieldTypeCode::Time:
        return locale.TimeToStr(ReadDouble(data));
    case FieldTypeCode::Timestamp:
        return locale.DateTimeToStr(ReadDouble(data));
    case FieldTypeCode::Char:
    case FieldTypeCode::Varchar:
    case FieldTypeCode::Cstring:
        return CodePage::FromAnsi(reinterpret_cast<const char*>(data + 1), data[0]);
    default:
        return {};
    }
}

void TLKField::SetValueText(const QString& text, int which)
{
    TValueBlock& block = Value(which);
    block.Present = 1;
    const bool listed = IsIntegerType(FieldType) || IsFloatType(FieldType)
        || IsDateTimeType(FieldType) || IsStringType(FieldType);
    if (!listed)
        return; // nothing to store for this type
    std::memset(block.Data, 0, sizeof block.Data);
    quint8* data = block.Data;
    const UserLocale& locale = UserLocale::Current();

    std::optional<double> number;
    switch (FieldType) {
    case FieldTypeCode::Smallint:
        if (const auto v = locale.StrToInt64(text)) {
            // A SHORT keeps the low 16 bits of whatever integer it is given.
            qToLittleEndian<quint16>(quint16(quint64(*v) & 0xFFFF), data);
            return;
        }
        break;
    case FieldTypeCode::Integer:
        if (const auto v = locale.StrToInt(text)) {
            qToLittleEndian<qint32>(*v, data);
            return;
        }
        break;
    case FieldTypeCode::Bigint:
        if (const auto v = locale.StrToInt64(text)) {
            qToLittleEndian<qint64>(*v, data);
            return;
        }
        break;
    case FieldTypeCode::Date:
        number = locale.StrToDate(text);
        break;
    case FieldTypeCode::Time:
        number = locale.StrToTime(text);
        break;
    case FieldTypeCode::Timestamp:
        number = locale.StrToDateTime(text);
        break;
    case FieldTypeCode::Char:
    case FieldTypeCode::Varchar:
    case FieldTypeCode::Cstring: {
        const QByteArray bytes = CodePage::ToAnsi(text).left(MaxStringValue);
        data[0] = quint8(bytes.size());
        std::memcpy(data + 1, bytes.constData(), size_t(bytes.size()));
        return;
    }
    default: // Float, DFloat, Double
        number = locale.StrToFloat(text);
        break;
    }
    if (number) {
        WriteDouble(data, *number);
        return;
    }
    // The text is no value of the field's kind: the block holds none.
    block.Present = 0;
}

TFieldValueExpression TLKField::GetValueExpression(int which) const
{
    const TValueBlock& block = Value(which);
    TFieldValueExpression e;
    e.Present = block.Present != 0;
    e.Operator = block.Operator;
    e.Value = GetValueText(which);
    return e;
}

void TLKField::ToCacheRecord(TFieldCacheRecord& record) const
{
    record.TableNodeIndex = TableNodeIndex;
    record.FieldIndex = FieldIndex;
    SetShortString(record.FieldName, FieldName.left(31));
    SetShortString(record.DisplayName, DisplayName.left(128));
    record.FieldType = FieldType;
    record.CharLength = CharLength;
    record.Visible = Visible ? 1 : 0;
}

void TLKField::FromCacheRecord(const TFieldCacheRecord& record)
{
    TableNodeIndex = record.TableNodeIndex;
    FieldIndex = record.FieldIndex;
    FieldName = GetShortString(record.FieldName);
    DisplayName = GetShortString(record.DisplayName);
    FieldType = record.FieldType;
    CharLength = record.CharLength;
    Visible = record.Visible != 0;
}

// ---------------------------------------------------------------- lists

TLKField* TLKFields::Items(int i) const
{
    if (i < 0 || i >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(i));
    return FItems[size_t(i)].get();
}

TLKField* TLKFields::Add(std::unique_ptr<TLKField> field)
{
    FItems.push_back(std::move(field));
    return FItems.back().get();
}

TLKTable* TLKTables::Items(int i) const
{
    if (i < 0 || i >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(i));
    return FItems[size_t(i)].get();
}

TLKTable* TLKTables::Add(std::unique_ptr<TLKTable> table)
{
    FItems.push_back(std::move(table));
    return FItems.back().get();
}

// ---------------------------------------------------------------- TLKTable

QString RemoveBlanks(const QString& name)
{
    QString result = name;
    result.remove(QChar(' '));
    return result;
}

TLKTable::TLKTable(const QString& tableName, const QString& linkedTable, const QString& ownIndex,
                   const QString& parentIndex, qint32 tableNo, qint32 parentNo, qint32 nodeIndex)
    : TableName(SqlNames::TrimPadding(tableName))
    , LinkedTable(SqlNames::TrimPadding(linkedTable))
    , OwnIndex(SqlNames::TrimPadding(ownIndex))
    , ParentIndex(SqlNames::TrimPadding(parentIndex))
    , NodeIndex(nodeIndex)
    , TableNo(tableNo)
    , ParentNo(parentNo)
{
}

void TLKTable::ToCacheRecord(TTableCacheRecord& record) const
{
    SetShortString(record.TableName, TableName.left(31));
    SetShortString(record.LinkedTable, LinkedTable.left(31));
    SetShortString(record.OwnIndex, OwnIndex.left(31));
    SetShortString(record.ParentIndex, ParentIndex.left(31));
    record.NodeIndex = NodeIndex;
    record.TableNo = TableNo;
    record.ParentNo = ParentNo;
}

std::unique_ptr<TLKTable> TLKTable::FromCacheRecord(const TTableCacheRecord& record)
{
    return std::make_unique<TLKTable>(GetShortString(record.TableName), GetShortString(record.LinkedTable),
                                      GetShortString(record.OwnIndex), GetShortString(record.ParentIndex),
                                      record.TableNo, record.ParentNo, record.NodeIndex);
}

// ---------------------------------------------------------------- unit functions

TFieldType IBTypeToFieldType(qint16 code)
{
    switch (code) {
    case FieldTypeCode::Smallint: return ftSmallint;
    case FieldTypeCode::Integer: return ftInteger;
    case FieldTypeCode::Float:
    case FieldTypeCode::DFloat:
    case FieldTypeCode::Double: return ftFloat;
    case FieldTypeCode::Date: return ftDate;
    case FieldTypeCode::Time: return ftTime;
    case FieldTypeCode::Timestamp: return ftDateTime;
    case FieldTypeCode::Bigint: return ftLargeint;
    case FieldTypeCode::Char:
    case FieldTypeCode::Varchar:
    case FieldTypeCode::Cstring: return ftString;
    case FieldTypeCode::Blob: return ftBlob;
    default: return ftUnknown;
    }
}

TLKTable* FindTableByName(const TLKTables& list, const QString& name)
{
    const QString upper = name.toUpper();
    for (const auto& table : list)
        if (table->TableName.toUpper() == upper)
            return table.get();
    return nullptr;
}

TLKTable* FindTableByNode(const TLKTables& list, int nodeIndex)
{
    for (const auto& table : list)
        if (table->NodeIndex == nodeIndex)
            return table.get();
    return nullptr;
}

TLKTable* LinkTableTree(const TLKTables& list)
{
    std::vector<TLKTable*> placed;
    placed.reserve(size_t(list.Count()));
    for (const auto& table : list) {
        table->Parent = nullptr;
        table->Children.clear();
        if (table->NodeIndex >= 0)
            placed.push_back(table.get());
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const TLKTable* a, const TLKTable* b) { return a->NodeIndex < b->NodeIndex; });
    TLKTable* root = nullptr;
    for (TLKTable* table : placed) {
        if (table->ParentNo < 0) {
            if (!root)
                root = table;
            continue;
        }
        if (table->ParentNo >= list.Count())
            continue;
        TLKTable* parent = list[table->ParentNo];
        // In pre-order a parent comes before its children; anything else
        // (a damaged cache, a loop) would not be a tree.
        if (parent == table || parent->NodeIndex < 0 || parent->NodeIndex >= table->NodeIndex)
            continue;
        table->Parent = parent;
        parent->Children.push_back(table);
    }
    return root;
}

int CountTableLinks(const TLKTables& list, const QString& name, const QString& linked, int parentNo)
{
    int count = 0;
    for (const auto& table : list)
        if (table->TableName == name && table->LinkedTable == linked && table->ParentNo == parentNo)
            ++count;
    return count;
}
