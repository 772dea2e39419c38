#include "designer/ViewTree.h"

#include "core/Errors.h"

int TViewTree::AddLast(int parent, const QString& text)
{
    int level = 0;
    if (parent >= 0) {
        // The parent must lie on the path from a top-level node to the last node.
        bool onPath = false;
        for (int at = Count() - 1; at >= 0 && !onPath; at = FNodes[size_t(at)].Parent)
            onPath = at == parent;
        if (!onPath)
            throw ETreeViewError(QStringLiteral("Node %1 cannot take a child after node %2")
                                     .arg(parent)
                                     .arg(Count() - 1));
        level = FNodes[size_t(parent)].Level + 1;
    }
    FNodes.push_back(Node{text, parent, level});
    return Count() - 1;
}

std::vector<int> TViewTree::Children(int parent) const
{
    std::vector<int> result;
    for (int i = parent + 1; i < Count(); ++i) {
        const Node& node = FNodes[size_t(i)];
        if (parent >= 0 && node.Level <= FNodes[size_t(parent)].Level)
            break;   // past the parent's subtree
        if (node.Parent == parent)
            result.push_back(i);
    }
    return result;
}

int TViewTree::TopLevelCount() const
{
    int count = 0;
    for (const Node& node : FNodes)
        count += node.Parent < 0 ? 1 : 0;
    return count;
}
