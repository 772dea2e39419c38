#pragma once
#include <QMetaObject>
#include <QPointer>
#include <QTreeWidget>

#include "designer/DesignerViews.h"

class TLarkspan;

// The designer's model shown in two tree controls: the tree of tables and
// the field list of the current table. Their events go to the designer
// (TreeViewChange, ListViewChange, ListViewDblClick).
class TLarkspanWidgetViews : public TDesignerViews {
public:
    explicit TLarkspanWidgetViews(TLarkspan& designer) : FDesigner(designer) {}

    QTreeWidget* Tree() const { return FTree; }
    QTreeWidget* List() const { return FList; }
    // The previous control keeps the handlers it was given; the connections
    // end with the designer or the control, whichever goes first.
    void SetTree(QTreeWidget* tree, bool installHandlers);
    void SetList(QTreeWidget* list, bool installHandlers);

    bool Complete() const override { return FTree && FList; }
    bool ShowsEmptyTree() const override { return FTree && FTree->topLevelItemCount() == 0; }
    void ClearFieldList() override;
    void ClearTree() override;
    void ShowTree(bool selectFirst) override;
    void ShowFirstTable() override;

private:
    TLarkspan& FDesigner;
    QPointer<QTreeWidget> FTree;
    QPointer<QTreeWidget> FList;
};
