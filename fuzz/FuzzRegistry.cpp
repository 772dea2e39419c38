// The registry stand-in file: any bytes give keys and values, or the
// registry errors of a value of the wrong type, nothing else.
#include "fuzz/FuzzSupport.h"

#include "core/Errors.h"
#include "designer/RegistryStandIn.h"

#include <QDir>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    qputenv("XDG_CONFIG_HOME", FuzzSupport::ScratchDir().toLocal8Bit());
    QDir().mkpath(FuzzSupport::ScratchDir() + "/larkspan");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::WriteFile(TRegistry::FileName(), data, size);
    TRegistry reg;
    // Every key opened reads the file afresh: a few keys cover the reader.
    for (const char* key : {"\\Software\\Larkspan\\Employee", "EMP_NO", "\\software"}) {
        if (!reg.OpenKey(QString::fromLatin1(key), false))
            continue;
        reg.CurrentPath();
        for (const char* name : {"DisplayName", "EMP_NO", "", "Source", "Hidden"}) {
            reg.ValueExists(name);
            reg.GetDataType(name);
            try {
                reg.ReadString(name);
            } catch (const ERegistryException&) {
            }
            try {
                reg.ReadInteger(name);
            } catch (const ERegistryException&) {
            }
        }
        reg.KeyExists("EMP_NO");
    }
    return 0;
}
