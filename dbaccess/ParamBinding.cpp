#include "dbaccess/ParamBinding.h"

#include "core/CodePage.h"
#include "core/Errors.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/ServerTypes.h"
#include "core/UserLocale.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <limits>

namespace {
[[noreturn]] void conversionError()
{
    throw EDatabaseError(QStringLiteral("Invalid variant type conversion"));
}

bool isText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray ||
           v.typeId() == QMetaType::QChar;
}

qint64 toInt64(const QVariant& v, qint64 low, qint64 high)
{
    qint64 result = 0;
    if (isText(v)) {
        const QString text = v.toString();
        if (auto i = UserLocale::Current().StrToInt64(text))
            result = *i;
        else if (text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            result = 1;   // texts of Boolean values
        else if (text.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            result = 0;
        else
            conversionError();
    } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < double(low) || d > double(high))
            conversionError();
        result = qRound64(d);
    } else {
        bool ok = false;
        result = v.toLongLong(&ok);
        if (!ok)
            conversionError();
    }
    if (result < low || result > high)
        conversionError();
    return result;
}

double toDouble(const QVariant& v)
{
    if (isText(v)) {
        if (auto d = UserLocale::Current().StrToFloat(v.toString()))
            return *d;
        conversionError();
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        conversionError();
    return d;
}

double toDateTime(const QVariant& v, TFieldType type)
{
    const UserLocale& loc = UserLocale::Current();
    switch (v.typeId()) {
    case QMetaType::QDate: return DateTimeValue::FromDate(v.toDate());
    case QMetaType::QTime: return DateTimeValue::FromTime(v.toTime());
    case QMetaType::QDateTime: return DateTimeValue::FromDateTime(v.toDateTime());
    default: break;
    }
    if (!isText(v))
        return toDouble(v);
    const QString text = v.toString();
    std::optional<double> d;
    if (type == ftDate)
        d = loc.StrToDate(text);
    else if (type == ftTime)
        d = loc.StrToTime(text);
    if (!d)
        d = loc.StrToDateTime(text);
    if (!d)
        conversionError();
    return *d;
}

template <class T>
QByteArray binary(T value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QString toText(const QVariant& v)
{
    const UserLocale& loc = UserLocale::Current();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return loc.FloatToStr(v.toDouble());
    case QMetaType::QDate: return loc.DateToStr(DateTimeValue::FromDate(v.toDate()));
    case QMetaType::QTime: return loc.TimeToStr(DateTimeValue::FromTime(v.toTime()));
    case QMetaType::QDateTime: return loc.DateTimeToStr(DateTimeValue::FromDateTime(v.toDateTime()));
    default: break;
    }
    if (!v.canConvert<QString>())
        conversionError();
    return v.toString();
}
}

ISC_TIMESTAMP ToServerTimestamp(double dateTime)
{
    double days = std::floor(dateTime);
    qint64 time = qRound64((dateTime - days) * 864000000.0);
    if (time >= 864000000) {
        days += 1;
        time -= 864000000;
    }
    ISC_TIMESTAMP ts;
    ts.timestamp_date = ISC_DATE(qint64(days) + ServerDateOffset);
    ts.timestamp_time = ISC_TIME(time);
    return ts;
}

double FromServerDate(ISC_DATE date)
{
    return double(date - ServerDateOffset);
}

double FromServerTime(ISC_TIME time)
{
    return double(time) / 864000000.0;
}

BoundParam BindParam(const TParam& param, const QString& connectionCharset, const XSQLVAR& described)
{
    BoundParam b;
    // The type the server described for the value (nullptr: one the layer
    // does not handle).
    const ServerType* target = FindServerType(described.sqltype);
    const bool textTarget =
        target && (target->value == ValueClass::FixedText || target->value == ValueClass::VaryingText);
    const bool blobTarget = target && target->value == ValueClass::Blob;
    // Texts go in the character set the server described for the value (a
    // text BLOB carries it in its scale), tagged with it.
    const int describedCharset = textTarget ? described.sqlsubtype : blobTarget ? described.sqlscale : 0;
    const QString& charset = CodePage::ValueCharset(connectionCharset, describedCharset);
    const QVariant& v = param.Value();
    switch (param.DataType()) {
    case ftString:
    case ftBlob:
    case ftMemo:
    case ftBytes:
        b.type = SqlTypeCode::Text;
        if (param.DataType() == ftBytes)
            b.subtype = CharsetOctets;   // the bytes as they are
        else if (textTarget)
            b.subtype = described.sqlsubtype;
        else if (blobTarget && connectionCharset.isEmpty())
            b.subtype = short(describedCharset);
        break;
    case ftSmallint: b.type = SqlTypeCode::Short; break;
    case ftBoolean:
        // A BOOLEAN column takes its own type (the server does not convert
        // a number to it); elsewhere a Boolean goes as a 16-bit integer.
        b.type = target && target->value == ValueClass::Boolean ? SqlTypeCode::Boolean : SqlTypeCode::Short;
        break;
    case ftWord: b.type = SqlTypeCode::Long; break;   // 0..65535 does not fit a signed 16-bit value
    case ftInteger: b.type = SqlTypeCode::Long; break;
    case ftLargeint: b.type = SqlTypeCode::Int64; break;
    case ftFloat: b.type = SqlTypeCode::Double; break;
    case ftCurrency:
    case ftBCD:
        b.type = SqlTypeCode::Int64;
        b.scale = -4;
        break;
    case ftDate: b.type = SqlTypeCode::TypeDate; break;
    case ftTime: b.type = SqlTypeCode::TypeTime; break;
    case ftDateTime: b.type = SqlTypeCode::Timestamp; break;
    default: throw EIBClientError(QStringLiteral("Unsupported feature"));
    }
    if (param.IsNull()) {
        // The client reads a value of the type's size even for a null.
        b.data = QByteArray(FindServerType(b.type)->size, '\0');
        return b;
    }
    b.null = false;

    switch (param.DataType()) {
    case ftString:
    case ftBlob:
    case ftMemo: b.data = CodePage::Encode(toText(v), charset); break;
    case ftBytes:
        b.data = v.typeId() == QMetaType::QByteArray ? v.toByteArray() : CodePage::Encode(toText(v), charset);
        break;
    case ftSmallint: b.data = binary(qint16(toInt64(v, -32768, 32767))); break;
    case ftWord: b.data = binary(qint32(toInt64(v, 0, 65535))); break;
    case ftBoolean: {
        const bool value = v.typeId() == QMetaType::Bool ? v.toBool() : toInt64(v, -32768, 32767) != 0;
        b.data = b.type == SqlTypeCode::Boolean ? binary(char(value ? 1 : 0)) : binary(qint16(value ? 1 : 0));
        break;
    }
    case ftInteger:
        b.data = binary(qint32(toInt64(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max())));
        break;
    case ftLargeint:
        b.data = binary(toInt64(v, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()));
        break;
    case ftFloat: b.data = binary(toDouble(v)); break;
    case ftCurrency:
    case ftBCD: {
        const double d = toDouble(v) * 10000.0;
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
            conversionError();
        b.data = binary(qint64(std::llround(d)));
        break;
    }
    case ftDate: b.data = binary(ToServerTimestamp(toDateTime(v, ftDate)).timestamp_date); break;
    case ftTime: b.data = binary(ToServerTimestamp(toDateTime(v, ftTime)).timestamp_time); break;
    case ftDateTime: b.data = binary(ToServerTimestamp(toDateTime(v, ftDateTime))); break;
    default: break;
    }
    return b;
}
