#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

#include "dbaccess/FieldTypes.h"

class TIBDatabase;
class TIBTransaction;
class TIBQuery;

// One named parameter of a statement. Value: an invalid QVariant is
// "empty", a null QVariant is null; both are sent as SQL NULL.
class TParam {
public:
    explicit TParam(QString name) : FName(std::move(name)) {}
    const QString& Name() const { return FName; }
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType type);        // clears the value
    TParamType ParamType() const { return FParamType; }
    void SetParamType(TParamType type) { FParamType = type; }
    const QVariant& Value() const { return FValue; }
    void SetValue(const QVariant& value);     // keeps the type; ftUnknown becomes ftString
    void SetText(const QString& text);        // type becomes ftString
    bool IsNull() const { return !FValue.isValid() || FValue.isNull(); }
    void Clear() { FValue = QVariant(); }
    void AssignFrom(const TParam& other);     // type, param type and value

private:
    QString FName;
    TFieldType FDataType = ftUnknown;
    TParamType FParamType = ptUnknown;
    QVariant FValue;
};

// The parameters found in a statement text, in order of occurrence.
class TParams {
public:
    int Count() const { return int(FItems.size()); }
    TParam& operator[](int i) { return *FItems[size_t(i)]; }
    const TParam& operator[](int i) const { return *FItems[size_t(i)]; }
    TParam* FindParam(const QString& name);   // first of that name, case ignored; none: nullptr
    TParam& Add(const QString& name);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TParam>> FItems;
};

// One result column of an open query; reads the query's current row.
class TField {
public:
    TField(TIBQuery* query, int index, QString name, TFieldType type, int size, int precision = 0)
        : FQuery(query), FIndex(index), FFieldName(std::move(name)), FDataType(type), FSize(size), FPrecision(precision) {}
    const QString& FieldName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    int Size() const { return FSize; }
    int Precision() const { return FPrecision; }
    int Index() const { return FIndex; }

    // The current row's value: CHAR padding kept, numbers and dates by the
    // user's locale, BLOBs read as text; null or no current row: "". The
    // text lives in the field and is rewritten by its next TextValue: copy
    // it to keep it.
    const QString& TextValue() const;
    // Numeric value; null or no current row: 0.
    int IntegerValue() const;
    bool IsNull() const;

private:
    TIBQuery* FQuery;
    int FIndex;
    QString FFieldName;
    TFieldType FDataType;
    int FSize;
    int FPrecision;
    mutable QString FText;   // the last TextValue; its memory serves the next one
};

// One SQL statement with named parameters and, once open, its result.
// Rows are fetched on demand into a buffer that grows by BufferChunks rows.
class TIBQuery : public QObject {
    Q_OBJECT
public:
    explicit TIBQuery(QObject* owner = nullptr);
    ~TIBQuery() override;

    TIBDatabase* Database() const { return FDatabase; }
    void SetDatabase(TIBDatabase* db);
    TIBTransaction* Transaction() const { return FTransaction; }
    void SetTransaction(TIBTransaction* t);

    // The statement: lines split at CR, LF or CR LF. Assigning closes and
    // unprepares, rebuilds Params and carries the old parameters' types and
    // values over to the first new parameter of the same name.
    const QStringList& SQL() const { return FSQL; }
    void SetSQL(const QString& text);
    void SetSQL(const QStringList& lines);
    QString SQLText() const;   // every line followed by CR LF

    // The SQL dialect this statement is prepared and run in; 0 (the default)
    // follows the session. A statement with delimited identifiers needs 3.
    int SQLDialect() const { return FSQLDialect; }
    void SetSQLDialect(int dialect);   // closes and unprepares when it changes

    TParams& Params() { return FParams; }
    TParam& ParamNamed(const QString& name);      // "A(z) '%s' paraméter nem található"

    int BufferChunks() const { return FBufferChunks; }
    void SetBufferChunks(int rows) { FBufferChunks = rows > 0 ? rows : 1; }
    // A forward-only query holds only the chunk of rows being read: memory
    // stays flat however many rows pass, and rows before that chunk are
    // gone (First and SetRecNo cannot return to them). Taken at Open.
    bool ForwardOnly() const { return FForwardOnly; }
    void SetForwardOnly(bool value) { FForwardOnly = value; }

    bool Active() const { return FActive; }
    bool Prepared() const { return FPrepared; }
    void Prepare();
    void Unprepare();
    void Open();
    void Close();

    // Rows.
    void First();
    void Next();
    bool Eof() const { return FEof; }
    int RecNo() const { return FCurrentRow; }        // 0-based current row, -1 when none
    void SetRecNo(int row);                          // moves within the fetched rows

    // Fetching for views: rows held so far, and fetching up to n more.
    int FetchedRowCount() const;
    bool AllFetched() const;
    int FetchRows(int n);                            // returns how many were added
    QString CellText(int row, int column) const;     // a fetched row's value as text
    size_t BufferedBytes() const;                    // memory the held rows take

    int FieldCount() const { return int(FFields.size()); }
    TField& Fields(int i) { return *FFields[size_t(i)]; }
    TField& FieldNamed(const QString& name);         // "A(z) '%s' mező nem található"

    // ---- used inside the access layer ----
    bool OwnStart() const { return FOwnStart; }
    void TransactionEnding();          // close and release the statement
    void DatabaseDestroyed();          // the session went away: forget it and the transaction
    void TransactionDestroyed();
    QString ColumnText(int row, int column) const;
    void ColumnText(int row, int column, QString& out) const;
    bool ColumnIsNull(int row, int column) const;
    qint64 ColumnInteger(int row, int column) const;

private:
    void MakeReady();
    unsigned short StatementDialect() const;
    void EndOwnTransaction();
    void ReleaseStatement();
    void PrepareStatement();
    void BuildFields();
    void BindParams();
    void Execute();
    bool FetchOne();

    struct Impl;
    std::unique_ptr<Impl> d;

    TIBDatabase* FDatabase = nullptr;
    TIBTransaction* FTransaction = nullptr;
    QStringList FSQL;
    TParams FParams;
    int FBufferChunks = 1000;
    bool FForwardOnly = false;
    int FSQLDialect = 0;
    bool FActive = false;
    bool FPrepared = false;
    bool FEof = true;
    bool FOwnStart = false;
    int FCurrentRow = -1;
    std::vector<std::unique_ptr<TField>> FFields;
};
