#pragma once

// What the designer asks of the controls that show its model: a tree of the
// model's nodes and a list of the selected table's fields. The designer
// itself needs none; a view adapter that implements this is installed when
// controls are set, and every call comes on the thread that owns them.
class TDesignerViews {
public:
    virtual ~TDesignerViews() = default;
    // Both the tree and the list control are set.
    virtual bool Complete() const = 0;
    // A tree control is set and shows no node.
    virtual bool ShowsEmptyTree() const = 0;
    // Empties the field list.
    virtual void ClearFieldList() = 0;
    // Empties the tree.
    virtual void ClearTree() = 0;
    // Shows the model's tree of nodes in place of what the tree showed;
    // with selectFirst, the first node becomes the current one (which lists
    // its table's fields).
    virtual void ShowTree(bool selectFirst) = 0;
    // Makes the first node current and lists its table's fields, also when
    // it is current already (after the model's states have changed).
    virtual void ShowFirstTable() = 0;
};
