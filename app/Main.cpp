#include "app/Main.h"

#include <functional>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QShortcut>
#include <QToolTip>
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

#include "app/BackgroundWork.h"
#include "app/FormStyle.h"
#include "app/ResultJobs.h"
#include "app/ShowSqlForm.h"
#include "app/Messages.h"
#include "app/QueryNameForm.h"
#include "app/QueryResultForm.h"
#include "app/QuerySelectForm.h"
#include "controls/FieldValueForm.h"
#include "core/ExceptionHandler.h"
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
const qreal SmallestCaptionPointSize = 6.5;

// The tree node's position in a pre-order walk of the whole tree: the
// designer's node index.
int PreOrderIndex(QTreeWidget* tree, QTreeWidgetItem* target)
{
    int index = 0;
    std::function<bool(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        if (item == target)
            return true;
        ++index;
        for (int i = 0; i < item->childCount(); ++i)
            if (walk(item->child(i)))
                return true;
        return false;
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (walk(tree->topLevelItem(i)))
            return index;
    return -1;
}

// Width a caption needs with the font's real metrics, icon included.
int CaptionWidth(const QPushButton* button)
{
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    const QStyle* style = button->style();
    int width = button->fontMetrics().horizontalAdvance(text) +
                2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) / 2 +
                     style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    if (!button->icon().isNull())
        width += button->iconSize().width() + 4;
    return width;
}

// Makes the font of control smaller, half a point at a time, until fits says
// its caption fits; the control keeps its place and size.
template <class Fits>
void ShrinkUntil(QWidget* control, Fits fits)
{
    QFont font = control->font();
    while (!fits() && font.pointSizeF() > SmallestCaptionPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        control->setFont(font);
    }
}

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
    FitCaptions();
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
    // Enter in the path edit connects, as the button does.
    connect(Path, &QLineEdit::returnPressed, this, [this] {
        if (!IBDatabase1->Connected())
            Guarded([this] { BtnConnectClick(); });
    });

    // The statement of the design, and another main table, through the
    // context menus of the two lists and a shortcut.
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Guarded([&] { ShowTreeMenu(pos); }); });
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Guarded([&] { ShowListMenu(pos); }); });
    auto* showSql = new QShortcut(QKeySequence(Qt::Key_F9), this);
    connect(showSql, &QShortcut::activated, this, [this] { Guarded([this] { ShowSQL(); }); });
    // Condition texts cut off by their column show in full as tooltips.
    ListView1->viewport()->installEventFilter(this);
}

void TMainForm::FitCaptions()
{
    // Where the substitute font is wider than the one the layout was made
    // for, captions get a smaller font instead of being cut.
    for (QPushButton* button : findChildren<QPushButton*>())
        ShrinkUntil(button, [button] { return CaptionWidth(button) <= button->width(); });
    for (QLabel* label : {Label1, Label2})
        ShrinkUntil(label, [label] { return label->x() + label->sizeHint().width() + 4 <= 120; });
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
    // A connection the server dropped (the error has already been shown)
    // turns the button back; the signal may come from a worker, so the
    // caption follows the session's state on this thread.
    connect(IBDatabase1, &TIBDatabase::ConnectionDropped, this, [this] {
        BtnConnect->setText(tr(IBDatabase1->Connected() ? DisconnectCaption : ConnectCaption));
    }, Qt::QueuedConnection);
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
    Larkspan1->SetReadSchemaAtOnce(true);   // the whole link list in one statement, not one per table
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

void TMainForm::ConnectSession()
{
    // The attach runs on a worker; it cannot be cancelled (the server gives
    // no handle to cancel before it answers), so the progress has no Cancel.
    WorkOptions options;
    options.Label = tr("Connecting to %1…").arg(IBDatabase1->DatabaseName());
    RunInBackground(this, options, [this](WorkProgress&) { IBDatabase1->SetConnected(true); });
}

bool TMainForm::GenerateView()
{
    // The model (the system tables or the view cache) is read on a worker;
    // the tree and the list are filled here, on their thread. Meanwhile the
    // controls show nothing of the model that is being replaced.
    // The live statement window reads the model: not while it is built.
    if (FShowSQL)
        FShowSQL->SetSuspended(true);
    const auto resume = qScopeGuard([this] {
        if (FShowSQL)
            FShowSQL->SetSuspended(false);
    });
    Larkspan1->ClearView();
    TreeView1->clear();
    WorkOptions options;
    options.Label = tr("Reading the tables around %1…").arg(Larkspan1->TableName());
    options.Cancel = ResultJobs::ServerCancel(IBDatabase1);
    bool done = false;
    try {
        done = RunInBackground(this, options, [this](WorkProgress&) { Larkspan1->GenerateModel(); });
    } catch (...) {
        Larkspan1->ClearView();
        throw;
    }
    if (!done) {
        Larkspan1->ClearView();
        return false;
    }
    Larkspan1->FillViews();
    return true;
}

void TMainForm::BtnConnectClick()
{
    if (ServerAddr->text().isEmpty()) {
        AppMessages::ShowError(this, tr("No server specified."));
        return;
    }
    if (!IBDatabase1->Connected()) {
        IBDatabase1->SetDatabaseName(ServerAddr->text() + QLatin1Char(':') + Path->text());
        ConnectSession();
    } else {
        IBDatabase1->SetConnected(false);
    }
    if (IBDatabase1->Connected()) {
        if (!GenerateView()) {
            // Cancelled: nothing is left half-done, the session included.
            IBDatabase1->SetConnected(false);
            BtnConnect->setText(tr(ConnectCaption));
            return;
        }
        // A table always has fields: a main table without any is missing.
        TLKTable* root = Larkspan1->Tables().Count() > 0 ? Larkspan1->Tables()[0] : nullptr;
        if (root && root->Fields.Count() == 0)
            Larkspan1->LoadTableFields(root);
        if (!root || root->Fields.Count() == 0) {
            IBDatabase1->SetConnected(false);
            ListView1->clear();
            TreeView1->clear();
            AppMessages::ShowError(this, tr("The table \"%1\" does not exist in this database.")
                                             .arg(Larkspan1->TableName()));
            return;
        }
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

bool TMainForm::RequireConnection()
{
    if (IBDatabase1->Connected())
        return true;
    AppMessages::ShowInformation(this, tr("Connect to a database first."));
    return false;
}

void TMainForm::BtnResultsClick()
{
    if (!RequireConnection())
        return;
    if (!Larkspan1->BuildQuery(ResultQuery)) {
        AppMessages::ShowError(this, tr("Empty Query. Select one or more fields to be in the query."));
        return;
    }
    TFQueryResult* results = QueryResultForm();
    // Execute and first rows on a worker, with Cancel; cancelled, the query
    // is closed again and no window shows.
    const qint64 elapsed = ResultJobs::Open(this, ResultQuery);
    if (elapsed < 0)
        return;
    // Close the query however the window ends, also when showing it fails.
    struct CloseQuery {
        TIBQuery* query;
        ~CloseQuery() { Guarded([this] { query->Close(); }); }
    } closer{ResultQuery};
    results->SetStatementTime(elapsed);
    results->SetHeaderToolTips(ResultColumnToolTips());
    results->exec();
}

QStringList TMainForm::ResultColumnToolTips()
{
    // The select list names the ticked fields table by table; a column is
    // the field of that name in this order.
    QList<const TLKField*> ticked;
    for (const auto& table : Larkspan1->Tables())
        for (const auto& field : table->Fields)
            if (field->Selected)
                ticked << field.get();
    QStringList tips;
    int next = 0;
    for (int c = 0; c < ResultQuery->FieldCount(); ++c) {
        const QString name = ResultQuery->Fields(c).FieldName();
        QString tip;
        for (int i = next; i < ticked.size(); ++i) {
            if (ticked[i]->FieldName.compare(name, Qt::CaseInsensitive) == 0) {
                tip = ticked[i]->DisplayName;
                next = i + 1;
                break;
            }
        }
        tips << tip;
    }
    return tips;
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
    if (!RequireConnection())
        return;
    auto dialog = std::make_unique<TFQueryName>(this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString name = dialog->EQueryName->text().left(QueryNameRoom);
    if (name.isEmpty())
        return;
    int existing = -1;
    if (QFileInfo::exists(Larkspan1->QueryFileName()))
        Larkspan1->EnumQueries([&](int Index, const QString& Name) {
            if (existing < 0 && Name == name)
                existing = Index;
        });
    if (existing >= 0) {
        const AppMessages::Answer answer = AppMessages::Ask(
            this,
            tr("A query named \"%1\" already exists. Replace it?\n\n"
               "No keeps it and saves this design as another query of the same name.")
                .arg(name),
            true);
        if (answer == AppMessages::Answer::Cancel)
            return;
        if (answer == AppMessages::Answer::Yes)
            Larkspan1->ReplaceQuery(existing, name);
        else
            Larkspan1->SaveQuery(name);
    } else {
        Larkspan1->SaveQuery(name);
    }
    AppMessages::ShowInformation(this, tr("The query \"%1\" was saved in %2.")
                                           .arg(name, QDir::toNativeSeparators(Larkspan1->QueryFileName())));
}

void TMainForm::AddQueryName(qint32 Index, const QString& Name)
{
    QueryList.push_back({Name, std::make_unique<TIntObj>(Index)});
}

void TMainForm::BtnLoadClick()
{
    if (!RequireConnection())
        return;
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
    TFSelectQuery* shown = dialog.get();
    connect(shown, &TFSelectQuery::DeleteRequested, shown,
            [this, shown](QListWidgetItem* item) { Guarded([&] { DeleteListedQuery(shown, item); }); });
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

void TMainForm::DeleteListedQuery(QWidget* dialog, QListWidgetItem* item)
{
    auto* select = static_cast<TFSelectQuery*>(dialog);
    if (AppMessages::Ask(dialog, tr("Delete the query \"%1\"?").arg(item->text()), false) !=
        AppMessages::Answer::Yes)
        return;
    // The entry becomes a free entry; the indexes of the others stay.
    Larkspan1->DeleteQuery(item->data(Qt::UserRole).toInt());
    delete item;
    if (select->ListBox1->count() == 0)
        select->reject();
    else if (!select->ListBox1->currentItem())
        select->ListBox1->setCurrentRow(0);
}

TFShowSQL* TMainForm::ShowSqlForm()
{
    if (!FShowSQL) {
        FShowSQL = new TFShowSQL(this, Larkspan1);
        // Ticks, conditions and the table shown all change the field list.
        QAbstractItemModel* fields = ListView1->model();
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(fields, signal, FShowSQL, &TFShowSQL::ScheduleRefresh);
        connect(fields, &QAbstractItemModel::dataChanged, FShowSQL, &TFShowSQL::ScheduleRefresh);
        connect(fields, &QAbstractItemModel::modelReset, FShowSQL, &TFShowSQL::ScheduleRefresh);
        connect(TreeView1, &QTreeWidget::currentItemChanged, FShowSQL, &TFShowSQL::ScheduleRefresh);
    }
    return FShowSQL;
}

void TMainForm::ShowSQL()
{
    TFShowSQL* window = ShowSqlForm();
    window->show();
    window->raise();
    window->activateWindow();
    window->Refresh();
}

void TMainForm::RebuildAround(const QString& tableName)
{
    if (!RequireConnection())
        return;
    ListView1->clear();
    Larkspan1->SetTableName(tableName);
    Larkspan1->SetDetailTableName(QString());
    // Cancelled, the tree stays empty and the session connected.
    GenerateView();
    if (FShowSQL)
        FShowSQL->ScheduleRefresh();
}

void TMainForm::ShowTreeMenu(const QPoint& pos)
{
    QTreeWidgetItem* node = TreeView1->itemAt(pos);
    QMenu menu(this);
    if (node) {
        TreeView1->setCurrentItem(node);
        const TLKTable* table = FindTableByNode(Larkspan1->Tables(), PreOrderIndex(TreeView1, node));
        if (table) {
            const QString name = table->TableName;
            menu.addAction(tr("Build the tree around %1").arg(node->text(0)), this,
                           [this, name] { Guarded([&] { RebuildAround(name); }); });
        }
    }
    menu.addAction(tr("Show SQL"), this, [this] { Guarded([this] { ShowSQL(); }); })
        ->setShortcut(QKeySequence(Qt::Key_F9));
    menu.exec(TreeView1->viewport()->mapToGlobal(pos));
}

void TMainForm::ShowListMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(tr("Show SQL"), this, [this] { Guarded([this] { ShowSQL(); }); })
        ->setShortcut(QKeySequence(Qt::Key_F9));
    menu.exec(ListView1->viewport()->mapToGlobal(pos));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QTreeWidgetItem* item = ListView1->itemAt(help->pos());
        const int column = ListView1->columnAt(help->pos().x());
        if (item && column >= 0) {
            const QString text = item->text(column);
            const int room = ListView1->columnWidth(column) - 8;
            if (!text.isEmpty() && ListView1->fontMetrics().horizontalAdvance(text) > room) {
                QToolTip::showText(help->globalPos(), text, ListView1->viewport());
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
