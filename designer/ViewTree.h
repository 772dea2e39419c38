#pragma once
#include <QString>
#include <vector>

// The designer's tree of nodes as data: the texts the tree view shows, in
// depth-first pre-order. A node's index in that order is its absolute index,
// the number that tables (NodeIndex), query files and cache files use.
// Nodes are only ever added after every node so far (as the last child of a
// node on the path to the last node, or as a new top-level node), so the
// list itself is the pre-order.
class TViewTree {
public:
    struct Node {
        QString Text;
        int Parent = -1;   // absolute index of the parent; -1 for a top-level node
        int Level = 0;     // 0 for a top-level node
    };

    int Count() const { return int(FNodes.size()); }
    bool IsEmpty() const { return FNodes.empty(); }
    const Node& operator[](int index) const { return FNodes[size_t(index)]; }
    void Clear() { FNodes.clear(); }

    // Adds a node as the last child of parent (-1: a new top-level node) and
    // returns its absolute index. The parent must be the last node or one of
    // its ancestors, else the list would not stay in pre-order; any other
    // parent is a programming error and raises ETreeViewError.
    int AddLast(int parent, const QString& text);

    // The children of a node in order (-1: the top-level nodes).
    std::vector<int> Children(int parent) const;
    int TopLevelCount() const;

private:
    std::vector<Node> FNodes;
};
