#pragma once
// A designer wired to real tree and list controls and to one of the sample
// databases, with the view of the Employee table generated; helpers to pick
// tables, check fields and enter conditions the way a user does.
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <functional>
#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"

struct DesignerTestFixture {
    TIBDatabase db;
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;

    explicit DesignerTestFixture(const QString& path, const QString& tableName = "Employee")
    {
        TestServer::configure(db, path);
        list.resize(441, 200);
        lk.SetAutoSetupListView(true);
        lk.SetIBDataBase(&db);
        lk.SetTreeView(&tree);
        lk.SetListView(&list);
        lk.SetTableName(tableName);
        lk.GenerateView();
    }

    TLKTable* Table(const QString& name)
    {
        TLKTable* t = FindTableByName(lk.Tables(), name);
        EXPECT_NE(t, nullptr) << name.toStdString();
        return t;
    }

    TLKField* Field(TLKTable* table, const QString& name)
    {
        for (const auto& f : table->Fields)
            if (f->FieldName == name)
                return f.get();
        ADD_FAILURE() << "no field " << name.toStdString();
        return nullptr;
    }

    // Selects the table's node in the tree, as a click does.
    void Select(TLKTable* table) { tree.setCurrentItem(TreeNodes::ItemAt(&tree, table->NodeIndex)); }

    QTreeWidgetItem* Item(const QString& fieldName)
    {
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            TLKField* f = TLarkspan::FieldOfItem(list.topLevelItem(i));
            if (f && f->FieldName == fieldName)
                return list.topLevelItem(i);
        }
        return nullptr;
    }

    void Check(const QString& fieldName, bool on = true)
    {
        QTreeWidgetItem* item = Item(fieldName);
        ASSERT_NE(item, nullptr) << fieldName.toStdString();
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }

    // Double-clicks the field's item with the given value-required handler.
    void Enter(const QString& fieldName, const TOnFieldValueRequired& handler)
    {
        QTreeWidgetItem* item = Item(fieldName);
        ASSERT_NE(item, nullptr) << fieldName.toStdString();
        list.setCurrentItem(item);
        lk.OnFieldValueRequired = handler;
        emit list.itemDoubleClicked(item, 0);
    }

    // A handler that answers like the value dialog's OK button.
    static TOnFieldValueRequired Answer(quint8 lowOp, const QString& low, quint8 link = 0,
                                        quint8 highOp = 0, const QString& high = QString())
    {
        return [=](QObject*, const QString&, const QString&, const QString&, TFieldType, int,
                   TFieldBoolOperators&, TFieldBoolOperators& between,
                   TFieldValueExpression& lowValue, TFieldValueExpression& highValue, bool&) {
            between = link;
            lowValue.Operator = lowOp;
            lowValue.Value = low;
            highValue.Operator = highOp;
            highValue.Value = high;
        };
    }
};
