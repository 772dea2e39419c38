#include <gtest/gtest.h>

#include "core/Errors.h"
#include "designer/IniFile.h"
#include "designer/RegistryStandIn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "no error";
}

// Points the registry stand-in at a temporary configuration directory.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        hadOld = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    }
    void TearDown() override
    {
        if (hadOld)
            qputenv("XDG_CONFIG_HOME", old);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    void WriteRegistry(const QByteArray& text) { WriteFile(dir.path() + "/larkspan/registry.reg", text); }

    QTemporaryDir dir;
    bool hadOld = false;
    QByteArray old;
};

} // namespace

TEST(IniFile, LookupRules)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/names.ini";
    WriteFile(path,
              "; display names\r\n"
              "[Employee]\r\n"
              "FIRST_NAME =  First name  \r\n"
              "EMPTY=\r\n"
              "D_SALARY=0\r\n"
              "D_HIRE=0x0\r\n"
              "D_PHONE=yes\r\n"
              "D_NEG=-12\r\n"
              "NOTE=a=b\r\n"
              "[ Other ]\n"
              "First_Name=Wrong section\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("EMPLOYEE", "first_name", "def"), "First name");
    EXPECT_EQ(ini.ReadString("employee", "EMPTY", "def"), "");
    EXPECT_EQ(ini.ReadString("Employee", "NOTE", "def"), "a=b");
    EXPECT_EQ(ini.ReadString("Employee", "MISSING", "def"), "def");
    EXPECT_EQ(ini.ReadString("Missing", "FIRST_NAME", "def"), "def");
    EXPECT_EQ(ini.ReadString("OTHER", "FIRST_NAME", "def"), "Wrong section");
    EXPECT_EQ(ini.ReadInteger("Employee", "D_SALARY", 1), 0);
    EXPECT_EQ(ini.ReadInteger("Employee", "d_hire", 1), 0);
    EXPECT_EQ(ini.ReadInteger("Employee", "D_PHONE", 1), 1);
    EXPECT_EQ(ini.ReadInteger("Employee", "D_NEG", 1), -12);
    EXPECT_EQ(ini.ReadInteger("Employee", "EMPTY", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Employee", "D_MISSING", 1), 1);

    // Edits show at the next lookup; long values are cut.
    WriteFile(path, "[EMPLOYEE]\nFIRST_NAME=Given name\nLONG=" + QByteArray(3000, 'x') + "\nHEX=0x1F\n");
    EXPECT_EQ(ini.ReadString("Employee", "FIRST_NAME", "def"), "Given name");
    EXPECT_EQ(ini.ReadString("Employee", "LONG", "def").size(), TIniFile::MaxValueLength);
    EXPECT_EQ(ini.ReadInteger("Employee", "HEX", 0), 31);

    // UTF-8 when valid, else the single-byte code page.
    WriteFile(path, "[T]\nA=Fizet\xC3\xA9s\n");
    EXPECT_EQ(ini.ReadString("T", "A", ""), QString::fromUtf8("Fizetés"));
    WriteFile(path, "[T]\nA=F\xF5\n");
    EXPECT_EQ(ini.ReadString("T", "A", ""), QString::fromUtf8("Fő"));

    const TIniFile missing(dir.path() + "/none.ini");
    EXPECT_EQ(missing.ReadString("T", "A", "def"), "def");
    EXPECT_EQ(missing.ReadInteger("T", "A", 5), 5);

    // A bare file name is looked up in the current directory.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const TIniFile bare("names.ini");
    QDir::setCurrent(cwd);
    EXPECT_EQ(bare.ReadString("T", "A", ""), QString::fromUtf8("Fő"));
}

TEST_F(RegistryTest, KeysValuesAndTypes)
{
    WriteRegistry("REGEDIT4\r\n"
                  "\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Larkspan\\Employee]\r\n"
                  "\"FIRST_NAME\"=\"First name\"\r\n"
                  "\"Path\"=\"C:\\\\Data\\\\\\\"x\\\"\"\r\n"
                  "\"Empty\"=\"\"\r\n"
                  "\"D_SALARY\"=dword:0000000a\r\n"
                  "\"Minus\"=dword:ffffffff\r\n"
                  "\"Bin\"=hex:01,02\r\n"
                  "\"Expand\"=hex(2):25,54,4d,50,25,00\r\n"
                  "\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\r\n"
                  "\"X\"=\"y\"\r\n");
    TRegistry reg;
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_TRUE(reg.KeyExists("\\Software\\Larkspan"));   // a parent of a section
    EXPECT_FALSE(reg.KeyExists("\\Software\\Elsewhere")); // another root
    EXPECT_FALSE(reg.OpenKey("\\Software\\Missing", false));
    EXPECT_EQ(reg.CurrentPath(), "");

    ASSERT_TRUE(reg.OpenKey("\\software\\LARKSPAN", false));
    ASSERT_TRUE(reg.OpenKey("employee", false)); // relative to the current key
    EXPECT_EQ(reg.CurrentPath(), "software\\LARKSPAN\\employee");

    EXPECT_TRUE(reg.ValueExists("first_name"));
    EXPECT_FALSE(reg.ValueExists("LAST_NAME"));
    EXPECT_EQ(reg.GetDataType("FIRST_NAME"), TRegistry::rdString);
    EXPECT_EQ(reg.GetDataType("d_salary"), TRegistry::rdInteger);
    EXPECT_EQ(reg.GetDataType("Bin"), TRegistry::rdBinary);
    EXPECT_EQ(reg.GetDataType("Expand"), TRegistry::rdExpandString);
    EXPECT_EQ(reg.GetDataType("LAST_NAME"), TRegistry::rdUnknown);

    EXPECT_EQ(reg.ReadString("First_Name"), "First name");
    EXPECT_EQ(reg.ReadString("Path"), "C:\\Data\\\"x\"");
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_EQ(reg.ReadString("LAST_NAME"), "");
    EXPECT_EQ(reg.ReadString("Expand"), "%TMP%");
    EXPECT_EQ(reg.ReadInteger("D_SALARY"), 10);
    EXPECT_EQ(reg.ReadInteger("Minus"), -1);

    EXPECT_EQ(ErrorText([&] { reg.ReadString("D_SALARY"); }), "Invalid data type for 'D_SALARY'");
    EXPECT_EQ(ErrorText([&] { reg.ReadInteger("FIRST_NAME"); }), "Invalid data type for 'FIRST_NAME'");
    EXPECT_EQ(ErrorText([&] { reg.ReadInteger("D_PHONE"); }), "Failed to get data for 'D_PHONE'");

    reg.CloseKey();
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_FALSE(reg.ValueExists("FIRST_NAME"));
}

TEST_F(RegistryTest, FileVariants)
{
    // No file: no keys, nothing fails.
    {
        TRegistry reg;
        EXPECT_FALSE(reg.OpenKey("\\Software\\Larkspan", false));
        EXPECT_EQ(ErrorText([&] { reg.ReadInteger("X"); }), "Failed to get data for 'X'");
    }

    // A version 5 export in UTF-16 with the byte order mark; the file is
    // read again when a key is opened.
    const QString text = QString::fromUtf8("Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Larkspan\\Employee]\r\n"
                                           "\"FIRST_NAME\"=\"Keresztnév\"\r\n"
                                           "\"Long\"=hex(2):41,00,\\\r\n  42,00,00,00\r\n");
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    TRegistry reg;
    WriteRegistry(utf16);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Larkspan\\Employee", false));
    EXPECT_EQ(reg.ReadString("FIRST_NAME"), QString::fromUtf8("Keresztnév"));
    EXPECT_EQ(reg.ReadString("Long"), "AB");

    // Without the header line the file is no registry export.
    WriteRegistry("[HKEY_CURRENT_USER\\Software\\Larkspan]\n\"A\"=\"b\"\n");
    EXPECT_FALSE(reg.OpenKey("\\Software\\Larkspan", false));

    // Malformed entries are skipped, the rest is read.
    WriteRegistry("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Larkspan]\n"
                  "\"Bad\"=dword:123456789\n\"Open\"=\"no end\nnonsense\n\"Good\"=dword:00000100\n");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Larkspan", false));
    EXPECT_FALSE(reg.ValueExists("Bad"));
    EXPECT_FALSE(reg.ValueExists("Open"));
    EXPECT_EQ(reg.ReadInteger("Good"), 256);
}
