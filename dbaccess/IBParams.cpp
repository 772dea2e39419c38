#include "dbaccess/IBQuery.h"

void TParam::SetDataType(TFieldType type)
{
    FDataType = type;
    FValue = QVariant();
}

void TParam::SetValue(const QVariant& value)
{
    if (FDataType == ftUnknown)
        FDataType = ftString;
    FValue = value;
}

void TParam::SetText(const QString& text)
{
    FDataType = ftString;
    FValue = text;
}

void TParam::AssignFrom(const TParam& other)
{
    FDataType = other.FDataType;
    FParamType = other.FParamType;
    FValue = other.FValue;
}

TParam* TParams::FindParam(const QString& name)
{
    for (auto& p : FItems)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

TParam& TParams::Add(const QString& name)
{
    FItems.push_back(std::make_unique<TParam>(name));
    return *FItems.back();
}
