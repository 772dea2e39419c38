// Display names from an ini file, the registry stand-in and the fields'
// descriptions, as the tree and the loaded fields show them.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"
#include "common/ErrorText.h"

namespace {
struct Designer {
    TIBDatabase db;
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;

    explicit Designer(const QString& path, const QString& table = "Employee")
    {
        TestServer::configure(db, path);
        lk.SetIBDataBase(&db);
        lk.SetTreeView(&tree);
        lk.SetListView(&list);
        lk.SetTableName(table);
    }

    QStringList NodeTexts()
    {
        QStringList texts;
        for (int i = 0; i < TreeNodes::NodeCount(&tree); ++i)
            texts << TreeNodes::ItemAt(&tree, i)->text(0);
        return texts;
    }

    const TLKField* Field(const QString& table, const QString& name)
    {
        TLKTable* t = FindTableByName(lk.Tables(), table);
        if (!t)
            return nullptr;
        for (const auto& f : t->Fields)
            if (f->FieldName == name)
                return f.get();
        return nullptr;
    }
};

void WriteFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

}

TEST(DisplayNames, NoneAndIBTableShowDatabaseNames)
{
    TLarkspan lk;
    bool visible = false;
    EXPECT_EQ(lk.TableDisplayName("Employee"), "Employee");
    EXPECT_EQ(lk.FieldDisplayInfo("Employee", "EMP_NO", visible), "EMP_NO");
    EXPECT_TRUE(visible);
    lk.SetDisplayNameSourceType(dnsIBTable);
    EXPECT_EQ(lk.TableDisplayName("JOB"), "JOB");
    EXPECT_EQ(lk.FieldDisplayNameOf("JOB", "JOB_CODE"), "JOB_CODE");
    lk.SetDisplayNameSourceType(dnsRDBDescription);
    EXPECT_EQ(lk.TableDisplayName("JOB"), "JOB");
    EXPECT_EQ(lk.FieldDisplayInfo("JOB", "JOB_CODE", visible), "JOB_CODE");
    EXPECT_TRUE(visible);
}

TEST(DisplayNames, IniFile)
{
    QTemporaryDir dir;
    const QString first = dir.filePath("first.ini");
    const QString second = dir.filePath("second.ini");
    WriteFile(first,
              "[EMPLOYEE]\n"
              "DisplayName=Employees\n"
              "FIRST_NAME=First name\n"
              "LAST_NAME=\n"
              "D_EMP_NO=0\n"
              "D_PHONE_EXT=0x0\n"
              "D_HIRE_DATE=yes\n"
              "D_SALARY=1\n"
              "[job]\n"
              "DisplayName=Jobs\n"
              "[Country]\n"
              "DisplayName=\n");
    WriteFile(second, "[Employee]\nDisplayName=Staff\n");

    Designer d(TestServer::employeeDialect1());
    d.lk.SetDisplayNameSource(first);
    d.lk.SetDisplayNameSourceType(dnsIniFile);
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), (QStringList{"Employees", "DEPARTMENT", "Jobs", "COUNTRY"}));
    EXPECT_EQ(d.Field("Employee", "FIRST_NAME")->DisplayName, "First name");
    EXPECT_EQ(d.Field("Employee", "LAST_NAME")->DisplayName, "LAST_NAME");
    EXPECT_FALSE(d.Field("Employee", "EMP_NO")->Visible);
    EXPECT_FALSE(d.Field("Employee", "PHONE_EXT")->Visible);
    EXPECT_TRUE(d.Field("Employee", "HIRE_DATE")->Visible);
    EXPECT_TRUE(d.Field("Employee", "SALARY")->Visible);
    EXPECT_TRUE(d.Field("Employee", "DEPT_NO")->Visible);

    // A new file name takes effect only when the type is set again.
    d.lk.SetDisplayNameSource(second);
    EXPECT_EQ(d.lk.TableDisplayName("Employee"), "Employees");
    d.lk.SetDisplayNameSourceType(dnsIniFile);
    EXPECT_EQ(d.lk.TableDisplayName("Employee"), "Employees");
    d.lk.SetDisplayNameSourceType(dnsNone);
    EXPECT_EQ(d.lk.TableDisplayName("Employee"), "Employee");
    d.lk.SetDisplayNameSourceType(dnsIniFile);
    EXPECT_EQ(d.lk.TableDisplayName("Employee"), "Staff");

    // The file is read at each lookup; a missing file is like none.
    WriteFile(second, "[Employee]\nDisplayName=People\n");
    EXPECT_EQ(d.lk.TableDisplayName("Employee"), "People");
    QFile::remove(second);
    bool visible = false;
    EXPECT_EQ(d.lk.TableDisplayName("Employee"), "Employee");
    EXPECT_EQ(d.lk.FieldDisplayInfo("Employee", "EMP_NO", visible), "EMP_NO");
    EXPECT_TRUE(visible);
}

namespace {
// Points the registry stand-in at a temporary directory for one test.
struct RegistryFile {
    QTemporaryDir dir;
    QByteArray oldValue = qgetenv("XDG_CONFIG_HOME");
    explicit RegistryFile(const QByteArray& text)
    {
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        QDir().mkpath(dir.filePath("larkspan"));
        WriteFile(dir.filePath("larkspan/registry.reg"), text);
    }
    ~RegistryFile() { qputenv("XDG_CONFIG_HOME", oldValue); }
};
}

TEST(DisplayNames, RegistryStandIn)
{
    RegistryFile reg("REGEDIT4\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Larkspan\\Names]\n"
                     "\"COUNTRY\"=\"Countries\"\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Larkspan\\Names\\EMPLOYEE]\n"
                     "\"Employee\"=\"Employees\"\n"
                     "\"FIRST_NAME\"=\"First name\"\n"
                     "\"LAST_NAME\"=\"\"\n"
                     "\"Display\"=dword:00000001\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Larkspan\\Names\\Department]\n"
                     "\"DEPARTMENT\"=\"Departments\"\n"
                     "\"DEPT_NO\"=dword:00000005\n"
                     "\"Display\"=dword:00000000\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Larkspan\\Names\\Country]\n"
                     "\"Display\"=\"yes\"\n");

    Designer d(TestServer::employeeDialect1());
    d.lk.SetDisplayNameSource("Software\\Larkspan\\Names");
    d.lk.SetDisplayNameSourceType(dnsRegistry);
    d.lk.GenerateView();
    // JOB has no key of its own: its values come from the source key.
    EXPECT_EQ(d.NodeTexts(), (QStringList{"Employees", "Departments", "JOB", "COUNTRY"}));
    EXPECT_EQ(d.Field("Employee", "FIRST_NAME")->DisplayName, "First name");
    EXPECT_EQ(d.Field("Employee", "LAST_NAME")->DisplayName, "LAST_NAME");
    EXPECT_TRUE(d.Field("Employee", "EMP_NO")->Visible);

    // A field value of the wrong type ends the loading.
    TLKTable* department = FindTableByName(d.lk.Tables(), "DEPARTMENT");
    ASSERT_NE(department, nullptr);
    EXPECT_EQ(ErrorOf([&] { d.lk.LoadTableFields(department); }), "Invalid data type for 'DEPT_NO'");
    department->Fields.Clear();

    // A table key without "Display" ends the loading of its fields; the
    // metadata query is closed, so the designer's transaction ends too.
    TLKTable* job = FindTableByName(d.lk.Tables(), "JOB");
    EXPECT_EQ(ErrorOf([&] { d.lk.LoadTableFields(job); }), "Failed to get data for 'Display'");
    EXPECT_FALSE(d.lk.FieldsQuery()->Active());
    EXPECT_FALSE(d.lk.MetadataTransaction()->Active());
    EXPECT_EQ(job->Fields.Count(), 0);
    TLKTable* country = FindTableByName(d.lk.Tables(), "COUNTRY");
    EXPECT_EQ(ErrorOf([&] { d.lk.LoadTableFields(country); }), "Invalid data type for 'Display'");
    EXPECT_FALSE(d.lk.MetadataTransaction()->Active());

    // The designer keeps working after the errors.
    TLKTable* root = d.lk.Tables()[0];
    const int before = root->Fields.Count();
    root->Fields.Clear();
    d.lk.LoadTableFields(root);
    EXPECT_EQ(root->Fields.Count(), before);

    // A source key that does not exist: table keys are looked for below the
    // root, and a table without a key has no "Display".
    d.lk.SetDisplayNameSourceType(dnsNone);
    d.lk.SetDisplayNameSource("Software\\Missing");
    d.lk.SetDisplayNameSourceType(dnsRegistry);
    EXPECT_EQ(d.lk.TableDisplayName("EMPLOYEE"), "EMPLOYEE");
    bool visible = true;
    EXPECT_EQ(ErrorOf([&] { d.lk.FieldDisplayInfo("EMPLOYEE", "EMP_NO", visible); }),
              "Failed to get data for 'Display'");
}

TEST(DisplayNames, RegistryStandInHidesFieldsWithDisplayZero)
{
    RegistryFile reg("Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Names]\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Names\\Employee]\n"
                     "\"EMP_NO\"=\"Number\"\n"
                     "\"Display\"=dword:00000000\n");
    Designer d(TestServer::employeeDialect3());
    d.lk.SetDisplayNameSource("Software\\Names");
    d.lk.SetDisplayNameSourceType(dnsRegistry);
    d.lk.GenerateView();
    TLKTable* root = d.lk.Tables()[0];
    ASSERT_GT(root->Fields.Count(), 0);
    for (const auto& f : root->Fields)
        EXPECT_FALSE(f->Visible) << f->FieldName.toStdString();
    EXPECT_EQ(d.Field("Employee", "EMP_NO")->DisplayName, "Number");
    // Lookups repeat without drifting away from the source key.
    EXPECT_EQ(d.lk.FieldDisplayNameOf("Employee", "EMP_NO"), "Number");
    EXPECT_EQ(d.lk.FieldDisplayNameOf("Employee", "EMP_NO"), "Number");
}

TEST(DisplayNames, DescriptionsFromTheSystemTables)
{
    const QString path = TestServer::createScratchDatabase(
        "designer_descriptions",
        {"CREATE DOMAIN D_SURNAME INTEGER",
         "COMMENT ON DOMAIN D_SURNAME IS 'Surname'",
         "CREATE TABLE PERSON (ID INTEGER NOT NULL PRIMARY KEY, NAME D_SURNAME, CITY SMALLINT)",
         "CREATE TABLE TRANSFER (ID INTEGER NOT NULL PRIMARY KEY, "
         "FROM_PERSON INTEGER REFERENCES PERSON(ID), TO_PERSON INTEGER REFERENCES PERSON(ID))",
         });
    // The fields statement reads the description of the field's domain
    // (the ambiguous RDB$DESCRIPTION resolves to RDB$FIELDS).
    Designer d(path, "PERSON");
    d.lk.SetDisplayNameSourceType(dnsRDBDescription);
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), QStringList{"PERSON"});
    EXPECT_EQ(d.Field("PERSON", "NAME")->DisplayName, "Surname");
    EXPECT_TRUE(d.Field("PERSON", "CITY")->DisplayName.isEmpty());   // filled by the field list later
    EXPECT_TRUE(d.Field("PERSON", "CITY")->Visible);
    EXPECT_EQ(d.lk.FieldDisplayNameOf("PERSON", "CITY"), "CITY");

    // Node prefixes are looked up through FieldDisplayNameOf, which knows
    // no descriptions: the column names show.
    d.lk.SetTableName("TRANSFER");
    d.lk.GenerateView();
    QStringList children = d.NodeTexts().mid(1);
    children.sort();
    EXPECT_EQ(children, (QStringList{"FROM_PERSON - PERSON", "TO_PERSON - PERSON"}));

    // With an ini source the prefix takes the fields' display names.
    QTemporaryDir dir;
    WriteFile(dir.filePath("names.ini"), "[TRANSFER]\nFROM_PERSON=From\nTO_PERSON=To\n[PERSON]\nDisplayName=People\n");
    d.lk.SetDisplayNameSource(dir.filePath("names.ini"));
    d.lk.SetDisplayNameSourceType(dnsIniFile);
    d.lk.GenerateView();
    children = d.NodeTexts().mid(1);
    children.sort();
    EXPECT_EQ(children, (QStringList{"From - People", "To - People"}));
}
