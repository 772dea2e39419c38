// Query files: listing, loading every entry and saving into whatever the
// file holds. Errors of the project's hierarchy are expected answers; a
// crash, a hang or a sanitizer report is a finding. A save that succeeds
// must leave a file whose listing grew by the saved name.
#include "fuzz/FuzzSupport.h"

#include "core/Errors.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The view is built once: loading changes only the fields' design, which
    // the next load or save does not depend on. No tree or list is wired, so
    // no widget work slows the run down.
    static QTreeWidget tree;
    static TLarkspan lk;
    static const bool built = [] {
        lk.SetTableName("Employee");
        lk.SetDetailTableName("Employee_project");
        lk.SetPermanentCacheDir(FuzzSupport::ScratchDir());
        FuzzSupport::BuildView(tree, lk);
        return true;
    }();
    (void)built;
    FuzzSupport::WriteFile(lk.QueryFileName(), data, size);

    try {
        lk.EnumQueries([](int, const QString&) {});
    } catch (const ELarkspanError&) {
    }
    for (int index : {0, 1, 2, 1000000})
        try {
            lk.LoadQuery(index);
        } catch (const ELarkspanError&) {
        }
    bool saved = false;
    try {
        lk.SaveQuery(QStringLiteral("fuzz"));
        saved = true;
    } catch (const ELarkspanError&) {
    }
    if (saved) {
        bool found = false;
        lk.EnumQueries([&](int, const QString& name) { found = found || name == QLatin1String("fuzz"); });
        if (!found)
            FuzzSupport::Fail("a saved query is not listed");
    }
    return 0;
}
