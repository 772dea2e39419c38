// View cache files: reading rebuilds the tree and the model; what was read
// is written again and must read back as the same tree.
#include "fuzz/FuzzSupport.h"

#include "core/Errors.h"
#include "designer/view/WidgetTreeText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // No list is wired: filling it measures texts, which needs fonts and
    // only slows the run down.
    static QTreeWidget tree;
    static TLarkspan lk;
    static const bool wired = [] {
        // Selecting the first node would scroll to it, which measures texts.
        tree.setAutoScroll(false);
        lk.SetTreeView(&tree);
        lk.SetTableName("Employee");
        lk.SetDetailTableName("Employee_project");
        lk.SetUsePermanentCache(true);
        lk.SetPermanentCacheDir(FuzzSupport::ScratchDir());
        return true;
    }();
    (void)wired;
    const QString path = FuzzSupport::ScratchDir() + "/" + lk.CacheFileName();
    FuzzSupport::WriteFile(path, data, size);
    try {
        lk.ReadViewFromCache();
    } catch (const ELarkspanError&) {
        if (lk.Tables().Count() != 0 || tree.topLevelItemCount() != 0)
            FuzzSupport::Fail("a failed read left a half-built view");
        return 0;
    }
    if (lk.Tables().Count() == 0)
        return 0;
    const QByteArray treeText = TreeText::Save(&tree);
    const int tables = lk.Tables().Count();
    lk.WriteViewToCache();
    try {
        lk.ReadViewFromCache();
    } catch (const ELarkspanError&) {
        FuzzSupport::Fail("a cache written by the designer does not read back");
    }
    if (TreeText::Save(&tree) != treeText || lk.Tables().Count() != tables)
        FuzzSupport::Fail("a cache written by the designer reads back as another view");
    return 0;
}
