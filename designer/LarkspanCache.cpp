// The designer's side of the permanent view cache.

#include "designer/Larkspan.h"

#include "core/Errors.h"
#include "designer/ViewCache.h"

QString TLarkspan::CacheFileName() const
{
    return FTableName + QLatin1Char('@') + FDetailTableName + QStringLiteral(".lks");
}

bool TLarkspan::CacheExists() const
{
    if (!FUsePermanentCache)
        return false;
    return TViewCache(FPermanentCacheDir + CacheFileName()).Exists();
}

void TLarkspan::ReadViewFromCache()
{
    try {
        ReadModelFromCache();
    } catch (...) {
        if (FViews)
            FViews->ClearTree();
        throw;
    }
    if (FViews)
        FViews->ShowTree(true);
}

void TLarkspan::ReadModelFromCache()
{
    TViewCache(FPermanentCacheDir + CacheFileName()).Read(FViewTree, FTables);
}

void TLarkspan::WriteViewToCache()
{
    if (FViewTree.IsEmpty() || FTables.Count() == 0)
        throw ELarkspanError(
            QStringLiteral("%1: Can not write view to cache without assigned TreeView or "
                           "without generated view.")
                .arg(QString::fromLatin1(metaObject()->className())));
    TViewCache(FPermanentCacheDir + CacheFileName()).Write(FViewTree, FTables);
}
