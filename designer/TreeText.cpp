#include "designer/TreeText.h"

#include <QList>

#include "core/CodePage.h"
#include "core/Errors.h"

namespace {

// A node text that would not read back as itself on one line, at its own
// level, is written as this marker followed by the text with backslash, CR,
// LF and NUL escaped: one that begins with a blank or a TAB (read as
// indentation), holds a line break or a NUL (read as the end of the line or
// of the text), or begins with the marker itself. Other texts are written
// as they are.
constexpr char EscapeMarker = '\x01';

bool NeedsEscape(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    const char first = text[0];
    if (first == ' ' || first == '\t' || first == EscapeMarker)
        return true;
    for (char c : text)
        if (c == '\r' || c == '\n' || c == '\0')
            return true;
    return false;
}

QByteArray Escape(const QByteArray& text)
{
    if (!NeedsEscape(text))
        return text;
    QByteArray out(1, EscapeMarker);
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '\\': out.append("\\\\", 2); break;
        case '\r': out.append("\\r", 2); break;
        case '\n': out.append("\\n", 2); break;
        case '\0': out.append("\\0", 2); break;
        default: out.append(c); break;
        }
    }
    return out;
}

QByteArray Unescape(const QByteArray& text)
{
    if (text.isEmpty() || text[0] != EscapeMarker)
        return text;
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            c = text[++i];
            if (c == 'r')
                c = '\r';
            else if (c == 'n')
                c = '\n';
            else if (c == '0')
                c = '\0';
        }
        out.append(c);
    }
    return out;
}

void SaveNodes(const TViewTree& tree, QByteArray& out)
{
    for (int i = 0; i < tree.Count(); ++i) {
        const TViewTree::Node& node = tree[i];
        out.append(node.Level, '\t');
        out.append(Escape(CodePage::ToAnsi(node.Text)));
        out.append("\r\n", 2);
    }
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

} // namespace

namespace TreeText {

QByteArray Save(const TViewTree& tree)
{
    QByteArray out;
    SaveNodes(tree, out);
    return out;
}

void Load(TViewTree& tree, const QByteArray& text)
{
    tree.Clear();
    try {
        int last = -1;       // the node added just before
        int lastLevel = 0;   // its level in the tree
        for (const QByteArray& line : SplitLines(text)) {
            int level = 0;
            while (level < line.size() && (line[level] == '\t' || line[level] == ' '))
                ++level;
            const QString nodeText = CodePage::FromAnsi(Unescape(line.mid(level)));
            if (last < 0) {
                last = tree.AddLast(-1, nodeText);
                lastLevel = 0;
            } else if (level == lastLevel) {
                last = tree.AddLast(tree[last].Parent, nodeText);
            } else if (level == lastLevel + 1) {
                last = tree.AddLast(last, nodeText);
                lastLevel = level;
            } else if (level > lastLevel) {
                throw ETreeViewError(QStringLiteral("Invalid level (%1) for item \"%2\"")
                                         .arg(level).arg(nodeText));
            } else {
                // Climb from the parent to the first ancestor whose level is
                // not greater than the line's; the new node becomes its sibling.
                int ancestor = tree[last].Parent;
                int ancestorLevel = lastLevel - 1;
                while (ancestorLevel > level) {
                    ancestor = tree[ancestor].Parent;
                    --ancestorLevel;
                }
                last = tree.AddLast(tree[ancestor].Parent, nodeText);
                lastLevel = ancestorLevel;
            }
        }
    } catch (...) {
        tree.Clear();   // never leave a half-built tree behind
        throw;
    }
}

} // namespace TreeText
