// The tree's nodes as indented text: the bytes written, and the level rules
// of reading them back.
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <gtest/gtest.h>

#include "core/Errors.h"
#include "designer/view/WidgetTreeText.h"

namespace {

// The tree as "level:text" lines in pre-order.
void Dump(const QTreeWidgetItem* item, int level, QStringList& out)
{
    out << QStringLiteral("%1:%2").arg(level).arg(item->text(0));
    for (int i = 0; i < item->childCount(); ++i)
        Dump(item->child(i), level + 1, out);
}

QStringList Dump(const QTreeWidget& tree)
{
    QStringList out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        Dump(tree.topLevelItem(i), 0, out);
    return out;
}

QStringList Load(QTreeWidget& tree, const QByteArray& text)
{
    TreeText::Load(&tree, text);
    return Dump(tree);
}

QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& text)
{
    auto item = new QTreeWidgetItem(parent);
    item->setText(0, text);
    return item;
}

} // namespace

TEST(TreeText, SavesTabIndentedWindows1250LinesAndReadsThemBack)
{
    QTreeWidget tree;
    auto root = new QTreeWidgetItem(&tree);
    root->setText(0, "Employee");
    QTreeWidgetItem* a = Node(root, QString::fromUtf8("Osztály Ő"));
    Node(a, "Country");
    Node(root, QString::fromUtf8("Fűtés"));
    auto second = new QTreeWidgetItem(&tree);
    second->setText(0, "Other");

    const QByteArray expected = QByteArray("Employee\r\n") + "\tOszt\xE1ly \xD5\r\n" +
                                "\t\tCountry\r\n" + "\tF\xFBt\xE9s\r\n" + "Other\r\n";
    EXPECT_EQ(TreeText::Save(&tree), expected);

    QTreeWidget copy;
    new QTreeWidgetItem(&copy);   // loading replaces what was there
    EXPECT_EQ(Load(copy, expected), Dump(tree));
    EXPECT_EQ(TreeText::Save(&copy), expected);

    QTreeWidget empty;
    EXPECT_TRUE(TreeText::Save(&empty).isEmpty());
    EXPECT_TRUE(Load(copy, QByteArray()).isEmpty());
}

TEST(TreeText, LevelRules)
{
    QTreeWidget tree;
    // The first line is a top-level node whatever its level; the next is
    // compared with the level that node really has.
    EXPECT_EQ(Load(tree, "\t\tA\n\tB\n\tC\n"), (QStringList{"0:A", "1:B", "1:C"}));

    // A smaller level climbs to the first ancestor not deeper than the line.
    EXPECT_EQ(Load(tree, "R\n\tA\n\t\tA1\n\t\t\tA11\n\tB\n\t\tB1\nS\n"),
              (QStringList{"0:R", "1:A", "2:A1", "3:A11", "1:B", "2:B1", "0:S"}));

    // Blanks count like TABs; the rest of the line is the node's text.
    EXPECT_EQ(Load(tree, "R\n A x\n \tA1 \n"), (QStringList{"0:R", "1:A x", "2:A1 "}));

    // More than one level deeper is an error; nothing of the tree is kept.
    try {
        TreeText::Load(&tree, "R\n\tA\n\t\t\tDeep one\n");
        FAIL() << "no error";
    } catch (const ETreeViewError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid level (3) for item \"Deep one\""));
    }
    EXPECT_EQ(tree.topLevelItemCount(), 0);
    try {
        TreeText::Load(&tree, "R\n  \t X\n");
        FAIL() << "no error";
    } catch (const ETreeViewError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid level (4) for item \"X\""));
    }
}

TEST(TreeText, LineBreaksAndTheEndOfTheText)
{
    QTreeWidget tree;
    // CR LF, a lone CR and a lone LF all end a line; a last line needs no break.
    EXPECT_EQ(Load(tree, "R\r\n\tA\r\tB\n\tC"), (QStringList{"0:R", "1:A", "1:B", "1:C"}));
    // LF CR is two breaks: the empty line between them is a top-level node.
    EXPECT_EQ(Load(tree, "R\n\r\tA"), (QStringList{"0:R", "0:", "1:A"}));
    // A NUL ends the text.
    EXPECT_EQ(Load(tree, QByteArray("R\r\n\tA\r\n\0\tB\r\n", 13)), (QStringList{"0:R", "1:A"}));
    EXPECT_TRUE(Load(tree, QByteArray("\0R\r\n", 4)).isEmpty());

    // Hand-written lines of the plain form keep their level rules: a line
    // that begins with a blank is read a level deeper, or fails.
    EXPECT_EQ(Load(tree, "R\r\n\tA\r\n\t B\r\n"), (QStringList{"0:R", "1:A", "2:B"}));
    EXPECT_THROW(TreeText::Load(&tree, "R\r\n\tA\r\n\t\t\tC\r\n"), ETreeViewError);
}

// Display names come from ini files and the registry and may hold anything:
// every node text reads back as the same single node at the same level.
TEST(TreeText, AwkwardNodeTextsReadBackAsThemselves)
{
    const QStringList awkward = {
        "two\r\nlines", " B", "\tC", "  \t mixed lead", "lone\rCR", "lone\nLF", "end\n",
        QString("nul") + QChar(0) + "inside", "\x01marker first", "back\\slash \\r",
        " \\n", "", "trailing blanks  ", QString::fromUtf8(" Ő\nű")};
    QTreeWidget source;
    auto root = new QTreeWidgetItem(&source);
    root->setText(0, "R");
    QTreeWidgetItem* parent = root;
    for (const QString& text : awkward) {
        // A chain and a sibling at every level, so that a level error shows.
        parent = Node(parent, text);
        Node(root, text);
    }
    new QTreeWidgetItem(&source);   // a second top-level node after all of it
    source.topLevelItem(1)->setText(0, " top");

    const QByteArray saved = TreeText::Save(&source);
    QTreeWidget copy;
    EXPECT_EQ(Load(copy, saved), Dump(source));
    // Written again, the same bytes: nothing grows with every cache cycle.
    EXPECT_EQ(TreeText::Save(&copy), saved);
    // One line per node, whatever the texts hold.
    EXPECT_EQ(saved.count("\r\n"), 2 + 2 * awkward.size());
    EXPECT_EQ(saved.count('\n'), 2 + 2 * awkward.size());
    EXPECT_FALSE(saved.contains('\0'));

    // The bytes of one escaped line; ordinary names stay as they were.
    QTreeWidget small;
    root = new QTreeWidgetItem(&small);
    root->setText(0, "Employee");
    Node(root, " Dept\\x\r\n");
    Node(root, "Plain \\ name");
    EXPECT_EQ(TreeText::Save(&small),
              QByteArray("Employee\r\n\t\x01 Dept\\\\x\\r\\n\r\n\tPlain \\ name\r\n"));
}
