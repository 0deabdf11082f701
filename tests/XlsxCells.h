#pragma once

// Reads an .xlsx file back the way a spreadsheet would show it: the first sheet's name and its
// cells by reference ("B3"), through unzip and the sheet's XML.

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
};

struct XlsxSheet {
    QString name;
    QHash<QString, XlsxCell> cells;
};

inline QByteArray XlsxPart(const QString& file, const QString& part)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, part});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

inline XlsxSheet ReadXlsx(const QString& file)
{
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
        if (xml.name() == u"c") {
            reference = xml.attributes().value(QStringLiteral("r")).toString();
            XlsxCell& cell = sheet.cells[reference];
            cell.text = xml.attributes().value(QStringLiteral("t")) == u"s";
            cell.style = xml.attributes().value(QStringLiteral("s")).toInt();
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
