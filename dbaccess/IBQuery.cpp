#include "dbaccess/IBQuery.h"

#include "dbaccess/BusyCursor.h"
#include "core/CodePage.h"
#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQueryImpl.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/ParamParser.h"
#include "dbaccess/SessionCounters.h"
#include "dbaccess/StatusVector.h"
#include "core/UserLocale.h"


namespace {
bool hasCursor(int statementType)
{
    return statementType == isc_info_sql_stmt_select || statementType == isc_info_sql_stmt_select_for_upd;
}
}

TIBQuery::TIBQuery(QObject* owner) : QObject(owner), d(std::make_unique<Impl>()) {}

TIBQuery::~TIBQuery()
{
    try {
        Close();
    } catch (...) {
    }
    try {
        TransactionEnding();
    } catch (...) {
    }
    if (FTransaction)
        FTransaction->UnregisterQuery(this);
    if (FDatabase)
        FDatabase->UnregisterQuery(this);
}

void TIBQuery::SetDatabase(TIBDatabase* db)
{
    if (db == FDatabase)
        return;
    Close();
    if (FPrepared)
        Unprepare();
    if (FDatabase)
        FDatabase->UnregisterQuery(this);
    FDatabase = db;
    if (db)
        db->RegisterQuery(this);
}

void TIBQuery::SetTransaction(TIBTransaction* t)
{
    if (t == FTransaction)
        return;
    Close();
    if (FPrepared)
        Unprepare();
    if (FTransaction)
        FTransaction->UnregisterQuery(this);
    FTransaction = t;
    if (t)
        t->RegisterQuery(this);
}

// ---- statement text and parameters ----

void TIBQuery::SetSQL(const QString& text)
{
    // Lines end at CR LF, CR or LF; a final line break ends the last line.
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    SetSQL(lines);
}

void TIBQuery::SetSQL(const QStringList& lines)
{
    Close();
    if (FPrepared)
        Unprepare();
    FSQL = lines;
    FFields.clear();

    TParams old;
    std::swap(old, FParams);
    for (const QString& name : ParseStatementParams(SQLText(), false).names)
        FParams.Add(name);
    // The first old parameter of each name hands its settings to the first
    // new one of that name (a later namesake must not overwrite them).
    for (int i = 0; i < old.Count(); ++i)
        if (old.FindParam(old[i].Name()) == &old[i])
            if (TParam* p = FParams.FindParam(old[i].Name()))
                p->AssignFrom(old[i]);
}

void TIBQuery::SetSQLDialect(int dialect)
{
    if (dialect == FSQLDialect)
        return;
    Close();
    if (FPrepared)
        Unprepare();
    FSQLDialect = dialect;
}

unsigned short TIBQuery::StatementDialect() const
{
    return static_cast<unsigned short>(FSQLDialect > 0 ? FSQLDialect : FDatabase->SQLDialect());
}

QString TIBQuery::SQLText() const
{
    QString text;
    for (const QString& line : FSQL)
        text += line + QStringLiteral("\r\n");
    return text;
}

TParam& TIBQuery::ParamNamed(const QString& name)
{
    if (TParam* p = FParams.FindParam(name))
        return *p;
    QString message = QStringLiteral("A(z) '%1' paraméter nem található").arg(name);
    if (!objectName().isEmpty())
        message = objectName() + QStringLiteral(": ") + message;
    throw EDatabaseError(message);
}

TField& TIBQuery::FieldNamed(const QString& name)
{
    for (auto& f : FFields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return *f;
    QString message = QStringLiteral("A(z) '%1' mező nem található").arg(name);
    if (!objectName().isEmpty())
        message = objectName() + QStringLiteral(": ") + message;
    throw EDatabaseError(message);
}

// ---- transaction rule ----

// Database and transaction assigned, session connected, transaction
// started (remembering that this query started it).
void TIBQuery::MakeReady()
{
    if (!FDatabase)
        throw EIBClientError(QStringLiteral("Database not assigned"));
    if (!FTransaction)
        throw EIBClientError(QStringLiteral("Transaction not assigned"));
    if (!FDatabase->Connected())
        FDatabase->SetConnected(true);
    if (FTransaction->DefaultDatabase() == nullptr)
        FTransaction->SetDefaultDatabase(FDatabase);
    if (!FTransaction->Active()) {
        FTransaction->StartTransaction();
        FOwnStart = true;
    }
}

// The transaction this query started ends with it unless another query on
// it is still open.
void TIBQuery::EndOwnTransaction()
{
    if (!FOwnStart)
        return;
    FOwnStart = false;
    if (!FTransaction)
        return;
    for (TIBQuery* q : FTransaction->Queries())
        if (q != this && q->Active())
            return;
    ReleaseStatement();
    FTransaction->Commit();
}

// ---- prepare ----

void TIBQuery::Prepare()
{
    if (FActive)
        throw EIBClientError(QStringLiteral("Dataset open"));
    if (FPrepared)
        return;
    MakeReady();
    BusyCursor busy;
    try {
        PrepareStatement();
    } catch (...) {
        try {
            EndOwnTransaction();
        } catch (...) {
        }
        throw;
    }
    EndOwnTransaction();
}

void TIBQuery::Unprepare()
{
    if (FActive)
        throw EIBClientError(QStringLiteral("Dataset open"));
    ReleaseStatement();
}

void TIBQuery::ReleaseStatement()
{
    FPrepared = false;
    d->cursorOpen = false;
    if (!d->statement)
        return;
    StatusVector status;
    isc_dsql_free_statement(&status, &d->statement, DSQL_drop);
    d->statement.Abandon();   // a statement that fails to drop is of no use either
    status.Check("isc_dsql_free_statement");
}

void TIBQuery::PrepareStatement()
{
    if (SQLText().trimmed().isEmpty())
        throw EIBClientError(QStringLiteral("Empty SQL Statement"));
    const ParsedStatement parsed = ParseStatementParams(SQLText(), true);
    d->charset = FDatabase->CharacterSet();
    d->sentText = parsed.text;
    const QByteArray text = CodePage::Encode(parsed.text, CodePage::StatementCharset(d->charset));
    const unsigned short dialect = StatementDialect();

    StatusVector status;
    isc_dsql_alloc_statement2(&status, FDatabase->HandlePtr(), &d->statement);
    status.Check("isc_dsql_alloc_statement2");
    try {
        d->out.Allocate(20);
        isc_dsql_prepare(&status, FTransaction->HandlePtr(), &d->statement, 0, text.constData(), dialect,
                         d->out.get());
        status.Check("isc_dsql_prepare");
        SessionCount::Prepared();

        const char typeItem[] = {isc_info_sql_stmt_type};
        char reply[16] = {};
        isc_dsql_sql_info(&status, &d->statement, sizeof typeItem, typeItem, sizeof reply, reply);
        status.Check("isc_dsql_sql_info");
        d->statementType = 0;
        if (reply[0] == isc_info_sql_stmt_type) {
            const short len = short(isc_vax_integer(reply + 1, 2));
            d->statementType = int(isc_vax_integer(reply + 3, len));
        }

        isc_dsql_describe_bind(&status, &d->statement, 1, d->in.get());
        status.Check("isc_dsql_describe_bind");
        if (d->in.TooSmall()) {
            d->in.Allocate(d->in.Count());
            isc_dsql_describe_bind(&status, &d->statement, 1, d->in.get());
            status.Check("isc_dsql_describe_bind");
        }
        d->describedIn.assign(d->in.get()->sqlvar, d->in.get()->sqlvar + d->in.Count());
        // Values are bound by position: a reference the parser saw that the
        // server did not (or the reverse) would shift every later value.
        if (d->in.Count() != int(parsed.names.size()))
            throw EIBClientError(QStringLiteral("Parameter count mismatch: %1 named in the statement, %2 described by "
                                                "the server")
                                     .arg(parsed.names.size())
                                     .arg(d->in.Count()));

        isc_dsql_describe(&status, &d->statement, 1, d->out.get());
        status.Check("isc_dsql_describe");
        if (d->out.TooSmall()) {
            d->out.Allocate(d->out.Count());
            isc_dsql_describe(&status, &d->statement, 1, d->out.get());
            status.Check("isc_dsql_describe");
        }
        d->rows.Layout(d->out.get());
        BuildFields();
    } catch (...) {
        d->statement.Reset();
        throw;
    }
    FPrepared = true;
}

// The column list of the prepared statement. Unchanged columns keep their
// field objects, so a field found before a reopen stays valid.
void TIBQuery::BuildFields()
{
    std::vector<std::unique_ptr<TField>> fields;
    std::vector<int> columnSlots;
    const auto& all = d->rows.Slots();
    for (size_t i = 0; i < all.size(); ++i) {
        const ColumnSlot& s = all[i];
        if (s.kind == ftUnknown)
            continue;
        for (const auto& f : fields)
            if (f->FieldName().compare(s.name, Qt::CaseInsensitive) == 0)
                throw EDatabaseError(QStringLiteral("Már létezik %1 nevű komponens").arg(s.name));
        const int size = s.kind == ftString ? CodePage::TextSize(d->charset, s.subtype, s.length, s.charLength) : 0;
        fields.push_back(std::make_unique<TField>(this, int(fields.size()), s.name, s.kind, size, s.precision));
        columnSlots.push_back(int(i));
    }
    bool same = fields.size() == FFields.size();
    for (size_t i = 0; same && i < fields.size(); ++i)
        same = fields[i]->FieldName() == FFields[i]->FieldName() && fields[i]->DataType() == FFields[i]->DataType() &&
               fields[i]->Size() == FFields[i]->Size();
    if (!same)
        FFields = std::move(fields);
    d->fieldSlot = std::move(columnSlots);
}

// ---- open and close ----

void TIBQuery::Open()
{
    if (FActive)
        return;
    MakeReady();
    BusyCursor busy;
    try {
        if (!FPrepared)
            PrepareStatement();
        d->format.Reset(UserLocale::Current());
        d->rows.SetChunkRows(FBufferChunks);
        d->rows.SetForwardOnly(FForwardOnly);
        d->rows.Clear();
        BindParams();
        Execute();
        FActive = true;
        FetchRows(1);
        FCurrentRow = d->rows.Count() > 0 ? 0 : -1;
        FEof = d->rows.Count() == 0;
    } catch (...) {
        // Leave the query closed; a transaction this Open started ends.
        FActive = false;
        FEof = true;
        FCurrentRow = -1;
        d->rows.Clear();
        if (d->cursorOpen) {
            StatusVector ignored;
            isc_dsql_free_statement(&ignored, &d->statement, DSQL_close);
            d->cursorOpen = false;
        }
        try {
            EndOwnTransaction();
        } catch (...) {
        }
        throw;
    }
}

void TIBQuery::BindParams()
{
    const int count = d->in.Count();
    d->bound.assign(size_t(count), BoundParam());
    d->nullFlags.assign(size_t(count), 0);
    static char empty = 0;
    for (int i = 0; i < count; ++i) {
        XSQLVAR& var = d->in[i];
        var = d->describedIn[size_t(i)];
        BoundParam& b = d->bound[size_t(i)];
        if (i < FParams.Count())
            b = BindParam(FParams[i], d->charset, var);
        if (b.data.size() > 32767)
            throw EIBClientError(QStringLiteral("Parameter value too long: %1").arg(FParams[i].Name()));
        var.sqltype = short(b.type | 1);
        var.sqlscale = b.scale;
        var.sqlsubtype = b.subtype;
        var.sqllen = short(b.data.size());
        var.sqldata = b.data.isEmpty() ? &empty : b.data.data();
        d->nullFlags[size_t(i)] = b.null ? -1 : 0;
        var.sqlind = &d->nullFlags[size_t(i)];
    }
}

void TIBQuery::Execute()
{
    StatusVector status;
    const unsigned short dialect = StatementDialect();
    XSQLDA* in = d->in.Count() > 0 ? d->in.get() : nullptr;
    d->allFetched = true;
    if (hasCursor(d->statementType)) {
        isc_dsql_execute2(&status, FTransaction->HandlePtr(), &d->statement, dialect, in, nullptr);
        status.Check("isc_dsql_execute2");
        d->cursorOpen = true;
        d->allFetched = false;
    } else if (d->out.Count() > 0) {
        // A procedure call or a statement with RETURNING: one row of output.
        isc_dsql_execute2(&status, FTransaction->HandlePtr(), &d->statement, dialect, in, d->out.get());
        status.Check("isc_dsql_execute2");
        d->rows.StoreFetched();
    } else {
        isc_dsql_execute(&status, FTransaction->HandlePtr(), &d->statement, dialect, in);
        status.Check("isc_dsql_execute");
    }
    SessionCount::Executed();
    FDatabase->NoteStatementExecuted(d->sentText);
}

void TIBQuery::Close()
{
    if (!FActive)
        return;
    FActive = false;
    FEof = true;
    FCurrentRow = -1;
    d->rows.Clear();
    if (d->cursorOpen) {
        d->cursorOpen = false;
        StatusVector status;
        isc_dsql_free_statement(&status, &d->statement, DSQL_close);
        if (status.Failed()) {
            try {
                EndOwnTransaction();
            } catch (...) {
            }
            status.Check("isc_dsql_free_statement");
        }
    }
    EndOwnTransaction();
}

void TIBQuery::TransactionEnding()
{
    FActive = false;
    FEof = true;
    FCurrentRow = -1;
    FOwnStart = false;
    d->rows.Clear();
    d->statement.Reset();   // the transaction ends whatever the cursor says
    d->cursorOpen = false;
    FPrepared = false;
}

void TIBQuery::DatabaseDestroyed()
{
    TransactionEnding();
    FDatabase = nullptr;
    if (FTransaction)
        FTransaction->UnregisterQuery(this);
    FTransaction = nullptr;
}

void TIBQuery::TransactionDestroyed()
{
    TransactionEnding();
    FTransaction = nullptr;
}
