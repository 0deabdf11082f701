#pragma once

// Reads an .xlsx file back the way a spreadsheet would show it: the first sheet's name, its cells
// by reference ("B3") with their number formats, and its column widths, through unzip and the
// workbook's XML.

#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

struct XlsxCell {
    QString value;      // the shared string's text, or the number as written
    bool text = false;  // a string cell
    bool formula = false;
    int style = 0;      // the cell's format index; dates carry one
    QString format;     // the code of its number format: "General", "0", "DD\.MM\.YYYY HH:MM:SS"
};

struct XlsxSheet {
    QString name;
    QHash<QString, XlsxCell> cells;
    QHash<QString, double> widths;  // by column letters; columns of the default width are missing
};

inline QByteArray XlsxPart(const QString& file, const QString& part)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, part});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

inline QString XlsxColumn(int number)
{
    QString letters;
    for (; number > 0; number = (number - 1) / 26)
        letters.prepend(QChar(u'A' + (number - 1) % 26));
    return letters;
}

// The number format codes of the cell formats, by index.
inline QStringList XlsxFormats(const QString& file)
{
    QHash<int, QString> codes{{0, QStringLiteral("General")}, {1, QStringLiteral("0")}, {2, QStringLiteral("0.00")}};
    QStringList formats;
    QXmlStreamReader styles(XlsxPart(file, QStringLiteral("xl/styles.xml")));
    bool cellFormats = false;
    while (!styles.atEnd()) {
        styles.readNext();
        if (styles.tokenType() == QXmlStreamReader::EndElement && styles.name() == u"cellXfs")
            cellFormats = false;
        if (styles.tokenType() != QXmlStreamReader::StartElement)
            continue;
        if (styles.name() == u"numFmt")
            codes[styles.attributes().value(QStringLiteral("numFmtId")).toInt()] =
                styles.attributes().value(QStringLiteral("formatCode")).toString();
        else if (styles.name() == u"cellXfs")
            cellFormats = true;
        else if (cellFormats && styles.name() == u"xf")
            formats.append(codes.value(styles.attributes().value(QStringLiteral("numFmtId")).toInt()));
    }
    return formats;
}

inline XlsxSheet ReadXlsx(const QString& file)
{
    const QStringList formats = XlsxFormats(file);
    XlsxSheet sheet;
    QStringList strings;
    QXmlStreamReader shared(XlsxPart(file, QStringLiteral("xl/sharedStrings.xml")));
    while (!shared.atEnd()) {
        if (shared.readNext() == QXmlStreamReader::StartElement && shared.name() == u"si")
            strings.append(QString());
        else if (shared.tokenType() == QXmlStreamReader::StartElement && shared.name() == u"t")
            strings.last() += shared.readElementText();
    }
    QXmlStreamReader book(XlsxPart(file, QStringLiteral("xl/workbook.xml")));
    while (!book.atEnd()) {
        if (book.readNext() == QXmlStreamReader::StartElement && book.name() == u"sheet" && sheet.name.isEmpty())
            sheet.name = book.attributes().value(QStringLiteral("name")).toString();
    }
    QXmlStreamReader xml(XlsxPart(file, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString reference;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"col") {
            const int last = xml.attributes().value(QStringLiteral("max")).toInt();
            for (int column = xml.attributes().value(QStringLiteral("min")).toInt(); column <= last; ++column)
                sheet.widths[XlsxColumn(column)] = xml.attributes().value(QStringLiteral("width")).toDouble();
        } else if (xml.name() == u"c") {
            reference = xml.attributes().value(QStringLiteral("r")).toString();
            XlsxCell& cell = sheet.cells[reference];
            cell.text = xml.attributes().value(QStringLiteral("t")) == u"s";
            cell.style = xml.attributes().value(QStringLiteral("s")).toInt();
            cell.format = formats.value(cell.style);
        } else if (xml.name() == u"f") {
            sheet.cells[reference].formula = true;
        } else if (xml.name() == u"v") {
            XlsxCell& cell = sheet.cells[reference];
            cell.value = xml.readElementText();
            if (cell.text)
                cell.value = strings.value(cell.value.toInt());
        }
    }
    return sheet;
}
