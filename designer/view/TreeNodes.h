#pragma once
#include <QString>

#include "designer/ViewTree.h"

class QTreeWidget;
class QTreeWidgetItem;

// Tree view helpers: nodes are addressed by their absolute index, the
// position in a depth-first pre-order count from 0.
namespace TreeNodes {
int AbsoluteIndex(const QTreeWidgetItem* item);
QTreeWidgetItem* ItemAt(QTreeWidget* tree, int absoluteIndex);   // none: nullptr
int NodeCount(QTreeWidget* tree);
QTreeWidgetItem* FirstNode(QTreeWidget* tree);
// Appends a node as the last child of parent (a top-level node when parent is null).
QTreeWidgetItem* AddChildLast(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& text);
// Replaces the tree's nodes with those of nodes.
void Show(QTreeWidget* tree, const TViewTree& nodes);
// The tree's nodes as data.
TViewTree Nodes(QTreeWidget* tree);
}

// Suspends repainting of a tree while it is alive; restores it on every path.
class TreeUpdateBracket {
public:
    explicit TreeUpdateBracket(QTreeWidget* tree);
    ~TreeUpdateBracket();
    TreeUpdateBracket(const TreeUpdateBracket&) = delete;
    TreeUpdateBracket& operator=(const TreeUpdateBracket&) = delete;
private:
    QTreeWidget* FTree;
    bool FWasEnabled;
};
