// The demo's main window driven as a user would, against the dialect 1
// sample on the private server.
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/Main.h"
#include "app/QueryNameForm.h"
#include "app/QueryResultForm.h"
#include "app/QuerySelectForm.h"
#include "app/ResultTableModel.h"
#include "common/TestServer.h"
#include "controls/FieldValueForm.h"
#include "controls/ZOVNumberEdit.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

namespace {

// Counts rows through a session of its own, to check what the grid shows.
int CountRows(const QString& sql)
{
    OwnSession own(TestServer::employeeDialect1());
    return own.Open(sql).Fields(0).IntegerValue();
}

class MainWindowTest : public MainWindowFixture {
protected:
    // Double-clicks a field, which makes the designer ask for its condition.
    void EditCondition(QTreeWidgetItem* item)
    {
        form->ListView1->setCurrentItem(item);
        emit form->ListView1->itemDoubleClicked(item, 0);
    }
};

TEST_F(MainWindowTest, StartsDisconnected)
{
    EXPECT_EQ(form->BtnConnect->text(), "Connect to server");
    EXPECT_FALSE(form->IBDatabase1->Connected());
    // The path starts at the dialect 1 sample in the place where the server
    // script puts it by default; this server's root may be elsewhere.
    EXPECT_EQ(form->Path->text(), TMainForm::DefaultDatabasePath());
    EXPECT_EQ(QFileInfo(form->Path->text()).fileName(),
              QFileInfo(TestServer::employeeDialect1()).fileName());
    EXPECT_EQ(form->focusWidget(), form->Path);
}

TEST_F(MainWindowTest, ConnectMessagesAndDisconnect)
{
    // No server address: only the message, connected or not.
    form->BtnConnect->click();
    EXPECT_EQ(messages.errors, QStringList{"No server specified."});
    EXPECT_FALSE(form->IBDatabase1->Connected());
    messages.clear();

    // A database that does not exist: the server's error is shown, nothing changes.
    form->ServerAddr->setText(TestServer::serverAddress());
    form->Path->setText(QStringLiteral("/nonexistent/nowhere.fdb"));
    form->BtnConnect->click();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_FALSE(form->IBDatabase1->Connected());
    EXPECT_EQ(form->BtnConnect->text(), "Connect to server");
    messages.clear();

    Connect();
    EXPECT_EQ(form->BtnConnect->text(), "Disconnect from server");
    EXPECT_EQ(form->IBDatabase1->DatabaseName(), TestServer::connectionString(TestServer::employeeDialect1()));
    ASSERT_EQ(form->TreeView1->topLevelItemCount(), 1);
    QTreeWidgetItem* root = form->TreeView1->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Employees");   // display name from employee.ini
    EXPECT_NE(FindItem(form->TreeView1, "Project assignments"), nullptr);
    EXPECT_NE(FindItem(form->TreeView1, "Departments"), nullptr);

    // The detail table's fields under their display names.
    SelectTable("Project assignments");
    EXPECT_NE(Field("Employee number"), nullptr);
    EXPECT_NE(Field("Project ID"), nullptr);

    // Editing the address while connected changes nothing until the next connect.
    form->Path->setText(QStringLiteral("/elsewhere.fdb"));
    form->ServerAddr->clear();
    form->BtnConnect->click();
    EXPECT_EQ(messages.errors, QStringList{"No server specified."});
    EXPECT_TRUE(form->IBDatabase1->Connected());
    messages.clear();

    form->ServerAddr->setText(TestServer::serverAddress());
    form->BtnConnect->click();
    EXPECT_TRUE(messages.errors.isEmpty());
    EXPECT_FALSE(form->IBDatabase1->Connected());
    EXPECT_EQ(form->BtnConnect->text(), "Connect to server");
    EXPECT_EQ(form->TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(form->ListView1->topLevelItemCount(), 0);
}

TEST_F(MainWindowTest, ConditionsAndResults)
{
    Connect();
    // Nothing ticked: the message, and the result query is left alone.
    form->BtnResults->click();
    EXPECT_EQ(messages.errors, QStringList{"Empty Query. Select one or more fields to be in the query."});
    EXPECT_TRUE(form->ResultQuery->SQL().isEmpty());
    messages.clear();

    SelectTable("Employees");
    QTreeWidgetItem* lastName = Field("Last name");
    QTreeWidgetItem* firstName = Field("First name");
    ASSERT_NE(lastName, nullptr);
    ASSERT_NE(firstName, nullptr);
    lastName->setCheckState(0, Qt::Checked);
    firstName->setCheckState(0, Qt::Checked);

    // Last name starting with "B", answered through the dialog's controls.
    bool shown = false;
    WhenModal<TFFieldValue>([](TFFieldValue* dialog) {
        dialog->StringOperator1->setCurrentIndex(7);   // STARTING WITH
        dialog->StringValue1->setText("B");
        dialog->BitBtn1->click();
    }, &shown);
    EditCondition(lastName);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    const QString condition = lastName->text(1);
    EXPECT_TRUE(condition.contains("STARTING WITH")) << condition.toStdString();
    EXPECT_TRUE(condition.contains("B")) << condition.toStdString();

    // Cancelling the dialog leaves the condition as it was.
    WhenModal<TFFieldValue>([](TFFieldValue* dialog) {
        EXPECT_EQ(dialog->StringValue1->text(), "B");   // pre-filled
        dialog->StringValue1->setText("Z");
        dialog->BitBtn2->click();
    });
    EditCondition(lastName);
    EXPECT_EQ(lastName->text(1), condition);
    EXPECT_TRUE(form->findChildren<TFFieldValue*>().isEmpty());   // each dialog freed after use

    // LARKSPAN_SCREENSHOT=<file> saves a picture of the window as it stands:
    // connected, the sample's tree open, one field with a condition.
    const QString screenshot = qEnvironmentVariable("LARKSPAN_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        form->TreeView1->expandAll();
        form->ListView1->setCurrentItem(lastName);
        // A path that means something on any machine; the session is
        // already connected, so the edit's text no longer matters.
        form->Path->setText(QStringLiteral("/srv/firebird/employee.fdb"));
        QApplication::processEvents();
        EXPECT_TRUE(form->grab().save(screenshot));
    }

    const int expected = CountRows("select count(*) from employee where last_name starting with 'B'");
    ASSERT_GT(expected, 1);

    // The grid fetches its rows a chunk at a time.
    form->ResultQuery->SetBufferChunks(1);
    int shownRows = -1, afterFetch = -1, finalRows = -1, columns = -1;
    bool editable = true;
    QString header;
    shown = false;
    WhenModal<TFQueryResult>([&](TFQueryResult* results) {
        QAbstractItemModel* model = results->DBGrid1->model();
        shownRows = model->rowCount();
        columns = model->columnCount();
        header = model->headerData(0, Qt::Horizontal).toString();
        editable = model->flags(model->index(0, 0)).testFlag(Qt::ItemIsEditable) ||
                   results->DBGrid1->editTriggers() != QAbstractItemView::NoEditTriggers;
        const int before = model->rowCount();
        if (model->canFetchMore(QModelIndex()))
            model->fetchMore(QModelIndex());
        afterFetch = model->rowCount() - before;
        while (model->canFetchMore(QModelIndex()))
            model->fetchMore(QModelIndex());
        finalRows = model->rowCount();
        EXPECT_FALSE(model->data(model->index(0, 0)).toString().isEmpty());
        results->BitBtn1->click();
    }, &shown);
    form->BtnResults->click();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_GT(shownRows, 0);
    EXPECT_LE(afterFetch, 1);
    EXPECT_EQ(finalRows, expected);
    EXPECT_EQ(columns, 2);
    EXPECT_TRUE(header == "FIRST_NAME" || header == "LAST_NAME") << header.toStdString();
    EXPECT_FALSE(editable);
    EXPECT_FALSE(form->ResultQuery->Active());   // closed once the window closed
    EXPECT_EQ(form->QueryResultForm()->DataSource1->rowCount(), 0);

    // A second run reuses the window and shows the rows again.
    form->ResultQuery->SetBufferChunks(1000);
    finalRows = -1;
    WhenModal<TFQueryResult>([&](TFQueryResult* results) {
        finalRows = results->DBGrid1->model()->rowCount();
        results->reject();   // the title-bar close
    });
    form->BtnResults->click();
    EXPECT_EQ(finalRows, expected);
    EXPECT_FALSE(form->ResultQuery->Active());

    // Closing the main window disconnects.
    form->close();
    EXPECT_FALSE(form->IBDatabase1->Connected());
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
}

TEST_F(MainWindowTest, ConversionErrorInNumberEditIsShownAndSurvived)
{
    Connect();
    SelectTable("Employees");
    QTreeWidgetItem* salary = Field("Salary");
    ASSERT_NE(salary, nullptr);
    const QString bad = QStringLiteral("1") + QLocale().decimalPoint() + "2" + QLocale().decimalPoint() + "3";
    QStringList errorsInDialog;
    WhenModal<TFFieldValue>([&](TFFieldValue* dialog) {
        ASSERT_EQ(dialog->Notebook1->currentWidget()->objectName(), "AsFloat");
        dialog->FloatValue1->setText(bad);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(dialog->FloatValue1, &out);
        errorsInDialog = messages.errors;
        // The dialog is still there and takes a good value.
        dialog->FloatOperator1->setCurrentIndex(2);   // >
        dialog->FloatValue1->setText("50000");
        dialog->BitBtn1->click();
    });
    EditCondition(salary);
    ASSERT_EQ(errorsInDialog.size(), 1);
    EXPECT_TRUE(errorsInDialog.first().contains("is not a valid floating point value"))
        << errorsInDialog.first().toStdString();
    EXPECT_TRUE(salary->text(1).contains("50000")) << salary->text(1).toStdString();
    EXPECT_TRUE(salary->text(1).contains(">")) << salary->text(1).toStdString();
}

TEST_F(MainWindowTest, SaveAndLoadDesigns)
{
    Connect();
    // Nothing saved yet.
    form->BtnLoad->click();
    EXPECT_EQ(messages.informations, QStringList{"No saved queries."});
    EXPECT_TRUE(messages.errors.isEmpty());
    messages.clear();
    // A file that is not a query file lists nothing either.
    {
        QFile junk(form->Larkspan1->QueryFileName());
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not a query file at all");
    }
    form->BtnLoad->click();
    EXPECT_EQ(messages.informations, QStringList{"No saved queries."});
    EXPECT_TRUE(messages.errors.isEmpty());
    ASSERT_TRUE(QFile::remove(form->Larkspan1->QueryFileName()));
    messages.clear();

    // An empty name, or a cancelled dialog, writes nothing.
    WhenModal<TFQueryName>([](TFQueryName* dialog) { dialog->BitBtn1->click(); });
    form->BtnSave->click();
    WhenModal<TFQueryName>([](TFQueryName* dialog) {
        dialog->EQueryName->setText("cancelled");
        dialog->BitBtn2->click();
    });
    form->BtnSave->click();
    EXPECT_FALSE(QFile::exists(form->Larkspan1->QueryFileName()));

    SelectTable("Employees");
    QTreeWidgetItem* lastName = Field("Last name");
    ASSERT_NE(lastName, nullptr);
    lastName->setCheckState(0, Qt::Checked);
    WhenModal<TFFieldValue>([](TFFieldValue* dialog) {
        dialog->StringOperator1->setCurrentIndex(0);   // =
        dialog->StringValue1->setText("Young");
        dialog->BitBtn1->click();
    });
    EditCondition(lastName);
    const QString condition = lastName->text(1);
    ASSERT_TRUE(condition.contains("Young")) << condition.toStdString();

    const QString longName(300, QLatin1Char('n'));
    WhenModal<TFQueryName>([&](TFQueryName* dialog) {
        dialog->EQueryName->setText(longName);
        dialog->BitBtn1->click();
    });
    form->BtnSave->click();
    WhenModal<TFQueryName>([](TFQueryName* dialog) {
        dialog->EQueryName->setText("young");
        dialog->BitBtn1->click();
    });
    form->BtnSave->click();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    ASSERT_TRUE(QFile::exists(form->Larkspan1->QueryFileName()));

    // Change the design: untick and clear the condition.
    lastName->setCheckState(0, Qt::Unchecked);
    WhenModal<TFFieldValue>([](TFFieldValue* dialog) {
        dialog->CBClearValues->setChecked(true);
        dialog->BitBtn1->click();
    });
    EditCondition(lastName);
    ASSERT_TRUE(lastName->text(1).isEmpty());

    // Cancelling the selection loads nothing.
    WhenModal<TFSelectQuery>([](TFSelectQuery* dialog) { dialog->BitBtn2->click(); });
    form->BtnLoad->click();
    lastName = Field("Last name");
    ASSERT_NE(lastName, nullptr);
    EXPECT_EQ(lastName->checkState(0), Qt::Unchecked);

    // Load the second design back.
    QStringList listed;
    WhenModal<TFSelectQuery>([&](TFSelectQuery* dialog) {
        for (int i = 0; i < dialog->ListBox1->count(); ++i)
            listed << dialog->ListBox1->item(i)->text();
        EXPECT_EQ(dialog->ListBox1->currentRow(), 0);
        dialog->ListBox1->setCurrentRow(1);
        dialog->BitBtn1->click();
    });
    form->BtnLoad->click();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_TRUE(form->findChildren<TFQueryName*>().isEmpty());
    EXPECT_TRUE(form->findChildren<TFSelectQuery*>().isEmpty());
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0], QString(255, QLatin1Char('n')));   // cut to 255 characters
    EXPECT_EQ(listed[1], "young");

    SelectTable("Employees");   // the list shows the restored state
    lastName = Field("Last name");
    ASSERT_NE(lastName, nullptr);
    EXPECT_EQ(lastName->checkState(0), Qt::Checked);
    EXPECT_EQ(lastName->text(1), condition);

    // The restored design runs.
    int rows = -1;
    WhenModal<TFQueryResult>([&](TFQueryResult* results) {
        rows = results->DBGrid1->model()->rowCount();
        results->BitBtn1->click();
    });
    form->BtnResults->click();
    EXPECT_EQ(rows, CountRows("select count(*) from employee where last_name = 'Young'"));
}

// A receiver for the desktop's "open" request, so that no viewer is started.
class OpenRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(MainWindowTest, BrowseAndIniButtons)
{
    // Browse: the chosen file lands in the path edit; the session is untouched.
    // The dialog is pointed at this server's database folder; a name typed
    // there becomes the absolute path of that file.
    const QString other = TestServer::employeeDialect3();
    const QString folder = QFileInfo(other).absolutePath();
    form->OpenDialog1->setDirectory(folder);
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(QDir(dialog->directory()).absolutePath(), folder);
        dialog->selectFile(QFileInfo(other).fileName());
        // Typed into the name edit, as a user would; this wins over whatever
        // the view still has selected while it loads the folder.
        if (auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit"))
            nameEdit->setText(QFileInfo(other).fileName());
        static_cast<QDialog*>(dialog)->accept();
    });
    form->BtnBrowse->click();
    EXPECT_EQ(form->Path->text(), other) << form->Path->text().toStdString();
    EXPECT_FALSE(form->IBDatabase1->Connected());

    // The ini button asks the desktop to open employee.ini of the current folder.
    OpenRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    form->BtnIni->click();
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls.first().toLocalFile(), QDir::current().absoluteFilePath("employee.ini"));
}

}   // namespace

#include "MainWindowTest.moc"

// The server drops the demo's attachment: the next action says so, and the
// button offers to connect again.
TEST_F(MainWindowTest, DroppedConnectionTurnsTheButtonBack)
{
    Connect();
    EXPECT_EQ(form->BtnConnect->text(), "Disconnect from server");
    int attachment = 0;
    {
        TIBQuery own;
        own.SetDatabase(form->IBDatabase1);
        own.SetTransaction(form->IBTransaction1);
        own.SetSQL(QString("SELECT CURRENT_CONNECTION FROM RDB$DATABASE"));
        own.Open();
        attachment = own.Fields(0).IntegerValue();
        own.Close();
    }
    {
        TIBDatabase db;
        TIBTransaction tr;
        TestServer::configure(db, TestServer::employeeDialect1());
        db.SetLoginPrompt(false);
        db.SetDefaultTransaction(&tr);
        tr.SetDefaultDatabase(&db);
        TIBQuery q;
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
        q.SetSQL(QString("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = %1").arg(attachment));
        q.Open();
        q.Close();
    }
    SelectTable("Employees");
    QTreeWidgetItem* last = Field("Last name");
    ASSERT_NE(last, nullptr);
    last->setCheckState(0, Qt::Checked);
    form->BtnResults->click();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains("was lost")) << messages.errors[0].toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->BtnConnect->text(), "Connect to server");
}
