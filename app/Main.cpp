#include "app/Main.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeWidget>
#include <QUrl>

#include "app/FormStyle.h"
#include "app/Messages.h"
#include "app/QueryNameForm.h"
#include "app/QueryResultForm.h"
#include "app/QuerySelectForm.h"
#include "controls/FieldValueForm.h"
#include "dbaccess/ExceptionHandler.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

#ifndef LARKSPAN_SOURCE_DIR
#define LARKSPAN_SOURCE_DIR "."
#endif

namespace {
const char* const ConnectCaption = "Connect to server";
const char* const DisconnectCaption = "Disconnect from server";
const int QueryNameRoom = 255;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, w, h);
    button->setAutoDefault(false);
    return button;
}
}

QString TMainForm::DefaultDatabasePath()
{
    return QStringLiteral(LARKSPAN_SOURCE_DIR "/.fbserver/databases/employee1.fdb");
}

TMainForm::TMainForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr("Larkspan Demo"));
    FormStyle::ApplyFormLook(this);
    setFixedSize(699, 447);
    move(211, 111);

    CreateControls();
    CreateComponents();
    Path->setFocus();
}

TMainForm::~TMainForm()
{
    // The designer refers to the controls and the session: let it go first.
    delete Larkspan1;
    Larkspan1 = nullptr;
}

void TMainForm::CreateControls()
{
    Label2 = new QLabel(tr("Server address:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(8, 8);

    ServerAddr = new QLineEdit(this);
    ServerAddr->setObjectName(QStringLiteral("ServerAddr"));
    ServerAddr->setGeometry(120, 8, 121, 21);
    FormStyle::ApplyEditLook(ServerAddr);

    Label1 = new QLabel(tr("Path to employee.gdb:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 40);

    Path = new QLineEdit(DefaultDatabasePath(), this);
    Path->setObjectName(QStringLiteral("Path"));
    Path->setGeometry(120, 40, 329, 21);
    FormStyle::ApplyEditLook(Path);

    BtnBrowse = MakeButton(this, "BtnBrowse", tr("Browse"), 456, 40, 75, 25);
    BtnConnect = MakeButton(this, "BtnConnect", tr(ConnectCaption), 568, 40, 121, 25);

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(0, 72, 257, 337);
    TreeView1->setColumnCount(1);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setFocusPolicy(Qt::ClickFocus);
    FormStyle::ApplyEditLook(TreeView1);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(256, 72, 441, 337);
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({tr("Field name"), tr("Value")});
    ListView1->setColumnWidth(0, 146);
    ListView1->setColumnWidth(1, 291);
    ListView1->setRootIsDecorated(false);
    ListView1->setFocusPolicy(Qt::ClickFocus);
    FormStyle::ApplyEditLook(ListView1);

    BtnResults = MakeButton(this, "BtnResults", tr("Open results"), 8, 416, 75, 25);
    BtnIni = MakeButton(this, "BtnIni", tr("View the DisplayNames ini file"), 96, 416, 161, 25);
    BtnClose = MakeButton(this, "BtnClose", tr("&Close"), 616, 416, 75, 25);
    BtnClose->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    BtnSave = MakeButton(this, "BtnSave", tr("Save the current query"), 272, 416, 121, 25);
    BtnSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    BtnLoad = MakeButton(this, "BtnLoad", tr("Load a query"), 408, 416, 121, 25);
    BtnLoad->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    for (QPushButton* button : {BtnClose, BtnSave, BtnLoad})
        button->setIconSize(QSize(14, 14));

    setTabOrder(ServerAddr, Path);
    setTabOrder(Path, BtnBrowse);
    setTabOrder(BtnBrowse, BtnConnect);
    setTabOrder(BtnConnect, BtnResults);
    setTabOrder(BtnResults, BtnIni);
    setTabOrder(BtnIni, BtnClose);
    setTabOrder(BtnClose, BtnSave);
    setTabOrder(BtnSave, BtnLoad);

    // Every handler runs guarded: an exception ends it and is shown by the
    // application's handler, it never unwinds into Qt.
    connect(BtnBrowse, &QPushButton::clicked, this, [this] { Guarded([this] { BtnBrowseClick(); }); });
    connect(BtnConnect, &QPushButton::clicked, this, [this] { Guarded([this] { BtnConnectClick(); }); });
    connect(BtnResults, &QPushButton::clicked, this, [this] { Guarded([this] { BtnResultsClick(); }); });
    connect(BtnIni, &QPushButton::clicked, this, [this] { Guarded([this] { BtnIniClick(); }); });
    connect(BtnSave, &QPushButton::clicked, this, [this] { Guarded([this] { BtnSaveClick(); }); });
    connect(BtnLoad, &QPushButton::clicked, this, [this] { Guarded([this] { BtnLoadClick(); }); });
    connect(BtnClose, &QPushButton::clicked, this, &QWidget::close);
}

void TMainForm::CreateComponents()
{
    const QString defaultPath = DefaultDatabasePath();

    IBDatabase1 = new TIBDatabase(this);
    IBDatabase1->setObjectName(QStringLiteral("IBDatabase1"));
    IBTransaction1 = new TIBTransaction(this);
    IBTransaction1->setObjectName(QStringLiteral("IBTransaction1"));

    IBDatabase1->SetDatabaseName(QStringLiteral("localhost:") + defaultPath);
    IBDatabase1->SetParams({QStringLiteral("user_name=sysdba"), QStringLiteral("password=larchwood")});
    IBDatabase1->SetLoginPrompt(false);
    IBDatabase1->SetDefaultTransaction(IBTransaction1);
    IBDatabase1->SetIdleTimer(0);
    IBDatabase1->SetSQLDialect(1);
    IBTransaction1->SetDefaultDatabase(IBDatabase1);

    ResultQuery = new TIBQuery(this);
    ResultQuery->setObjectName(QStringLiteral("ResultQuery"));
    ResultQuery->SetDatabase(IBDatabase1);
    ResultQuery->SetTransaction(IBTransaction1);
    ResultQuery->SetBufferChunks(1000);

    OpenDialog1 = new QFileDialog(this, tr("Open"));
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setDefaultSuffix(QStringLiteral("gdb"));
    OpenDialog1->setNameFilters({tr("Interbase database (*.gdb *.fdb)"), tr("Interbase database (*.gdb)"),
                                 tr("Firebird database (*.fdb)")});
    OpenDialog1->setDirectory(QFileInfo(defaultPath).absolutePath());
    OpenDialog1->selectFile(QFileInfo(defaultPath).fileName());

    Larkspan1 = new TLarkspan(this);
    Larkspan1->setObjectName(QStringLiteral("Larkspan1"));
    Larkspan1->SetDesigning(false);
    Larkspan1->SetTableName(QStringLiteral("Employee"));
    Larkspan1->SetDetailTableName(QStringLiteral("Employee_project"));
    Larkspan1->SetAutoSetupListView(true);
    Larkspan1->SetTreeView(TreeView1);
    Larkspan1->SetListView(ListView1);
    Larkspan1->SetIBDataBase(IBDatabase1);
    // The type's setter opens the source named at that moment.
    Larkspan1->SetDisplayNameSource(QStringLiteral("employee.ini"));
    Larkspan1->SetDisplayNameSourceType(dnsIniFile);
    Larkspan1->SetUsePermanentCache(false);
    const QString cacheDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!cacheDir.isEmpty())
        QDir().mkpath(cacheDir);
    Larkspan1->SetPermanentCacheDir(cacheDir);
    Larkspan1->OnFieldValueRequired =
        [this](QObject* Sender, const QString& Table, const QString& FieldName, const QString& FieldDisplayName,
               TFieldType DataType, int StrLength, TFieldBoolOperators& MainBool,
               TFieldBoolOperators& BoolBetweenFields, TFieldValueExpression& FieldLowValue,
               TFieldValueExpression& FieldHighValue, bool& ClearValues) {
            Larkspan1FieldValueRequired(Sender, Table, FieldName, FieldDisplayName, DataType, StrLength, MainBool,
                                        BoolBetweenFields, FieldLowValue, FieldHighValue, ClearValues);
        };
}

void TMainForm::SetQueryResultForm(TFQueryResult* form)
{
    FQueryResult = form;
}

TFQueryResult* TMainForm::QueryResultForm()
{
    if (!FQueryResult)
        FQueryResult = new TFQueryResult(this, ResultQuery);
    return FQueryResult;
}

void TMainForm::BtnBrowseClick()
{
    if (OpenDialog1->exec() != QDialog::Accepted)
        return;
    const QStringList files = OpenDialog1->selectedFiles();
    if (!files.isEmpty())
        Path->setText(QDir::toNativeSeparators(QFileInfo(files.first()).absoluteFilePath()));
}

void TMainForm::BtnConnectClick()
{
    if (ServerAddr->text().isEmpty()) {
        AppMessages::ShowError(this, tr("No server specified."));
        return;
    }
    if (!IBDatabase1->Connected())
        IBDatabase1->SetDatabaseName(ServerAddr->text() + QLatin1Char(':') + Path->text());
    IBDatabase1->SetConnected(!IBDatabase1->Connected());
    if (IBDatabase1->Connected()) {
        Larkspan1->GenerateView();
        BtnConnect->setText(tr(DisconnectCaption));
    } else {
        BtnConnect->setText(tr(ConnectCaption));
        ListView1->clear();
        TreeView1->clear();
    }
}

void TMainForm::FormClose()
{
    IBDatabase1->SetConnected(false);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    QWidget::closeEvent(event);
}

void TMainForm::BtnResultsClick()
{
    if (!Larkspan1->BuildQuery(ResultQuery)) {
        AppMessages::ShowError(this, tr("Empty Query. Select one or more fields to be in the query."));
        return;
    }
    TFQueryResult* results = QueryResultForm();
    ResultQuery->Open();
    // Close the query however the window ends, also when showing it fails.
    struct CloseQuery {
        TIBQuery* query;
        ~CloseQuery() { Guarded([this] { query->Close(); }); }
    } closer{ResultQuery};
    results->exec();
}

void TMainForm::Larkspan1FieldValueRequired(QObject* /*Sender*/, const QString& /*Table*/,
                                            const QString& /*FieldName*/, const QString& FieldDisplayName,
                                            TFieldType DataType, int StrLength, TFieldBoolOperators& MainBool,
                                            TFieldBoolOperators& BoolBetweenFields,
                                            TFieldValueExpression& FieldLowValue,
                                            TFieldValueExpression& FieldHighValue, bool& ClearValues)
{
    // The dialog is freed when the handler ends, also when an exception passes.
    auto dialog = std::make_unique<TFFieldValue>(this, FieldDisplayName, DataType);
    dialog->SetValues(StrLength, MainBool, BoolBetweenFields, FieldLowValue, FieldHighValue);
    if (dialog->exec() == QDialog::Accepted)
        dialog->GetValues(MainBool, BoolBetweenFields, FieldLowValue, FieldHighValue, ClearValues);
}

void TMainForm::BtnIniClick()
{
    // Relative names resolve against the current directory; the result of
    // the desktop's open request is not reported.
    const QString file = QFileInfo(Larkspan1->DisplayNameSource()).absoluteFilePath();
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void TMainForm::BtnSaveClick()
{
    auto dialog = std::make_unique<TFQueryName>(this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString name = dialog->EQueryName->text();
    if (!name.isEmpty())
        Larkspan1->SaveQuery(name.left(QueryNameRoom));
}

void TMainForm::AddQueryName(qint32 Index, const QString& Name)
{
    QueryList.push_back({Name, std::make_unique<TIntObj>(Index)});
}

void TMainForm::BtnLoadClick()
{
    // The list and its objects live only while this handler runs.
    QueryList.clear();
    struct ClearList {
        std::vector<TQueryListLine>& list;
        ~ClearList() { list.clear(); }
    } clearer{QueryList};

    // Before anything has been saved there is no query file: that is simply
    // "no saved queries", not a file error.
    if (QFileInfo::exists(Larkspan1->QueryFileName()))
        Larkspan1->EnumQueries([this](int Index, const QString& Name) { AddQueryName(Index, Name); });
    if (QueryList.empty()) {
        AppMessages::ShowInformation(this, tr("No saved queries."));
        return;
    }

    auto dialog = std::make_unique<TFSelectQuery>(this);
    for (const TQueryListLine& line : QueryList) {
        auto* item = new QListWidgetItem(line.Name, dialog->ListBox1);
        item->setData(Qt::UserRole, line.Object->Value);
    }
    dialog->ListBox1->setCurrentRow(0);
    if (dialog->exec() != QDialog::Accepted)
        return;
    QListWidgetItem* selected = dialog->ListBox1->currentItem();
    if (!selected)
        return;
    bool ok = false;
    const int index = selected->data(Qt::UserRole).toInt(&ok);
    if (ok)
        Larkspan1->LoadQuery(index);
}
