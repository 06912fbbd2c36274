#include "phone/dialnumber.h"

#include <phonenumbers/phonenumberutil.h>

namespace phone {

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

DialNumber refused(const QString& reason)
{
    DialNumber d;
    d.reason = reason;
    return d;
}

QString digitsOnly(const std::string& formatted)
{
    QString out;
    for (const char c : formatted)
        if (c >= '0' && c <= '9')
            out += QLatin1Char(c);
    return out;
}

} // namespace

DialNumber dialNumber(const QString& typed, const QString& prefix)
{
    const QString shown = typed.trimmed();
    if (shown.isEmpty())
        return refused(QStringLiteral("没有电话号码，不能拨号。"));
    QString plain;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        if (c.isSpace() || c == u'-' || c == u'(' || c == u')')
            continue;
        if ((c >= u'0' && c <= u'9') || (c == u'+' && plain.isEmpty()))
            plain += c;
        else
            return refused(QStringLiteral("电话号码“%1”中有不能拨的字符“%2”。").arg(shown, QString(c)));
    }
    if (plain.startsWith(QLatin1String("00")))
        plain = u'+' + plain.mid(2);

    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (util->Parse(plain.toStdString(), "CN", &number) != PhoneNumberUtil::NO_PARSING_ERROR ||
        !util->IsValidNumber(number))
        return refused(
            QStringLiteral(
                "电话号码“%1”无效（应为手机号、带区号的固定电话、400/800 号码或以 + 开头的国际号码），没有拨出。")
                .arg(shown));

    std::string formatted;
    if (number.country_code() == 86)
        util->Format(number, PhoneNumberUtil::NATIONAL, &formatted);
    else
        util->FormatOutOfCountryCallingNumber(number, "CN", &formatted);
    DialNumber d;
    d.ok = true;
    d.digits = prefix.trimmed() + digitsOnly(formatted);
    return d;
}

} // namespace phone
