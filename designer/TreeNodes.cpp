#include "designer/TreeNodes.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

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
