#include "designer/view/TreeNodes.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <vector>

namespace {
// Number of nodes in the subtree of item, item included.
int SubtreeSize(const QTreeWidgetItem* item)
{
    int size = 1;
    for (int i = 0; i < item->childCount(); ++i)
        size += SubtreeSize(item->child(i));
    return size;
}

// Pre-order search for the node at position target; counter holds the
// position of item on entry.
QTreeWidgetItem* FindAt(QTreeWidgetItem* item, int target, int& counter)
{
    if (counter == target)
        return item;
    ++counter;
    for (int i = 0; i < item->childCount(); ++i) {
        if (QTreeWidgetItem* found = FindAt(item->child(i), target, counter))
            return found;
    }
    return nullptr;
}
}

namespace TreeNodes {
int AbsoluteIndex(const QTreeWidgetItem* item)
{
    if (!item)
        return -1;
    int index = 0;
    if (const QTreeWidgetItem* parent = item->parent()) {
        index = AbsoluteIndex(parent) + 1;
        const int own = parent->indexOfChild(const_cast<QTreeWidgetItem*>(item));
        for (int i = 0; i < own; ++i)
            index += SubtreeSize(parent->child(i));
        return index;
    }
    QTreeWidget* tree = item->treeWidget();
    if (!tree)
        return -1;
    const int own = tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    for (int i = 0; i < own; ++i)
        index += SubtreeSize(tree->topLevelItem(i));
    return index;
}

QTreeWidgetItem* ItemAt(QTreeWidget* tree, int absoluteIndex)
{
    if (!tree || absoluteIndex < 0)
        return nullptr;
    int counter = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (QTreeWidgetItem* found = FindAt(tree->topLevelItem(i), absoluteIndex, counter))
            return found;
    }
    return nullptr;
}

int NodeCount(QTreeWidget* tree)
{
    if (!tree)
        return 0;
    int count = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        count += SubtreeSize(tree->topLevelItem(i));
    return count;
}

QTreeWidgetItem* FirstNode(QTreeWidget* tree)
{
    return tree && tree->topLevelItemCount() > 0 ? tree->topLevelItem(0) : nullptr;
}

QTreeWidgetItem* AddChildLast(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& text)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    if (parent)
        parent->addChild(item);
    else if (tree)
        tree->addTopLevelItem(item);
    else {
        delete item;
        return nullptr;
    }
    return item;
}

void Show(QTreeWidget* tree, const TViewTree& nodes)
{
    if (!tree)
        return;
    tree->clear();
    // The items are linked while they belong to no tree yet, which costs
    // nothing per item, and then handed over at once.
    std::vector<QTreeWidgetItem*> items(size_t(nodes.Count()), nullptr);
    QList<QTreeWidgetItem*> topLevel;
    for (int i = 0; i < nodes.Count(); ++i) {
        auto* item = new QTreeWidgetItem(QStringList{nodes[i].Text});
        items[size_t(i)] = item;
        if (nodes[i].Parent >= 0)
            items[size_t(nodes[i].Parent)]->addChild(item);
        else
            topLevel.append(item);
    }
    tree->addTopLevelItems(topLevel);
}

namespace {
void AddNodes(const QTreeWidgetItem* item, int parent, TViewTree& nodes)
{
    const int own = nodes.AddLast(parent, item->text(0));
    for (int i = 0; i < item->childCount(); ++i)
        AddNodes(item->child(i), own, nodes);
}
}

TViewTree Nodes(QTreeWidget* tree)
{
    TViewTree nodes;
    if (tree)
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            AddNodes(tree->topLevelItem(i), -1, nodes);
    return nodes;
}
}

TreeUpdateBracket::TreeUpdateBracket(QTreeWidget* tree)
    : FTree(tree), FWasEnabled(tree ? tree->updatesEnabled() : true)
{
    if (FTree)
        FTree->setUpdatesEnabled(false);
}

TreeUpdateBracket::~TreeUpdateBracket()
{
    if (FTree)
        FTree->setUpdatesEnabled(FWasEnabled);
}
