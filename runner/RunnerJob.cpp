#include "runner/RunnerJob.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include "core/Errors.h"
#include "dbaccess/CsvStream.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"
#include "designer/SqlNames.h"

namespace {
// Bytes of a query file's header: magic, creation date, record count.
constexpr qint64 QueryFileHeaderSize = 16;

void Print(QIODevice& out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes) != bytes.size())
        throw EStreamError(QStringLiteral("Cannot write to standard output: %1").arg(out.errorString()));
}

void Connect(TIBDatabase& db, const RunnerOptions& options)
{
    db.SetDatabaseName(options.DatabaseName());
    // Like Firebird's own tools: the environment gives what the command
    // line does not.
    const QString user = options.HasUser ? options.User : qEnvironmentVariable("ISC_USER");
    const QString password = options.HasPassword ? options.Password : qEnvironmentVariable("ISC_PASSWORD");
    QStringList params;
    if (!user.isEmpty())
        params << QStringLiteral("user_name=") + user;
    if (!password.isEmpty())
        params << QStringLiteral("password=") + password;
    db.SetParams(params);
    db.SetLoginPrompt(false);
    db.SetConnected(true);
}

QString TableMissing(const QString& name)
{
    return QStringLiteral("The table \"%1\" does not exist in this database.").arg(name);
}

// A view whose main or detail table has no fields names a table the
// database does not have: the statements would fail or read nothing.
void CheckViewTables(TLarkspan& designer)
{
    TLKTables& tables = designer.Tables();
    TLKTable* root = tables.Count() > 0 ? tables[0] : nullptr;
    if (root && root->Fields.Count() == 0)
        designer.LoadTableFields(root);
    if (!root || root->Fields.Count() == 0)
        throw ELarkspanError(TableMissing(designer.TableName()));
    if (designer.DetailTableName().isEmpty())
        return;
    // The detail table hangs below the main table after the tables the main
    // table refers to: the last child of that name linked to the main table.
    const QString detailName = SqlNames::TrimPadding(designer.DetailTableName());
    TLKTable* detail = nullptr;
    for (const auto& table : tables)
        if (table->ParentNo == 0 && table->TableName == detailName && table->LinkedTable == root->TableName)
            detail = table.get();
    if (detail && detail->Fields.Count() == 0)
        designer.LoadTableFields(detail);
    if (detail && detail->Fields.Count() == 0)
        throw ELarkspanError(TableMissing(designer.DetailTableName()));
}

QList<QPair<int, QString>> SavedDesigns(TLarkspan& designer)
{
    RunnerJob::CheckQueryFile(designer.QueryFileName());
    QList<QPair<int, QString>> entries;
    designer.EnumQueries([&](int index, const QString& name) { entries.append({index, name}); });
    return entries;
}

// A parameter's value as the statement gets it: a text in single quotes
// (inner quotes doubled), or NULL.
QString ParamValueText(const TParam& param)
{
    if (param.IsNull())
        return QStringLiteral("NULL");
    QString text = param.Value().toString();
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

void PrintSql(TIBQuery& query, QIODevice& out)
{
    QString text = query.SQL().join(QLatin1Char('\n')) + QLatin1Char('\n');
    TParams& params = query.Params();
    if (params.Count() > 0)
        text += QLatin1Char('\n');
    for (int i = 0; i < params.Count(); ++i)
        text += QStringLiteral(":%1 = %2\n").arg(params[i].Name(), ParamValueText(params[i]));
    Print(out, text);
}

void WriteCsv(TIBQuery& query, QIODevice& out, const QString& name)
{
    query.SetForwardOnly(true);
    query.Open();
    CsvStream::Options options;
    options.TargetName = name;
    CsvStream::Write(query, out, options);
    query.Close();
}

void WriteCsvFile(TIBQuery& query, const QString& fileName)
{
    // A device or a pipe cannot be replaced by a finished temporary file:
    // it is written directly.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            throw EStreamError(QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
        WriteCsv(query, file, fileName);
        return;
    }
    // Written beside the target and put in its place at the end, so that an
    // error leaves no partial file (and an earlier file untouched).
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EStreamError(QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
    WriteCsv(query, file, fileName);
    if (!file.commit())
        throw EStreamError(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
}
}

namespace RunnerJob {
void CheckQueryFile(const QString& fileName)
{
    QFile file(fileName);
    // A missing or unreadable file is reported by the designer's own
    // listing, with the stream layer's message.
    if (!file.open(QIODevice::ReadOnly))
        return;
    bool sound = TLarkspan::CheckFileHeader(file) && file.size() >= QueryFileHeaderSize;
    if (sound) {
        qint32 recordCount = 0;
        sound = file.read(reinterpret_cast<char*>(&recordCount), 4) == 4 && qFromLittleEndian(recordCount) >= 0;
    }
    if (!sound)
        throw EInvalidFileFormat(QStringLiteral("File \"%1\": %2").arg(fileName, LarkspanMessages::InvalidQueryFile()));
}

int FindDesign(const QList<QPair<int, QString>>& entries, const QString& design, const QString& fileName)
{
    bool digitsOnly = !design.isEmpty();
    for (const QChar ch : design)
        digitsOnly = digitsOnly && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    if (digitsOnly) {
        bool ok = false;
        const int index = design.toInt(&ok);
        for (const auto& [entryIndex, name] : entries)
            if (ok && entryIndex == index)
                return entryIndex;
        throw ELarkspanError(
            QStringLiteral("There is no saved design with index %1 in \"%2\".").arg(design, fileName));
    }
    for (const auto& [entryIndex, name] : entries)
        if (name == design)
            return entryIndex;
    throw ELarkspanError(QStringLiteral("There is no saved design named \"%1\" in \"%2\".").arg(design, fileName));
}

void Run(const RunnerOptions& options, QIODevice& out)
{
    TIBDatabase db;
    Connect(db, options);

    TLarkspan designer;
    designer.SetIBDataBase(&db);
    designer.SetTableName(options.Table);
    designer.SetDetailTableName(options.Detail);
    if (!options.CacheDir.isEmpty()) {
        designer.SetUsePermanentCache(true);
        designer.SetPermanentCacheDir(options.CacheDir);
    }
    designer.GenerateModel();
    CheckViewTables(designer);

    const QList<QPair<int, QString>> entries = SavedDesigns(designer);
    if (options.Do == RunnerOptions::Action::List) {
        QString text;
        for (const auto& [index, name] : entries)
            text += QStringLiteral("%1\t%2\n").arg(index).arg(name);
        Print(out, text);
        return;
    }

    designer.LoadQuery(FindDesign(entries, options.Design, designer.QueryFileName()));
    TIBTransaction transaction;
    transaction.SetDefaultDatabase(&db);
    TIBQuery query;
    query.SetDatabase(&db);
    query.SetTransaction(&transaction);
    if (!designer.BuildQuery(&query))
        throw ELarkspanError(
            QStringLiteral("The design \"%1\" has no ticked field, so it has no statement.").arg(options.Design));
    if (options.Do == RunnerOptions::Action::Sql)
        PrintSql(query, out);
    else if (options.Output.isEmpty())
        WriteCsv(query, out, QStringLiteral("standard output"));
    else
        WriteCsvFile(query, options.Output);
}
}
