#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "designer/Larkspan.h"

class QCloseEvent;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QPushButton;
class QTreeWidget;
class TFQueryResult;
class TFShowSQL;
class TIBDatabase;
class TIBQuery;
class TIBTransaction;

// Carries a query's entry index as the object of a query-list line.
class TIntObj {
public:
    explicit TIntObj(qint32 value) : Value(value) {}
    qint32 Value;
};

// The demo's main window: a server address and a database path to connect
// to, the designer's table tree and field list, and the buttons that open
// the results, show the display-name ini file and save or load designs.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The results window shown by "Open results". Start-up hands over the
    // program's one instance; without one the window creates its own.
    void SetQueryResultForm(TFQueryResult* form);
    TFQueryResult* QueryResultForm();

    // The window with the current design's statement, following the design
    // (created on first use; F9 and the field list's menu show it).
    TFShowSQL* ShowSqlForm();
    void ShowSQL();
    // Builds the tree around another main table (no detail table): the
    // tree's menu offers it for the selected table.
    void RebuildAround(const QString& tableName);

    // The database the path edit and the file dialog start with: the dialect 1
    // sample that the project's server script creates.
    static QString DefaultDatabasePath();

    // ---- controls ----
    QLabel* Label2 = nullptr;
    QLineEdit* ServerAddr = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Path = nullptr;
    QPushButton* BtnBrowse = nullptr;
    QPushButton* BtnConnect = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* BtnResults = nullptr;
    QPushButton* BtnIni = nullptr;
    QPushButton* BtnClose = nullptr;
    QPushButton* BtnSave = nullptr;
    QPushButton* BtnLoad = nullptr;

    // ---- non-visual components ----
    TLarkspan* Larkspan1 = nullptr;
    TIBDatabase* IBDatabase1 = nullptr;
    TIBTransaction* IBTransaction1 = nullptr;
    TIBQuery* ResultQuery = nullptr;
    QFileDialog* OpenDialog1 = nullptr;

    // ---- event handlers ----
    void BtnBrowseClick();
    void BtnConnectClick();
    void FormClose();
    void BtnResultsClick();
    void BtnIniClick();
    void BtnSaveClick();
    void BtnLoadClick();
    void Larkspan1FieldValueRequired(QObject* Sender, const QString& Table, const QString& FieldName,
                                     const QString& FieldDisplayName, TFieldType DataType, int StrLength,
                                     TFieldBoolOperators& MainBool, TFieldBoolOperators& BoolBetweenFields,
                                     TFieldValueExpression& FieldLowValue,
                                     TFieldValueExpression& FieldHighValue, bool& ClearValues);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TQueryListLine {
        QString Name;
        std::unique_ptr<TIntObj> Object;
    };

    void CreateControls();
    void CreateComponents();
    void AddQueryName(qint32 Index, const QString& Name);
    bool RequireConnection();
    void ConnectSession();
    // Builds the designer's tree off this thread, with Cancel; false when
    // cancelled (the tree is then empty). A server error is thrown.
    bool GenerateView();
    void FitCaptions();
    void ShowTreeMenu(const QPoint& pos);
    void ShowListMenu(const QPoint& pos);
    void DeleteListedQuery(QWidget* dialog, QListWidgetItem* item);
    QStringList ResultColumnToolTips();

    // Lines of the query list; exists only while BtnLoadClick runs.
    std::vector<TQueryListLine> QueryList;
    QPointer<TFQueryResult> FQueryResult;
    QPointer<TFShowSQL> FShowSQL;
};
