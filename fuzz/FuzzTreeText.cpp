// Tree text: any bytes either load or fail with the level error; a loaded
// tree saved and loaded again is the same tree, and saving is stable.
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
    static QTreeWidget tree;
    static QTreeWidget copy;
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        TreeText::Load(&tree, text);
    } catch (const ETreeViewError&) {
        if (tree.topLevelItemCount() != 0)
            FuzzSupport::Fail("a failed load left nodes behind");
        return 0;
    }
    const QByteArray saved = TreeText::Save(&tree);
    try {
        TreeText::Load(&copy, saved);
    } catch (const ETreeViewError&) {
        FuzzSupport::Fail("saved tree text does not load");
    }
    if (TreeText::Save(&copy) != saved)
        FuzzSupport::Fail("saved tree text loads as another tree");
    return 0;
}
