#include "designer/TreeText.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "dbaccess/CodePage.h"
#include "dbaccess/Errors.h"

namespace {

void SaveNode(const QTreeWidgetItem* item, int level, QByteArray& out)
{
    out.append(level, '\t');
    out.append(CodePage::ToAnsi(item->text(0)));
    out.append("\r\n", 2);
    for (int i = 0; i < item->childCount(); ++i)
        SaveNode(item->child(i), level + 1, out);
}

// The text's lines: split at CR LF, a lone CR and a lone LF; a NUL ends the
// text. A line break at the very end does not start another line.
QList<QByteArray> SplitLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    qsizetype end = text.indexOf('\0');
    if (end < 0)
        end = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.append(text.mid(start, i - start));
            if (c == '\r' && i + 1 < end && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < end)
        lines.append(text.mid(start, end - start));
    return lines;
}

QTreeWidgetItem* AddNode(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& text)
{
    auto item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, text);
    return item;
}

} // namespace

namespace TreeText {

QByteArray Save(QTreeWidget* tree)
{
    QByteArray out;
    if (!tree)
        return out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        SaveNode(tree->topLevelItem(i), 0, out);
    return out;
}

void Load(QTreeWidget* tree, const QByteArray& text)
{
    if (!tree)
        return;
    tree->clear();
    try {
        QTreeWidgetItem* last = nullptr;   // the node added just before
        int lastLevel = 0;                 // its level in the tree
        for (const QByteArray& line : SplitLines(text)) {
            int level = 0;
            while (level < line.size() && (line[level] == '\t' || line[level] == ' '))
                ++level;
            const QString nodeText = CodePage::FromAnsi(line.mid(level));
            if (!last) {
                last = AddNode(tree, nullptr, nodeText);
                lastLevel = 0;
            } else if (level == lastLevel) {
                last = AddNode(tree, last->parent(), nodeText);
            } else if (level == lastLevel + 1) {
                last = AddNode(tree, last, nodeText);
                lastLevel = level;
            } else if (level > lastLevel) {
                throw ETreeViewError(QStringLiteral("Invalid level (%1) for item \"%2\"")
                                         .arg(level).arg(nodeText));
            } else {
                // Climb from the parent to the first ancestor whose level is
                // not greater than the line's; the new node becomes its sibling.
                QTreeWidgetItem* ancestor = last->parent();
                int ancestorLevel = lastLevel - 1;
                while (ancestorLevel > level) {
                    ancestor = ancestor->parent();
                    --ancestorLevel;
                }
                last = AddNode(tree, ancestor->parent(), nodeText);
                lastLevel = ancestorLevel;
            }
        }
    } catch (...) {
        tree->clear();   // never leave a half-built tree behind
        throw;
    }
}

} // namespace TreeText
