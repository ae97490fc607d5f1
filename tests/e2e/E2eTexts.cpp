#include "e2e/E2eTexts.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>
#include <QXmlStreamReader>

namespace vx::e2e {
namespace {

// source -> (context, translation) of every finished message.
using Table = QHash<QString, QList<QPair<QString, QString>>>;

// The text of the element the reader stands on, <byte value="xd"/> put back.
QString ElementText(QXmlStreamReader& xml) {
    QString text;
    const QString name = xml.name().toString();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters()) text += xml.text();
        if (xml.isStartElement() && xml.name() == u"byte")
            text += QChar(xml.attributes().value(QStringLiteral("value")).mid(1).toUInt(nullptr, 16));
        if (xml.isEndElement() && xml.name() == name) break;
    }
    return text;
}

void Load(const QString& path, Table* table) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(path));
    QXmlStreamReader xml(&file);
    QString context, source, translation;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"name") context = ElementText(xml);
        if (xml.name() == u"source") source = ElementText(xml);
        if (xml.name() == u"translation") {
            const bool finished = xml.attributes().value(QStringLiteral("type")).isEmpty();
            translation = ElementText(xml);
            if (finished && !translation.isEmpty()) (*table)[source].append({context, translation});
        }
    }
}

const Table& TheTable() {
    static const Table table = [] {
        Table t;
        if (!RunLanguage().isEmpty())
            for (const QString& path :
                 qEnvironmentVariable("VX_E2E_TS").split(u':', Qt::SkipEmptyParts))
                Load(path, &t);
        return t;
    }();
    return table;
}

}  // namespace

QString RunLanguage() { return qEnvironmentVariable("VX_E2E_LANGUAGE"); }

QString T(const char* source, const char* context) {
    const QString text = QString::fromUtf8(source);
    const auto found = TheTable().value(text);
    QString translation;
    // Without a context, a tool's name (ToolName) yields to the other texts.
    for (const auto& [where, english] : found) {
        if (context ? where != QLatin1String(context) : where == QLatin1String("ToolName"))
            continue;
        if (translation.isEmpty())
            translation = english;
        else if (translation != english)
            qWarning("\"%s\" has several translations; name its context", source);
    }
    if (translation.isEmpty() && !context && !found.isEmpty()) translation = found.first().second;
    return translation.isEmpty() ? text : translation;
}

QString ShownTool(const QString& fullName) {
    QStringList parts = fullName.split(u'_');
    for (QString& part : parts) part = T(part.toUtf8().constData(), "ToolName");
    return parts.join(u'_');
}

}  // namespace vx::e2e
