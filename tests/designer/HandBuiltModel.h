#pragma once
// A designer's model put together in a test, without a database and without
// controls: tables with their fields, the nodes of the tree, the columns of
// the indexes that join them, and conditions entered as the value dialog
// enters them.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

#include "core/UserLocale.h"
#include "designer/Larkspan.h"

namespace HandBuilt {

// A field's name and its type code (RDB$FIELD_TYPE).
using FieldSpec = QPair<QString, qint32>;

// Appends a table numbered after the last one, as the last node below the
// parent table's node (or as the root when parentNo is -1), with the given
// fields in that order.
inline TLKTable* AddTable(TLarkspan& lk, const QString& name, int parentNo, const QList<FieldSpec>& fields,
                          const QString& ownIndex = QString(), const QString& parentIndex = QString())
{
    TLKTables& tables = lk.Tables();
    const QString linked = parentNo >= 0 ? tables[parentNo]->TableName : QString();
    const int parentNode = parentNo >= 0 ? tables[parentNo]->NodeIndex : -1;
    const int node = lk.ViewTree().AddLast(parentNode, name);
    TLKTable* table = tables.Add(
        std::make_unique<TLKTable>(name, linked, ownIndex, parentIndex, tables.Count(), parentNo, node));
    for (const FieldSpec& f : fields)
        table->Fields.Add(std::make_unique<TLKField>(f.first, f.first, f.second, 0, true, false, node,
                                                     table->Fields.Count()));
    LinkTableTree(tables);
    return table;
}

inline TLKField* Field(TLKTable* table, const QString& name)
{
    for (const auto& f : table->Fields)
        if (f->FieldName == name)
            return f.get();
    ADD_FAILURE() << "no field " << name.toStdString();
    return nullptr;
}

// Gives the field a condition as the designer takes the value dialog's
// answer: a value counts when its text is not empty, its operator is a
// comparison and the text is a value of the field's type; the second one
// only with a link.
inline void Answer(TLKField* field, quint8 lowOp, const QString& low, quint8 link = fboNone, quint8 highOp = 0,
                   const QString& high = QString())
{
    field->BoolBetweenFields = link;
    auto take = [field](quint8 op, const QString& text, int which) {
        TValueBlock& block = field->Value(which);
        block.Present = 0;
        if (text.isEmpty() || !IsCompareOperator(op))
            return;
        field->SetValueText(text, which);
        if (block.Present)
            block.Operator = op;
    };
    take(lowOp, low, 1);
    if (link != fboNone)
        take(highOp, high, 2);
    field->BuildCondition();
}

// Removes every tick and condition.
inline void ClearDesign(TLarkspan& lk)
{
    for (const auto& t : lk.Tables())
        for (const auto& f : t->Fields) {
            f->Selected = false;
            f->MainBool = f->BoolBetweenFields = 0;
            f->LowValue = TValueBlock();
            f->HighValue = TValueBlock();
            f->BuildCondition();
        }
}

// Runs a test under a fixed locale (decimal point, day first) and puts the
// previous one back.
class FixedLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = UserLocale::Current();
        UserLocale l;
        l.DecimalSeparator = '.';
        l.ThousandSeparator = ',';
        l.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
        l.LongTimeFormat = QStringLiteral("HH:mm:ss");
        UserLocale::SetCurrent(l);
    }
    void TearDown() override { UserLocale::SetCurrent(saved); }

private:
    UserLocale saved;
};

}   // namespace HandBuilt
