#pragma once
#include <QByteArray>

class QTreeWidget;

// The tree's nodes as indented text: one line per node in pre-order, as many
// TABs as the node's level, the text in the single-byte code page, CR LF.
namespace TreeText {
QByteArray Save(QTreeWidget* tree);
// Clears the tree and rebuilds it; lines split at CR LF, CR or LF, a NUL
// ends the text; leading TABs and blanks give the level. Raises
// ETreeViewError "Invalid level (%d) for item \"%s\"".
void Load(QTreeWidget* tree, const QByteArray& text);
}
