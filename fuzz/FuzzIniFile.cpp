// Display-name ini files: any bytes give values or defaults, never more
// than the longest value a profile read returns.
#include "fuzz/FuzzSupport.h"

#include "designer/IniFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzSupport::ScratchDir() + "/fuzz.ini";
    FuzzSupport::WriteFile(path, data, size);
    const TIniFile ini(path);
    // Every lookup reads the file afresh: a few lookups cover the reader.
    for (const char* section : {"EMPLOYEE", "department"})
        for (const char* key : {"DisplayName", "d_emp_no", ""}) {
            const QString value = ini.ReadString(section, key, QStringLiteral("default"));
            if (value.size() > TIniFile::MaxValueLength)
                FuzzSupport::Fail("an ini value longer than a profile read returns");
            ini.ReadInteger(section, key, -1);
        }
    return 0;
}
