#pragma once

#include <QString>
#include <rtl/ustring.hxx>

// Both sides hold UTF-16: the texts cross without conversion.
inline rtl::OUString ToOffice(const QString& text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), sal_Int32(text.size()));
}

inline QString FromOffice(const rtl::OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}
