// SQL generation: turns the checked fields, the join conditions of the
// tables that take part and the field conditions into one SELECT with named
// parameters, and binds the condition values into a query.

#include "dbaccess/IBQuery.h"
#include "designer/Larkspan.h"
#include "designer/SqlNames.h"

#include <QHash>
#include <QSet>

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

// Writes names into the statement and remembers whether any of them needed
// double quotes, which only a dialect 3 statement reads as a name.
class NameWriter {
public:
    QString Identifier(const QString& name)
    {
        FDelimited = FDelimited || SqlNames::NeedsQuotes(name);
        return SqlNames::Identifier(name);
    }
    QString Typed(const QString& sql)
    {
        FDelimited = FDelimited || sql.contains(QLatin1Char('"'));
        return sql;
    }
    bool Delimited() const { return FDelimited; }

private:
    bool FDelimited = false;
};

}   // namespace

QString TLarkspan::IncludeFieldsText() const
{
    // The include fields belong to the main table, which the statement
    // knows by its alias only. A label is a column alias: delimited in a
    // dialect 3 database; a dialect 1 statement cannot delimit, so there a
    // label that is not a plain name is left out and the column keeps its own.
    const bool dialect3 = FIBDataBase && FIBDataBase->DBSQLDialect() >= 3;
    QStringList entries;
    for (const QString& line : FIncludeFields) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (line.isEmpty() || eq < 0)
            continue;
        const QString name = line.left(eq);
        const QString label = line.mid(eq + 1);
        QString entry = QStringLiteral("Tbl_0.") + SqlNames::UserNameSql(name);
        if (dialect3) {
            QString inner = label;
            inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
            entry += QStringLiteral(" AS \"") + inner + QLatin1Char('"');
        } else if (SqlNames::IsRegularIdentifier(label.toUpper())) {
            entry += QStringLiteral(" AS ") + label;
        }
        entries << entry;
    }
    return entries.join(QLatin1Char(','));
}

QString TLarkspan::GenerateSQL()
{
    FParamList.clear();
    FSQLText.clear();
    FSelectList.clear();
    FWhereList.clear();
    FDelimitedNames = false;
    QStringList fromList;
    NameWriter names;

    QSet<const TLKTable*> used;
    for (const auto& entry : FUsedTables)
        used.insert(entry.second);

    // A column name that more than one table of the statement has must be
    // named with its table's alias in a condition.
    QHash<QString, int> columnTables;
    for (const auto& owned : FTables) {
        if (!used.contains(owned.get()))
            continue;
        QSet<QString> own;
        for (const auto& field : owned->Fields)
            own.insert(field->FieldName);
        for (const QString& name : own)
            ++columnTables[name];
    }

    QSet<QString> columnLabels;
    for (const auto& owned : FTables) {
        TLKTable* table = owned.get();
        if (!used.contains(table))
            continue;
        const QString alias = QStringLiteral("Tbl_%1").arg(table->TableNo);
        fromList << names.Typed(TableNameSql(table)) + QLatin1Char(' ') + alias;

        if (!table->JoinCondition.isEmpty())
            FWhereList << names.Typed(table->JoinCondition);

        for (const auto& ownedField : table->Fields) {
            TLKField* field = ownedField.get();
            if (field->Selected) {
                QString item = alias + QLatin1Char('.') + names.Identifier(field->FieldName);
                // Result columns need names of their own (letter case aside):
                // a column whose name an earlier one took (the same field of
                // two tables) is renamed after its table's alias number.
                QString label = field->FieldName;
                for (int n = 0; columnLabels.contains(label.toUpper()); ++n)
                    label = QStringLiteral("%1_%2").arg(field->FieldName).arg(table->TableNo) +
                            (n > 0 ? QStringLiteral("_%1").arg(n) : QString());
                columnLabels.insert(label.toUpper());
                if (label != field->FieldName)
                    item += QStringLiteral(" AS ") + names.Identifier(label);
                FSelectList << item;
            }
            if (field->ConditionSQL.isEmpty())
                continue;
            QString column = names.Identifier(field->FieldName);
            if (columnTables.value(field->FieldName) > 1)
                column = alias + QLatin1Char('.') + column;
            FWhereList << field->ConditionTerm(column);
            // The same tests that decide whether the condition names the
            // parameter: a block with an operator outside the comparison
            // table, or a link outside the link table, is left out of it.
            if (UsesValue(field->LowValue))
                FParamList.append({ParamName('a', *field), field});
            if (IsLinkOperator(field->BoolBetweenFields) && UsesValue(field->HighValue))
                FParamList.append({ParamName('b', *field), field});
        }
    }

    if (FSelectList.isEmpty()) {
        // No statement: nothing to bind either.
        FParamList.clear();
        FWhereList.clear();
        return FSQLText;
    }

    if (!FIncludeFields.isEmpty()) {
        const QString include = IncludeFieldsText();
        if (!include.isEmpty())
            FSelectList.prepend(names.Typed(include));
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
    FDelimitedNames = names.Delimited();
    return FSQLText;
}

bool TLarkspan::BuildQuery(TIBQuery* query)
{
    MarkQueryTables();
    GenerateSQL();
    if (FSQLText.isEmpty() || !query)
        return false;

    // Delimited names exist only in dialect 3 databases, and only a dialect 3
    // statement reads double quotes as a name rather than as a string.
    const bool dialect3 = FIBDataBase && FIBDataBase->DBSQLDialect() >= 3;
    query->SetSQLDialect(FDelimitedNames && dialect3 ? 3 : 0);
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
