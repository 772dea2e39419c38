// Value blocks: a condition value given as text, read back as text and
// stored again, settles after one round: the bytes of the second and the
// third storing are the same, for every type code.
#include "fuzz/FuzzSupport.h"

#include "core/UserLocale.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    UserLocale l;
    l.DecimalSeparator = '.';
    l.ThousandSeparator = ',';
    l.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    l.LongTimeFormat = QStringLiteral("HH:mm:ss");
    UserLocale::SetCurrent(l);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const qint32 types[] = {7, 8, 10, 11, 12, 13, 14, 16, 27, 35, 37, 40, 261, 0};
    if (size < 2)
        return 0;
    const qint32 type = types[data[0] % std::size(types)];
    const int which = (data[1] & 1) + 1;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    TLKField field("F", "Field", type, 20, true, false, 0, 0);
    field.SetValueText(text, which);
    field.Value(which).Operator = data[1] >> 1;
    field.BuildCondition();
    if (!field.Value(which).Present)
        return 0;
    const QString first = field.GetValueText(which);
    field.SetValueText(first, which);
    const TValueBlock second = field.Value(which);
    const QString secondText = field.GetValueText(which);
    field.SetValueText(secondText, which);
    if (!field.Value(which).Present)
        FuzzSupport::Fail("a value's own text is not taken back");
    if (std::memcmp(&second, &field.Value(which), sizeof second) != 0 ||
        field.GetValueText(which) != secondText)
        FuzzSupport::Fail("a value changes with every text round trip");
    field.BuildCondition();
    return 0;
}
