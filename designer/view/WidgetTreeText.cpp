#include "designer/view/WidgetTreeText.h"

#include <QTreeWidget>

#include "designer/view/TreeNodes.h"

namespace TreeText {

QByteArray Save(QTreeWidget* tree)
{
    if (!tree)
        return {};
    return Save(TreeNodes::Nodes(tree));
}

void Load(QTreeWidget* tree, const QByteArray& text)
{
    if (!tree)
        return;
    TViewTree nodes;
    try {
        Load(nodes, text);
    } catch (...) {
        tree->clear();
        throw;
    }
    TreeNodes::Show(tree, nodes);
}

} // namespace TreeText
