// The designer's controls: the tree that shows the model's nodes, the field
// list that shows the fields of the table selected in the tree, with a check
// box per field (its Selected flag) and its condition text, and the value
// entry through OnFieldValueRequired.

#include <QHeaderView>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QVariant>
#include <cmath>

#include "core/ExceptionHandler.h"
#include "designer/Larkspan.h"
#include "designer/view/LarkspanWidgetViews.h"
#include "designer/view/TreeNodes.h"

namespace {

// Sets a flag for the lifetime of the guard and restores its previous value
// on every path, also when an exception passes.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : FFlag(flag), FOld(flag) { FFlag = true; }
    ~FlagGuard() { FFlag = FOld; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;
private:
    bool& FFlag;
    bool FOld;
};

// Suspends repainting of a widget while alive.
class UpdatesGuard {
public:
    explicit UpdatesGuard(QWidget* w) : FWidget(w), FWasEnabled(w->updatesEnabled())
    {
        FWidget->setUpdatesEnabled(false);
    }
    ~UpdatesGuard() { FWidget->setUpdatesEnabled(FWasEnabled); }
    UpdatesGuard(const UpdatesGuard&) = delete;
    UpdatesGuard& operator=(const UpdatesGuard&) = delete;
private:
    QWidget* FWidget;
    bool FWasEnabled;
};

// Width times factor, rounded to the nearest integer with halves going to
// the even neighbour (441 * 0.33 = 145.53 -> 146, 441 * 0.66 = 291.06 -> 291).
int ColumnWidth(int width, double factor)
{
    const double exact = width * factor;
    double whole = std::floor(exact);
    const double frac = exact - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return int(whole);
}

// A value that came back from the value-required event is taken over only
// when its text is not empty and its operator indexes CompareOperators;
// otherwise the block is left without a value.
void TakeValue(TLKField& field, const TFieldValueExpression& answer, int which)
{
    TValueBlock& block = field.Value(which);
    if (answer.Value.isEmpty() || !IsCompareOperator(answer.Operator)) {
        block.Present = 0;
        return;
    }
    field.SetValueText(answer.Value, which);
    if (block.Present)
        block.Operator = answer.Operator;
}

}   // namespace

// ---- the view adapter ----

void TLarkspanWidgetViews::SetTree(QTreeWidget* tree, bool installHandlers)
{
    FTree = tree;
    if (!tree || !installHandlers)
        return;
    TLarkspan* designer = &FDesigner;
    QObject::connect(tree, &QTreeWidget::currentItemChanged, designer,
                     [designer](QTreeWidgetItem* current, QTreeWidgetItem*) {
                         Guarded([&] { designer->TreeViewChange(current); });
                     });
}

void TLarkspanWidgetViews::SetList(QTreeWidget* list, bool installHandlers)
{
    FList = list;
    if (!list || !installHandlers)
        return;
    TLarkspan* designer = &FDesigner;
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, designer,
                     [designer](QTreeWidgetItem*, int) { Guarded([&] { designer->ListViewDblClick(); }); });
    QObject::connect(list, &QTreeWidget::itemChanged, designer, [designer](QTreeWidgetItem* item, int) {
        Guarded([&] { designer->ListViewChange(item); });
    });
}

void TLarkspanWidgetViews::ClearFieldList()
{
    if (FList)
        FList->clear();
}

void TLarkspanWidgetViews::ClearTree()
{
    if (FTree)
        FTree->clear();
}

void TLarkspanWidgetViews::ShowTree(bool selectFirst)
{
    if (!FTree)
        return;
    TreeUpdateBracket bracket(FTree);
    TreeNodes::Show(FTree, FDesigner.ViewTree());
    if (!selectFirst)
        return;
    if (QTreeWidgetItem* first = TreeNodes::FirstNode(FTree))
        FTree->setCurrentItem(first);
}

void TLarkspanWidgetViews::ShowFirstTable()
{
    // Selecting a node that is already selected reports no change, so the
    // list is refilled here.
    QTreeWidgetItem* first = TreeNodes::FirstNode(FTree);
    if (!first)
        return;
    if (FTree->currentItem() != first) {
        FTree->setCurrentItem(first);
    } else if (TLKTable* table = FindTableByNode(FDesigner.Tables(), 0)) {
        if (table->Fields.Count() == 0)
            FDesigner.LoadTableFields(table);
        FDesigner.FillFieldList(table);
    }
}

// ---- the designer's members that deal with its controls ----

TLarkspanWidgetViews& TLarkspan::WidgetViews()
{
    // The widget views are the only views a designer is given.
    if (!FViews)
        FViews = std::make_unique<TLarkspanWidgetViews>(*this);
    return static_cast<TLarkspanWidgetViews&>(*FViews);
}

QTreeWidget* TLarkspan::TreeView() const
{
    return FViews ? static_cast<const TLarkspanWidgetViews&>(*FViews).Tree() : nullptr;
}

QTreeWidget* TLarkspan::ListView() const
{
    return FViews ? static_cast<const TLarkspanWidgetViews&>(*FViews).List() : nullptr;
}

void TLarkspan::SetTreeView(QTreeWidget* value)
{
    if (value == TreeView())
        return;
    WidgetViews().SetTree(value, !FDesigning);
}

void TLarkspan::SetListView(QTreeWidget* value)
{
    if (value == ListView())
        return;
    WidgetViews().SetList(value, !FDesigning);
    if (value && FAutoSetupListView)
        SetupListView();
}

bool TLarkspan::MarkTableNode(QTreeWidgetItem* node)
{
    if (!node)
        return false;
    LinkTableTree(FTables);
    TLKTable* table = FindTableByNode(FTables, TreeNodes::AbsoluteIndex(node));
    return table ? MarkTable(table) : false;
}

TLKField* TLarkspan::FieldOfItem(const QTreeWidgetItem* item)
{
    if (!item)
        return nullptr;
    return static_cast<TLKField*>(item->data(0, Qt::UserRole).value<void*>());
}

void TLarkspan::SetupListView()
{
    QTreeWidget* list = ListView();
    if (!list)
        return;
    // Check boxes live on the items (see FillFieldList); the report style is
    // a flat two-column list without root decoration.
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setColumnCount(2);
    list->setHeaderLabels({LarkspanMessages::FieldNameCaption(), LarkspanMessages::ValueCaption()});
    list->setHeaderHidden(false);
    // Fixed column widths: the last column must not stretch over its width.
    list->header()->setStretchLastSection(false);
    const int width = list->width();
    list->setColumnWidth(0, ColumnWidth(width, 0.33));
    list->setColumnWidth(1, ColumnWidth(width, 0.66));
}

void TLarkspan::FillFieldList(TLKTable* table)
{
    QTreeWidget* list = ListView();
    if (!list)
        return;
    UpdatesGuard updates(list);
    FlagGuard filling(FFillingList);

    // Drop the items' references to the fields before the items go, so no
    // change notification of the removal can reach a field through them.
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setData(0, Qt::UserRole, QVariant());
    list->clear();

    if (!table)
        return;
    for (const auto& owned : table->Fields) {
        TLKField* field = owned.get();
        if (!field->Visible)
            continue;
        auto* item = new QTreeWidgetItem(list);
        item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate);
        item->setData(0, Qt::UserRole, QVariant::fromValue<void*>(field));
        item->setCheckState(0, field->Selected ? Qt::Checked : Qt::Unchecked);
        if (field->DisplayName.isEmpty())
            field->DisplayName = FieldDisplayNameOf(table->TableName, field->FieldName);
        item->setText(0, field->DisplayName);
        item->setText(1, field->ConditionText);
    }
}

void TLarkspan::TreeViewChange(QTreeWidgetItem* node)
{
    if (!node)
        return;
    TLKTable* table = FindTableByNode(FTables, TreeNodes::AbsoluteIndex(node));
    if (!table)   // a node without a table of the model: nothing to list
        return;
    if (table->Fields.Count() == 0)
        LoadTableFields(table);
    FillFieldList(table);
}

void TLarkspan::ListViewChange(QTreeWidgetItem* item)
{
    QTreeWidget* tree = TreeView();
    if (!tree || !tree->currentItem() || FFillingList)
        return;
    if (TLKField* field = FieldOfItem(item))
        field->Selected = item->checkState(0) == Qt::Checked;
}

void TLarkspan::ListViewDblClick()
{
    QTreeWidget* tree = TreeView();
    if (!tree || !ListView())
        return;
    QTreeWidgetItem* node = tree->currentItem();
    if (!node)
        return;
    TLKTable* table = FindTableByNode(FTables, TreeNodes::AbsoluteIndex(node));
    if (!table)
        return;

    QTreeWidget* list = ListView();
    QTreeWidgetItem* item = list->currentItem();
    if (!item || !item->isSelected()) {
        const QList<QTreeWidgetItem*> selected = list->selectedItems();
        item = selected.isEmpty() ? nullptr : selected.first();
    }
    TLKField* field = FieldOfItem(item);
    if (!field)
        return;

    TFieldValueExpression low = field->GetValueExpression(1);
    TFieldValueExpression high = field->GetValueExpression(2);
    if (!OnFieldValueRequired)
        return;

    bool clearValues = false;
    // Copy the handler: it may reassign OnFieldValueRequired while it runs.
    const TOnFieldValueRequired handler = OnFieldValueRequired;
    handler(list, table->TableName, field->FieldName, field->DisplayName,
            IBTypeToFieldType(qint16(field->FieldType)), field->CharLength,
            field->MainBool, field->BoolBetweenFields, low, high, clearValues);

    // The handler may have refilled the list; the item is then gone and
    // the new list already shows the field as it stands.
    if (list != ListView() || list->indexOfTopLevelItem(item) < 0 || FieldOfItem(item) != field)
        return;

    if (clearValues) {
        field->ConditionText.clear();
        field->ConditionSQL.clear();
        field->LowValue.Present = 0;
        field->HighValue.Present = 0;
        item->setText(1, QString());
        return;
    }

    TakeValue(*field, low, 1);
    if (field->BoolBetweenFields != 0)
        TakeValue(*field, high, 2);
    field->BuildCondition();
    item->setText(1, field->ConditionText);
}
