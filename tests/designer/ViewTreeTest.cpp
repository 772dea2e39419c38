// The designer's tree of nodes as data: pre-order numbering, the rule that
// keeps it, and the indented text of the view cache read back into it.
#include <QStringList>
#include <gtest/gtest.h>

#include "common/ErrorText.h"
#include "designer/TreeText.h"
#include "designer/ViewTree.h"

namespace {

// The nodes as "index:parent:level:text" lines.
QStringList Dump(const TViewTree& tree)
{
    QStringList out;
    for (int i = 0; i < tree.Count(); ++i)
        out << QStringLiteral("%1:%2:%3:%4").arg(i).arg(tree[i].Parent).arg(tree[i].Level).arg(tree[i].Text);
    return out;
}

QString AddError(TViewTree& tree, int parent)
{
    return ErrorOf<ETreeViewError>([&] { tree.AddLast(parent, "late"); });
}

// R { A { A1 }, B }, S
TViewTree Sample()
{
    TViewTree tree;
    const int r = tree.AddLast(-1, "R");
    const int a = tree.AddLast(r, "A");
    tree.AddLast(a, "A1");
    tree.AddLast(r, "B");   // a sibling of A: R is on the path to A1
    tree.AddLast(-1, "S");
    return tree;
}

} // namespace

TEST(ViewTree, NodesAreNumberedInPreOrder)
{
    const TViewTree tree = Sample();
    EXPECT_EQ(Dump(tree), (QStringList{"0:-1:0:R", "1:0:1:A", "2:1:2:A1", "3:0:1:B", "4:-1:0:S"}));
    EXPECT_EQ(tree.Children(-1), (std::vector<int>{0, 4}));
    EXPECT_EQ(tree.Children(0), (std::vector<int>{1, 3}));
    EXPECT_EQ(tree.Children(1), (std::vector<int>{2}));
    EXPECT_TRUE(tree.Children(2).empty());
    EXPECT_TRUE(tree.Children(4).empty());
    EXPECT_EQ(tree.TopLevelCount(), 2);

    TViewTree empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.Children(-1).empty());
    EXPECT_EQ(empty.TopLevelCount(), 0);
}

// A child may only go below the last node or one of its ancestors; anywhere
// else it would take a number that belongs to a node after it.
TEST(ViewTree, AddLastKeepsThePreOrder)
{
    TViewTree tree = Sample();
    const QStringList before = Dump(tree);
    EXPECT_EQ(AddError(tree, 0), "Node 0 cannot take a child after node 4");   // R: S came after it
    EXPECT_EQ(AddError(tree, 1), "Node 1 cannot take a child after node 4");
    EXPECT_EQ(AddError(tree, 99), "Node 99 cannot take a child after node 4");
    EXPECT_EQ(Dump(tree), before);   // a refused node changes nothing

    // Below the last node, and below an ancestor of a deeper last node.
    EXPECT_EQ(tree.AddLast(4, "S1"), 5);
    EXPECT_EQ(tree.AddLast(5, "S11"), 6);
    EXPECT_EQ(tree.AddLast(4, "S2"), 7);
    EXPECT_EQ(tree[7].Level, 1);
    EXPECT_EQ(tree.Children(4), (std::vector<int>{5, 7}));

    TViewTree empty;
    EXPECT_EQ(AddError(empty, 0), "Node 0 cannot take a child after node -1");
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(ViewTree, TreeTextWritesTheNodesAndReadsThemBack)
{
    TViewTree tree;
    const int root = tree.AddLast(-1, "Employee");
    const int dept = tree.AddLast(root, QString::fromUtf8("Osztály Ő"));
    tree.AddLast(dept, "Country");
    tree.AddLast(root, QString::fromUtf8("Fűtés"));
    tree.AddLast(-1, "Other");
    const QByteArray expected = QByteArray("Employee\r\n") + "\tOszt\xE1ly \xD5\r\n" + "\t\tCountry\r\n" +
                                "\tF\xFBt\xE9s\r\n" + "Other\r\n";
    EXPECT_EQ(TreeText::Save(tree), expected);

    TViewTree copy;
    copy.AddLast(-1, "replaced by the load");
    TreeText::Load(copy, expected);
    EXPECT_EQ(Dump(copy), Dump(tree));
    EXPECT_EQ(TreeText::Save(TViewTree()), QByteArray());

    // A level error leaves no half-built tree.
    EXPECT_EQ(ErrorOf<ETreeViewError>([&] { TreeText::Load(copy, "R\r\n\tA\r\n\t\t\tDeep\r\n"); }),
              "Invalid level (3) for item \"Deep\"");
    EXPECT_TRUE(copy.IsEmpty());
}

// Display names may hold anything: every text comes back as the same node at
// the same place, and writing it again gives the same bytes.
TEST(ViewTree, AwkwardTextsRoundTrip)
{
    const QStringList awkward = {"two\r\nlines", " lead", "\tC", "lone\rCR", "end\n",
                                 QString("nul") + QChar(0) + "inside", "\x01marker first",
                                 "back\\slash \\r", "", "trailing  ", QString::fromUtf8(" Ő\nű")};
    TViewTree tree;
    const int root = tree.AddLast(-1, "R");
    int parent = root;
    for (const QString& text : awkward) {
        parent = tree.AddLast(parent, text);   // a chain, so that a level error shows
    }
    for (const QString& text : awkward)
        tree.AddLast(root, text);
    tree.AddLast(-1, " top");

    const QByteArray saved = TreeText::Save(tree);
    EXPECT_EQ(saved.count('\n'), tree.Count());   // one line per node
    EXPECT_FALSE(saved.contains('\0'));
    TViewTree copy;
    TreeText::Load(copy, saved);
    EXPECT_EQ(Dump(copy), Dump(tree));
    EXPECT_EQ(TreeText::Save(copy), saved);

    // One escaped line as bytes; a plain name with a backslash stays as it is.
    TViewTree small;
    const int employee = small.AddLast(-1, "Employee");
    small.AddLast(employee, " Dept\\x\r\n");
    small.AddLast(employee, "Plain \\ name");
    EXPECT_EQ(TreeText::Save(small), QByteArray("Employee\r\n\t\x01 Dept\\\\x\\r\\n\r\n\tPlain \\ name\r\n"));
}
