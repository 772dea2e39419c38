// SQL generation: turns the checked fields, the join conditions of the
// tables that take part and the field conditions into one SELECT with named
// parameters, and binds the condition values into a query.

#include "dbaccess/IBQuery.h"
#include "designer/Larkspan.h"

namespace {

const QChar LineBreak = QChar(0x0D);   // generated SQL uses a single CR

QString ParamName(char prefix, const TLKField& field)
{
    return QStringLiteral("%1_%2_%3")
        .arg(QChar::fromLatin1(prefix))
        .arg(field.TableNodeIndex)
        .arg(field.FieldIndex);
}

// Appends each item on its own line, with sep after every item but the last.
void AppendLines(QString& text, const QStringList& items, const QString& sep)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        text += LineBreak;
        text += items[i];
        if (i + 1 < items.size())
            text += sep;
    }
}

bool UsesValue(const TValueBlock& block)
{
    return block.Present && IsCompareOperator(block.Operator);
}

bool IsUsed(const QList<QPair<QString, TLKTable*>>& used, const TLKTable* table)
{
    for (const auto& entry : used)
        if (entry.second == table)
            return true;
    return false;
}

}   // namespace

QString TLarkspan::IncludeFieldsText() const
{
    QStringList entries;
    for (const QString& line : FIncludeFields) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (line.isEmpty() || eq < 0)
            continue;
        const QString name = line.left(eq);
        const QString label = line.mid(eq + 1);
        entries << FTableName + QLatin1Char('.') + name + QStringLiteral(" \"") + label + QLatin1Char('"');
    }
    return entries.join(QLatin1Char(','));
}

QString TLarkspan::GenerateSQL()
{
    FParamList.clear();
    FSQLText.clear();
    FSelectList.clear();
    FWhereList.clear();
    QStringList fromList;

    for (const auto& owned : FTables) {
        TLKTable* table = owned.get();
        if (!IsUsed(FUsedTables, table))
            continue;
        const QString alias = QStringLiteral("Tbl_%1").arg(table->TableNo);
        // The root is written as the TableName property was given, letter
        // case kept; the other names come from the system tables.
        const QString name = table->ParentNo < 0 && !FTableName.isEmpty() ? FTableName : table->TableName;
        fromList << name + QLatin1Char(' ') + alias;

        if (!table->JoinCondition.isEmpty())
            FWhereList << table->JoinCondition;

        for (const auto& ownedField : table->Fields) {
            TLKField* field = ownedField.get();
            if (field->Selected)
                FSelectList << alias + QLatin1Char('.') + field->FieldName;
            if (field->ConditionSQL.isEmpty())
                continue;
            FWhereList << field->ConditionSQL;
            // The same tests that decide whether the condition names the
            // parameter: a block with an operator outside the comparison
            // table, or a link outside the link table, is left out of it.
            if (UsesValue(field->LowValue))
                FParamList.append({ParamName('a', *field), field});
            if (IsLinkOperator(field->BoolBetweenFields) && UsesValue(field->HighValue))
                FParamList.append({ParamName('b', *field), field});
        }
    }

    if (FSelectList.isEmpty())
        return FSQLText;

    if (!FIncludeFields.isEmpty()) {
        const QString include = IncludeFieldsText();
        if (!include.isEmpty())
            FSelectList.prepend(include);
    }

    QString text = QStringLiteral("SELECT");
    AppendLines(text, FSelectList, QStringLiteral(","));
    text += LineBreak;
    text += QStringLiteral("FROM");
    AppendLines(text, fromList, QStringLiteral(","));
    if (!FWhereList.isEmpty()) {
        text += LineBreak;
        text += QStringLiteral("WHERE");
        AppendLines(text, FWhereList, QStringLiteral(" AND "));
    }
    FSQLText = text;
    return FSQLText;
}

bool TLarkspan::BuildQuery(TIBQuery* query)
{
    MarkQueryTables();
    GenerateSQL();
    if (FSQLText.isEmpty() || !query)
        return false;

    query->SetSQL(FSQLText);
    for (const auto& entry : FParamList) {
        const QString& name = entry.first;
        const TLKField* field = entry.second;
        TParam& param = query->ParamNamed(name);
        param.SetDataType(IBTypeToFieldType(qint16(field->FieldType)));
        param.SetParamType(ptInput);
        const int which = name.startsWith(QLatin1Char('b')) ? 2 : 1;
        param.SetValue(QVariant(field->GetValueText(which)));
    }
    return true;
}
