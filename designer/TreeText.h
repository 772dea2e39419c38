#pragma once
#include <QByteArray>

#include "designer/ViewTree.h"

// The tree's nodes as indented text: one line per node in pre-order, as many
// TABs as the node's level, the text in the single-byte code page, CR LF.
// A text that would not read back as the same node (leading blanks or TABs,
// line breaks, NUL) is written as the byte 0x01 followed by the text with
// backslash, CR, LF and NUL written as backslash-backslash, backslash-r,
// backslash-n and backslash-0; every other text is written as it is.
namespace TreeText {
QByteArray Save(const TViewTree& tree);
// Clears the tree and rebuilds it (an error leaves it empty); lines split at CR LF, CR or LF, a NUL
// ends the text; leading TABs and blanks give the level. Raises
// ETreeViewError "Invalid level (%d) for item \"%s\"".
void Load(TViewTree& tree, const QByteArray& text);
}
