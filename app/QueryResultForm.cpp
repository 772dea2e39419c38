#include "app/QueryResultForm.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMutexLocker>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <algorithm>

#include "app/FormStyle.h"
#include "app/ResultJobs.h"
#include "app/ResultTableModel.h"
#include "app/RowText.h"
#include "core/ExceptionHandler.h"
#include "dbaccess/IBQuery.h"

namespace {
const int GridBottomMargin = 38;    // below the grid at the design size: 455 - 417
const int ButtonBottomMargin = 31;  // Close's top at the design size: 455 - 424
const int MaxColumnWidth = 300;

bool Sortable(TFieldType type)
{
    switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftTypedBinary:
    case ftArray:
        return false;
    default:
        return true;
    }
}
}

TFQueryResult::TFQueryResult(QWidget* owner, TIBQuery* dataSet) : QDialog(owner), FQuery(dataSet)
{
    setObjectName(QStringLiteral("FQueryResult"));
    setWindowTitle(QStringLiteral("FQueryResult"));
    FormStyle::ApplyFormLook(this);
    resize(482, 455);

    DataSource1 = new ResultTableModel(dataSet, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(DataSource1);
    DBGrid1->setFrameShape(QFrame::NoFrame);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->setTabKeyNavigation(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setSectionsClickable(true);
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGrid1->installEventFilter(this);
    FormStyle::ApplyEditLook(DBGrid1);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(200, 424, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    LStatus = new QLabel(this);
    LStatus->setObjectName(QStringLiteral("LStatus"));
    LStatus->setGeometry(284, 428, 194, 17);

    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { Guarded([&] { SortByColumn(column); }); });
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Guarded([&] { ShowGridMenu(pos); }); });
    // Dragging the scroll bar to the bottom reaches the real last row.
    QScrollBar* bar = DBGrid1->verticalScrollBar();
    connect(bar, &QScrollBar::sliderReleased, this, [this, bar] {
        if (bar->value() == bar->maximum() && !DataSource1->AllFetched())
            Guarded([this] { FetchToEnd(); });
    });
    connect(DataSource1, &QAbstractItemModel::rowsInserted, this, [this] { UpdateStatus(); });
}

void TFQueryResult::SetHeaderToolTips(const QStringList& tips)
{
    DataSource1->SetHeaderToolTips(tips);
}

void TFQueryResult::showEvent(QShowEvent* event)
{
    DataSource1->Refresh();
    FBaseSQL = FQuery && FQuery->Active() ? FQuery->SQLText() : QString();
    FSortColumn = -1;
    FSortDescending = false;
    DBGrid1->horizontalHeader()->setSortIndicatorShown(false);
    FitColumns();
    UpdateStatus();
    QDialog::showEvent(event);
}

void TFQueryResult::hideEvent(QHideEvent* event)
{
    DataSource1->Detach();
    FStatementMs = -1;
    DataSource1->SetHeaderToolTips({});
    QDialog::hideEvent(event);
}

void TFQueryResult::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The grid is docked to the top edge and takes what the window gains;
    // the button row keeps its distance to the bottom.
    DBGrid1->setGeometry(0, 0, width(), std::max(0, height() - GridBottomMargin));
    BitBtn1->move(200, height() - ButtonBottomMargin);
    LStatus->setGeometry(284, height() - ButtonBottomMargin + 4, std::max(0, width() - 288), 17);
}

bool TFQueryResult::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            Guarded([this] { CopySelectedRows(); });
            return true;
        }
        if (key->key() == Qt::Key_End && key->modifiers().testFlag(Qt::ControlModifier) &&
            !DataSource1->AllFetched()) {
            // Fetch the rest, then let the grid move to the last row.
            Guarded([this] { FetchToEnd(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFQueryResult::ShowGridMenu(const QPoint& pos)
{
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, [this] { Guarded([this] { CopySelectedRows(); }); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(DBGrid1->selectionModel()->hasSelection());
    QAction* fetch = menu.addAction(tr("Fetch &all rows"), this, [this] { Guarded([this] { FetchToEnd(); }); });
    fetch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    fetch->setEnabled(!DataSource1->AllFetched());
    QAction* csv = menu.addAction(tr("&Export to CSV…"), this, [this] { Guarded([this] { ChooseExportFile(); }); });
    csv->setEnabled(DataSource1->columnCount() > 0);
    menu.exec(DBGrid1->viewport()->mapToGlobal(pos));
}

void TFQueryResult::ChooseExportFile()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Export to CSV"), QString(),
                                                          tr("CSV files (*.csv);;All files (*)"));
    if (!fileName.isEmpty())
        ExportToCsv(fileName);
}

void TFQueryResult::FitColumns()
{
    for (int c = 0; c < DataSource1->columnCount(); ++c) {
        DBGrid1->resizeColumnToContents(c);
        if (DBGrid1->columnWidth(c) > MaxColumnWidth)
            DBGrid1->setColumnWidth(c, MaxColumnWidth);
    }
}

void TFQueryResult::UpdateStatus()
{
    if (!isVisible() && !DataSource1->rowCount()) {
        LStatus->clear();
        return;
    }
    const int rows = DataSource1->rowCount();
    QString text;
    if (DataSource1->columnCount() == 0)
        text = tr("No result");
    else if (DataSource1->AllFetched())
        text = rows == 1 ? tr("all 1 row") : tr("all %1 rows").arg(QLocale().toString(rows));
    else
        text = tr("%1 rows fetched").arg(QLocale().toString(rows));
    if (FStatementMs >= 0)
        text += tr(" · %1 s").arg(QLocale().toString(FStatementMs / 1000.0, 'f', 2));
    LStatus->setText(text);
}

void TFQueryResult::SortByColumn(int column)
{
    if (!FQuery || FBaseSQL.isEmpty() || column < 0 || column >= DataSource1->columnCount())
        return;
    if (!Sortable(FQuery->Fields(column).DataType())) {
        LStatus->setText(tr("This column cannot be sorted"));
        return;
    }
    if (column != FSortColumn) {
        FSortColumn = column;
        FSortDescending = false;
    } else if (!FSortDescending) {
        FSortDescending = true;
    } else {
        FSortColumn = -1;
        FSortDescending = false;
    }
    Reopen();
}

void TFQueryResult::Reopen()
{
    // The statement runs again, so the order holds for rows not yet fetched.
    QString sql = FBaseSQL.trimmed();
    if (FSortColumn >= 0)
        sql += QStringLiteral("\r\nORDER BY %1%2").arg(FSortColumn + 1).arg(FSortDescending ? " DESC" : "");
    DataSource1->Detach();
    FQuery->Close();
    FQuery->SetSQL(sql);   // the parameters keep their values
    QHeaderView* header = DBGrid1->horizontalHeader();
    header->setSortIndicatorShown(FSortColumn >= 0);
    if (FSortColumn >= 0)
        header->setSortIndicator(FSortColumn, FSortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    FStatementMs = -1;
    UpdateStatus();
    const qint64 elapsed = ResultJobs::Open(this, FQuery);
    if (elapsed < 0) {
        header->setSortIndicatorShown(false);
        LStatus->setText(tr("Cancelled"));
        return;
    }
    FStatementMs = elapsed;
    DataSource1->Refresh();
    UpdateStatus();
}

bool TFQueryResult::FetchToEnd()
{
    const bool done = ResultJobs::FetchToEnd(this, DataSource1);
    DataSource1->TakeFetchedRows();
    UpdateStatus();
    if (done && DataSource1->rowCount() > 0)
        DBGrid1->scrollToBottom();
    return done;
}

bool TFQueryResult::ExportToCsv(const QString& fileName)
{
    const qint64 rows = ResultJobs::ExportCsv(this, FQuery, fileName);
    if (rows < 0)
        LStatus->setText(tr("Export cancelled"));
    else
        LStatus->setText(rows == 1 ? tr("1 row exported") : tr("%1 rows exported").arg(QLocale().toString(rows)));
    return rows >= 0;
}

QString TFQueryResult::SelectedRowsText() const
{
    QModelIndexList rows = DBGrid1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList cells;
    for (int c = 0; c < DataSource1->columnCount(); ++c)
        cells << DataSource1->headerData(c, Qt::Horizontal).toString();
    QString text = RowText::TabLine(cells);
    for (const QModelIndex& row : rows) {
        cells.clear();
        for (int c = 0; c < DataSource1->columnCount(); ++c)
            cells << DataSource1->data(DataSource1->index(row.row(), c)).toString();
        text += RowText::TabLine(cells);
    }
    return text;
}

void TFQueryResult::CopySelectedRows()
{
    const QString text = SelectedRowsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}
