// Writes the fuzz targets' seed corpus with the program's own writers:
// query files saved by the designer, cache files and tree texts it writes,
// number and value texts it shows. Usage: fuzz_make_corpus <corpus folder>.
#include "fuzz/FuzzSupport.h"

#include "core/FloatFormat.h"
#include "core/UserLocale.h"
#include "designer/view/WidgetTreeText.h"

#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

QString Root;

void Seed(const QString& target, const QString& name, const QByteArray& bytes)
{
    const QString dir = Root + "/" + target;
    QDir().mkpath(dir);
    QFile f(dir + "/" + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A design on the hand-made view: ticks and conditions of several kinds.
void Design(TLarkspan& lk, int variant)
{
    TLKTable* root = lk.Tables()[0];
    const char* texts[] = {"12", "-7", "123456789012", "1.5", "2.5E-7", "24/12/2020",
                           "10:30:00", "01/02/1999 10:30:00", "Young", "B", ""};
    for (int i = 0; i < root->Fields.Count(); ++i) {
        TLKField* f = root->Fields[i];
        f->Selected = (i + variant) % 2 == 0;
        if ((i + variant) % 3 == 0) {
            f->SetValueText(QString::fromLatin1(texts[i]), 1);
            f->LowValue.Operator = quint8(i % 6);
            f->BoolBetweenFields = quint8((i + variant) % 5);
            f->SetValueText(QString::fromLatin1(texts[(i + 3) % 11]), 2);
            f->HighValue.Operator = quint8((i + 1) % 8);
            f->MainBool = quint8(variant % 3);
        }
        f->BuildCondition();
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    FuzzSupport::App();
    Root = QString::fromLocal8Bit(argv[1]);
    UserLocale l;
    l.DecimalSeparator = '.';
    l.ThousandSeparator = ',';
    l.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    l.LongTimeFormat = QStringLiteral("HH:mm:ss");
    UserLocale::SetCurrent(l);

    QTreeWidget tree, list;
    TLarkspan lk;
    lk.SetTreeView(&tree);
    lk.SetListView(&list);
    lk.SetTableName("Employee");
    lk.SetDetailTableName("Employee_project");
    lk.SetUsePermanentCache(true);
    lk.SetPermanentCacheDir(FuzzSupport::ScratchDir());
    FuzzSupport::BuildView(tree, lk);

    // Query files: one entry, three entries, one of them marked free.
    QFile::remove(lk.QueryFileName());
    Design(lk, 0);
    lk.SaveQuery(QString::fromUtf8("Fizetés Ő"));
    Seed("query_file", "one-entry", ReadFile(lk.QueryFileName()));
    Design(lk, 1);
    lk.SaveQuery("second");
    Design(lk, 2);
    lk.SaveQuery("third");
    QByteArray three = ReadFile(lk.QueryFileName());
    Seed("query_file", "three-entries", three);
    const int entrySize = (three.size() - 16) / 3;
    three[16 + entrySize] = 1;   // the second entry marked free
    Seed("query_file", "free-entry", three);
    Seed("query_file", "partial-entry", three.left(16 + entrySize + 300));

    // Cache files and tree texts, with names that need escaping.
    lk.WriteViewToCache();
    Seed("cache_file", "view", ReadFile(FuzzSupport::ScratchDir() + "/" + lk.CacheFileName()));
    Seed("tree_text", "view", TreeText::Save(&tree));
    QTreeWidgetItem* root = tree.topLevelItem(0);
    TreeNodes::AddChildLast(&tree, root->child(0), " leading blank");
    TreeNodes::AddChildLast(&tree, root->child(0), "two\nlines\\");
    TreeNodes::AddChildLast(&tree, nullptr, QString::fromUtf8("\tŐsszes"));
    lk.ViewTree() = TreeNodes::Nodes(&tree);
    lk.WriteViewToCache();
    Seed("cache_file", "escaped-names", ReadFile(FuzzSupport::ScratchDir() + "/" + lk.CacheFileName()));
    Seed("tree_text", "escaped-names", TreeText::Save(&tree));

    // The demo's ini file and a registry export of the same names.
    Seed("ini_file", "employee", ReadFile(QStringLiteral(LARKSPAN_SOURCE_DIR "/app/employee.ini")));
    Seed("ini_file", "small", "[EMPLOYEE]\r\nDisplayName = Employees\r\nEMP_NO=Number\r\nD_EMP_NO=0\r\n");
    Seed("registry", "regedit4",
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Larkspan\\Employee]\r\n"
         "\"DisplayName\"=\"Employees\"\r\n\"EMP_NO\"=\"Number\"\r\n\"Hidden\"=dword:0000000a\r\n"
         "\r\n[HKEY_CURRENT_USER\\Software\\Larkspan\\Employee\\EMP_NO]\r\n\"Source\"=\"x\\\\y\"\r\n");
    static const char16_t unicode[] =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"A\"=\"b\"\r\n";
    Seed("registry", "version5",
         QByteArray("\xFF\xFE", 2) +
             QByteArray(reinterpret_cast<const char*>(unicode), sizeof unicode - sizeof(char16_t)));

    // Statements with parameters, literals and comments.
    Seed("param_parser", "select",
         "SELECT Tbl_0.EMP_NO, Tbl_0.\"Mixed name\"\rFROM EMPLOYEE Tbl_0\rWHERE\r"
         "(Tbl_0.SALARY < :a_0_7 OR Tbl_0.SALARY > :b_0_7) AND Tbl_0.LAST_NAME = ':not' "
         "/* :c */ -- :d\r AND Tbl_0.X = :e");
    Seed("param_parser", "metadata",
         "SELECT R.RDB$FIELD_NAME FROM RDB$RELATION_FIELDS R WHERE R.RDB$RELATION_NAME = :TableName "
         "ORDER BY R.RDB$FIELD_POSITION");

    // Number texts: picture length, picture, then a text the edit shows.
    const char* masks[] = {"", "#,##0.00", "0.00E+00", "0.0;(0.0);'zero'", "\"$\"#,##0"};
    const double values[] = {0, 1234.5, -0.0000015, 1e20, 9.995, -2.5e-300};
    int n = 0;
    for (const char* mask : masks)
        for (double v : values) {
            const QByteArray m(mask);
            QByteArray input(1, char(m.size()));
            input += m;
            input += (n % 2 ? UserLocale::Current().FloatToStr(v) : FormatFloat(mask, v)).toUtf8();
            Seed("number_text", QStringLiteral("n%1").arg(n++), input);
        }

    // Value texts as the designer writes them, per type code.
    root = nullptr;
    TLKTable* table = lk.Tables()[0];
    n = 0;
    for (int i = 0; i < table->Fields.Count(); ++i) {
        const TLKField* f = table->Fields[i];
        for (int which = 1; which <= 2; ++which) {
            if (!f->Value(which).Present)
                continue;
            const qint32 types[] = {7, 8, 10, 11, 12, 13, 14, 16, 27, 35, 37, 40, 261, 0};
            int code = 0;
            while (types[code] != f->FieldType && types[code] != 0)
                ++code;
            QByteArray input;
            input.append(char(code));
            input.append(char(which - 1));
            input += f->GetValueText(which).toUtf8();
            Seed("value_block", QStringLiteral("v%1").arg(n++), input);
        }
    }
    return 0;
}
