#pragma once
#include <QByteArray>

#include "designer/TreeText.h"

class QTreeWidget;

// The tree text of a tree control's nodes (see TreeText).
namespace TreeText {
QByteArray Save(QTreeWidget* tree);
// Clears the tree and rebuilds it; an error leaves it empty.
void Load(QTreeWidget* tree, const QByteArray& text);
}
