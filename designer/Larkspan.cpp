#include "designer/Larkspan.h"


namespace {
// Text of a string list as a whole: every line followed by a line break.
QString ListText(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}
}

TLarkspan::TLarkspan(QObject* owner) : QObject(owner), FSchema(this)
{
    FFillingList = false;
    FAutoSetupListView = false;
    FViewGenerated = false;
    OnFieldValueRequired = nullptr;
}

TLarkspan::~TLarkspan()
{
    // The views go first: nothing they show may outlive the model.
    FViews.reset();
    FUsedTables.clear();
    FParamList.clear();
    FIBDataBase = nullptr;
    FTables.Clear();
}

void TLarkspan::SetTableName(const QString& value)
{
    if (value == FTableName)
        return;
    FTableName = value;
    FIncludeFields.clear();
}

void TLarkspan::SetDetailTableName(const QString& value)
{
    if (value != FDetailTableName)
        FDetailTableName = value;
}

void TLarkspan::SetIBDataBase(TIBDatabase* value)
{
    if (value == FIBDataBase.data())
        return;
    FIBDataBase = value;
    AttachDatabase();
}

void TLarkspan::AttachDatabase()
{
    FIndexColumns.clear();   // read from the database the designer used before
    FSchema.SetDatabase(FIBDataBase.data());
}

void TLarkspan::SetPermanentCacheDir(const QString& value)
{
    if (value == FPermanentCacheDir)
        return;
    // The directory is joined directly with file names, so it must end in a
    // separator; the empty text (the current directory) stays empty.
    if (value.isEmpty() || value.endsWith(QLatin1Char('/')) || value.endsWith(QLatin1Char('\\')))
        FPermanentCacheDir = value;
    else
        FPermanentCacheDir = value + QLatin1Char('/');
}

void TLarkspan::SetIncludeFields(const QStringList& value)
{
    if (ListText(FIncludeFields) == ListText(value))
        return;
    FIncludeFields = value;
}
