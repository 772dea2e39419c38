// Saved designs: the designer's side of the query file, which turns the
// model's fields into entries and entries back into the model's states.

#include "designer/Larkspan.h"

#include "core/Errors.h"
#include "designer/QueryFile.h"

QString TLarkspan::QueryFileName() const
{
    return FPermanentCacheDir + FTableName + QLatin1Char('@') + FDetailTableName +
           QStringLiteral(".qry");
}

void TLarkspan::WriteFileHeader(QIODevice& stream)
{
    TQueryFile::WriteFileHeader(stream);
}

bool TLarkspan::CheckFileHeader(QIODevice& stream)
{
    return TQueryFile::CheckFileHeader(stream);
}

bool TLarkspan::FindFreeQuerySlot(QIODevice& stream)
{
    return TQueryFile::FindFreeQuerySlot(stream);
}

bool TLarkspan::SeekQuery(QIODevice& stream, int index, qint32& recordCount)
{
    return TQueryFile::SeekQuery(stream, index, recordCount);
}

void TLarkspan::SaveQuery(const QString& name)
{
    // Every table's fields, so that the entry holds one record per field.
    // The database is asked before the file is locked, so that the lock is
    // held only for the file's own work.
    const qint32 total = LoadAllFields();
    TQueryFile(QueryFileName()).Save(name, FTables, total);
}

void TLarkspan::ReplaceQuery(int index, const QString& name)
{
    // The database is asked before the file is locked, as for a save.
    const qint32 total = LoadAllFields();
    TQueryFile(QueryFileName()).Replace(index, name, FTables, total);
}

void TLarkspan::DeleteQuery(int index)
{
    TQueryFile(QueryFileName()).Delete(index);
}

void TLarkspan::EnumQueries(const TEnumQueriesCallback& callback)
{
    if (!callback)
        return;
    // The callback runs after the file is closed.
    for (const auto& [index, name] : TQueryFile(QueryFileName()).Entries())
        callback(index, name);
}

void TLarkspan::LoadQuery(int index)
{
    if (FTables.Count() > 0) {
        const TQueryFile queryFile(QueryFileName());
        QList<TQueryFile::Record> records;
        if (queryFile.ReadEntry(index, records)) {
            const QString& fileName = queryFile.Path();
            const qint32 recordCount = qint32(records.size());

            // Records name fields by position: an entry saved from a view
            // with another number of fields would land on the wrong fields.
            const qint32 total = LoadAllFields();
            if (total != recordCount)
                throw ELarkspanError(
                    QStringLiteral("Cannot load the query from \"%1\": its queries hold %2 "
                                   "fields, the current view has %3 fields. Nothing was "
                                   "restored.")
                        .arg(fileName)
                        .arg(recordCount)
                        .arg(total));

            // Negative positions fail before anything changes.
            for (const TQueryFile::Record& r : records) {
                if (r.TablePos < 0)
                    FTables.Items(r.TablePos);
                else if (r.TablePos < FTables.Count() && r.FieldPos < 0)
                    FTables[r.TablePos]->Fields.Items(r.FieldPos);
            }

            for (const TQueryFile::Record& r : records) {
                if (r.TablePos >= FTables.Count())
                    continue;
                TLKTable* table = FTables.Items(r.TablePos);
                if (table->Fields.Count() == 0)
                    LoadTableFields(table);
                if (r.FieldPos >= table->Fields.Count())
                    continue;
                TLKField* field = table->Fields.Items(r.FieldPos);
                field->Selected = r.Selected;
                field->MainBool = r.MainBool;
                field->BoolBetweenFields = r.BoolBetweenFields;
                field->LowValue = r.LowValue;
                field->HighValue = r.HighValue;
                field->BuildCondition();
            }
        }
    }

    // Show the first table with the restored states.
    if (FViews)
        FViews->ShowFirstTable();
}
